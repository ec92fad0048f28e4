#include "stream/bank.h"

#include <gtest/gtest.h>

#include <cstring>

#include "stream/bank_stream.h"
#include "stream/load_save.h"
#include "tests/support/temp_dir.h"

TEST(Bank, GrowsByHalfAgainAndKeepsMemoryWhenShrinking) {
  Ref<TBank> bank = CreateBank(100);
  EXPECT_EQ(BankSize(bank), 100);
  EXPECT_EQ(BankCapacity(bank), 100);
  PokeInt(bank, 96, 0x11223344);

  ResizeBank(bank, 120);
  EXPECT_EQ(BankCapacity(bank), 150);
  EXPECT_EQ(BankSize(bank), 120);
  EXPECT_EQ(PeekInt(bank, 96), 0x11223344);  // contents move along

  ResizeBank(bank, 50);
  EXPECT_EQ(BankCapacity(bank), 150);
  EXPECT_EQ(BankSize(bank), 50);

  Ref<TBank> other = CreateBank(100);
  ResizeBank(other, 200);
  EXPECT_EQ(BankCapacity(other), 200);
}

TEST(Bank, BorrowedMemoryMovesOutOnTheFirstResize) {
  uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  Ref<TBank> bank = CreateStaticBank(block, 8);
  EXPECT_EQ(BankCapacity(bank), -1);
  EXPECT_EQ(BankData(bank), block);
  PokeByte(bank, 0, 9);
  EXPECT_EQ(block[0], 9);

  ResizeBank(bank, 4);
  EXPECT_NE(BankData(bank), block);
  EXPECT_EQ(BankCapacity(bank), 4);
  EXPECT_EQ(PeekByte(bank, 3), 4);
  PokeByte(bank, 1, 0);
  EXPECT_EQ(block[1], 2);  // the owner's block is left alone
}

TEST(Bank, PeeksAndPokesLittleEndianValuesInsideTheBank) {
  Ref<TBank> bank = CreateBank(16);
  PokeShort(bank, 0, 0x1ABCD);
  EXPECT_EQ(PeekByte(bank, 0), 0xCD);
  EXPECT_EQ(PeekShort(bank, 0), 0xABCD);
  PokeByte(bank, 2, -1);
  EXPECT_EQ(PeekByte(bank, 2), 255);
  PokeLong(bank, 8, -5);
  EXPECT_EQ(PeekLong(bank, 8), -5);
  EXPECT_EQ(PeekInt(bank, 12), -1);
  PokeFloat(bank, 4, 0.5f);
  EXPECT_EQ(PeekFloat(bank, 4), 0.5f);
  PokeDouble(bank, 8, 1e300);
  EXPECT_EQ(PeekDouble(bank, 8), 1e300);

  // Outside the bank is an error, not a stray write.
  EXPECT_THROW(PokeInt(bank, 13, 0), RuntimeError);
  EXPECT_THROW(PeekByte(bank, -1), RuntimeError);
  EXPECT_THROW(PeekLong(bank, 9), RuntimeError);
  EXPECT_THROW(CopyBank(bank, 10, bank, 0, 7), RuntimeError);
}

TEST(Bank, CopiesForwardOneByteAtATime) {
  Ref<TBank> bank = CreateBank(6);
  for (int i = 0; i < 6; ++i) PokeByte(bank, i, i + 1);
  // An overlapping copy upwards repeats the first bytes, as a forward copy does.
  CopyBank(bank, 0, bank, 2, 4);
  EXPECT_EQ(std::vector<uint8_t>(BankData(bank), BankData(bank) + 6),
            (std::vector<uint8_t>{1, 2, 1, 2, 1, 2}));

  Ref<TBank> target = CreateBank(3);
  CopyBank(bank, 3, target, 0, 3);
  EXPECT_EQ(PeekByte(target, 0), 2);
}

TEST(Bank, LoadsAndSavesThroughUrls) {
  TempDir dir;
  const String path = (dir / "bank.bin").c_str();
  Ref<TBank> bank = CreateBank(3000);
  for (int i = 0; i < 3000; ++i) PokeByte(bank, i, i * 13);
  EXPECT_EQ(SaveBank(bank, path), 1);
  EXPECT_EQ(SaveBank(bank, (dir / "no/folder").c_str()), 0);

  Ref<TBank> loaded = LoadBank(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(BankSize(loaded), 3000);
  EXPECT_EQ(BankCapacity(loaded), 3000);
  EXPECT_EQ(std::memcmp(BankData(loaded), BankData(bank), 3000), 0);
  EXPECT_FALSE(LoadBank((dir / "missing").c_str()));

  // Banks read from and write to streams with one raw call.
  Ref<TBankStream> stream = CreateBankStream(nullptr);
  EXPECT_EQ(WriteBank(bank, stream, 10, 5), 5);
  stream->Seek(0);
  Ref<TBank> small = CreateBank(8);
  EXPECT_EQ(ReadBank(small, stream, 2, 6), 5);
  EXPECT_EQ(PeekByte(small, 2), (10 * 13) & 255);
}

TEST(BankStream, GrowsTheBankWhenWritingPastItsEnd) {
  Ref<TBankStream> stream = CreateBankStream(nullptr);
  const uint8_t ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(stream->Write(ten, 10), 10);
  EXPECT_EQ(stream->Bank()->Size(), 10);
  EXPECT_EQ(stream->Bank()->Capacity(), 10);
  EXPECT_EQ(stream->Write(ten, 1), 1);
  EXPECT_EQ(stream->Bank()->Size(), 11);
  EXPECT_EQ(stream->Bank()->Capacity(), 15);

  // Seeking clamps, so a write after seeking past the end appends.
  EXPECT_EQ(stream->Seek(500), 11);
  EXPECT_EQ(stream->Seek(-3), 0);
  stream->Seek(99);
  stream->WriteByte(42);
  EXPECT_EQ(stream->Bank()->PeekByte(11), 42);

  // Refused only when the bank shrank under the position.
  stream->Bank()->Resize(4);
  EXPECT_EQ(stream->Write(ten, 1), 0);
  uint8_t byte;
  EXPECT_EQ(stream->Read(&byte, 1), 0);
  stream->Seek(3);
  EXPECT_EQ(stream->Read(&byte, 1), 1);
  EXPECT_EQ(byte, 3);
}

TEST(BankStream, ABankGivenAsUrlOpensForReadingAndWriting) {
  StartBankStreams();
  Ref<TBank> bank = CreateBank(2);
  PokeShort(bank, 0, 0x4241);
  Ref<TStream> stream = OpenReadStream(bank);
  ASSERT_TRUE(Cast<TBankStream>(stream));
  EXPECT_EQ(stream->ReadLine(), "AB");
  stream->WriteString("CD");  // a bank stream always writes
  EXPECT_EQ(BankSize(bank), 4);
  EXPECT_EQ(LoadString(bank), "ABCD");
}
