#include "stream/byte_swap_stream.h"

#include <gtest/gtest.h>

#include "stream/bank_stream.h"
#include "stream/file_stream.h"
#include "stream/file_system.h"
#include "stream/load_save.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<int> BytesOf(const Ref<TBankStream>& stream) {
  const Ref<TBank>& bank = stream->Bank();
  return std::vector<int>(bank->Data(), bank->Data() + bank->Size());
}

}  // namespace

TEST(ByteSwapStream, WritesAndReadsValuesBigEndian) {
  auto bank = CreateBankStream(nullptr);
  Ref<TStream> big = BigEndianStream(bank);
  big->WriteShort(0x11234);
  big->WriteInt(1);
  big->WriteLong(0x0102030405060708);
  big->WriteFloat(1.0f);
  big->WriteDouble(-2.0);
  // Bytes and text pass through unchanged.
  big->WriteByte(0x1AB);
  big->WriteString("hi");
  EXPECT_EQ(BytesOf(bank),
            (std::vector<int>{0x12, 0x34, 0, 0,    0, 1, 1, 2, 3, 4, 5, 6,    7,   8,  0x3F,
                              0x80, 0,    0, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0xAB, 'h', 'i'}));

  big->Seek(0);
  EXPECT_EQ(big->ReadShort(), 0x1234);
  EXPECT_EQ(big->ReadInt(), 1);
  EXPECT_EQ(big->ReadLong(), 0x0102030405060708);
  EXPECT_EQ(big->ReadFloat(), 1.0f);
  EXPECT_EQ(big->ReadDouble(), -2.0);
  EXPECT_EQ(big->ReadByte(), 0xAB);
  EXPECT_EQ(big->ReadString(2), "hi");

  // Shorts read zero-extended; a value cut short by the end keeps its high
  // bytes; at the end every value reads as 0.
  bank->Seek(0);
  bank->WriteShort(0xFFFF);
  big->Seek(0);
  EXPECT_EQ(big->ReadShort(), 0xFFFF);
  big->Seek(bank->Size() - 2);
  EXPECT_EQ(big->ReadInt(), 0x68690000);
  EXPECT_EQ(big->ReadLong(), 0);
}

TEST(ByteSwapStream, WrapsOnlyWhenTheOrderDiffersFromTheMachines) {
  auto bank = CreateBankStream(nullptr);
  EXPECT_EQ(LittleEndianStream(bank), bank);
  EXPECT_TRUE(Cast<TByteSwapStream>(BigEndianStream(bank)));
  EXPECT_FALSE(TByteSwapStream::Create(nullptr));
  EXPECT_FALSE(BigEndianStream(nullptr));
}

TEST(ByteSwapStream, OpensFilesThroughItsProtocols) {
  StartFileSystem();
  TempDir dir;
  const String path = String(dir.path().c_str()) + "/values.bin";

  Ref<TStream> out = OpenWriteStream("BigEndian::" + path);
  ASSERT_TRUE(out);
  out->WriteInt(0x01020304);
  out->Close();
  const ByteArray bytes = LoadByteArray(path);
  EXPECT_EQ(bytes, (ByteArray{1, 2, 3, 4}));

  Ref<TStream> plain = OpenReadStream("littleendian::" + path);
  EXPECT_TRUE(Cast<TFileStream>(plain));
  EXPECT_EQ(plain->ReadInt(), 0x04030201);
  plain->Close();

  EXPECT_FALSE(OpenReadStream("bigendian::" + path + ".missing"));
  EXPECT_FALSE(OpenReadStream("littleendian::" + path + ".missing"));
}
