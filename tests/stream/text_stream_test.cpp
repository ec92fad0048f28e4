#include "stream/text_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>

#include "stream/bank_stream.h"
#include "stream/load_save.h"
#include "stream/memory_stream.h"
#include "tests/support/platform.h"
#include "tests/support/stdin_from_file.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Written(TTextStream::Encoding encoding, const String& s) {
  auto bank = CreateBankStream(nullptr);
  TTextStream::Create(bank, encoding)->WriteString(s);
  const Ref<TBank>& b = bank->Bank();
  return std::string(reinterpret_cast<const char*>(b->Data()), static_cast<size_t>(b->Size()));
}

// A text stream over a copy of bytes.
struct Reader {
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  Reader(std::string bytes, TTextStream::Encoding encoding) : data(std::move(bytes)) {
    text = TTextStream::Create(
        CreateMemoryStream(data.data(), static_cast<int>(data.size()), true, false), encoding);
  }
  std::string data;
  Ref<TTextStream> text;
};

}  // namespace

TEST(TextStream, WritesCharactersInEachEncoding) {
  EXPECT_EQ(Written(TTextStream::Utf8, u"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Written(TTextStream::Utf16LittleEndian, u"A\u00E9"), std::string("A\0\xE9\0", 4));
  EXPECT_EQ(Written(TTextStream::Utf16BigEndian, u"A\u00E9"), std::string("\0A\0\xE9", 4));
  EXPECT_EQ(Written(TTextStream::Latin1, u"\u00E9\u0141"), "\xE9\x41");

  // WriteChar keeps the low 16 bits; lines end in CR LF in the encoding.
  auto bank = CreateBankStream(nullptr);
  auto text = TTextStream::Create(bank, TTextStream::Utf16BigEndian);
  text->WriteChar(0x1F600);
  EXPECT_EQ(text->WriteLine("x"), 1);
  text->Seek(0);
  EXPECT_EQ(text->ReadChar(), 0xF600);
  EXPECT_EQ(text->ReadLine(), "x");
  EXPECT_EQ(bank->Size(), 8);
}

TEST(TextStream, ReadsUtf8AsSixteenBitCharacters) {
  Reader good("\xC3\xA9\xE2\x82\xAC\x41", TTextStream::Utf8);
  EXPECT_EQ(good.text->ReadChar(), 0xE9);
  EXPECT_EQ(good.text->ReadChar(), 0x20AC);
  EXPECT_EQ(good.text->ReadChar(), 'A');
  EXPECT_EQ(good.text->ReadChar(), 0);

  // A four-byte lead gives 0 and takes three bytes; the fourth byte then
  // reads as a lead of its own, the result masked to 16 bits.
  Reader four("\xF0\x9F\x98\x80", TTextStream::Utf8);
  EXPECT_EQ(four.text->ReadChar(), 0);
  EXPECT_EQ(four.text->Position(), 3);
  EXPECT_EQ(four.text->ReadChar(), ((0x80 - 0xC0) * 64 + (0 - 0x80)) & 0xFFFF);

  // A sequence cut short by the end reads its missing bytes as 0.
  Reader cut("\xE2\x82", TTextStream::Utf8);
  EXPECT_EQ(cut.text->ReadChar(), ((0x2 << 12) + (0x2 << 6) - 0x80) & 0xFFFF);
  EXPECT_TRUE(cut.text->Eof());

  Reader le(std::string("\xE9\0\0\xE9", 4), TTextStream::Utf16LittleEndian);
  EXPECT_EQ(le.text->ReadChar(), 0xE9);
  EXPECT_EQ(le.text->ReadChar(), 0xE900);
}

TEST(TextStream, ReadsLinesUpToLineFeedOrNul) {
  Reader utf8(std::string("ab\r\n\xC3\xA9\0tail", 11), TTextStream::Utf8);
  EXPECT_EQ(utf8.text->ReadLine(), "ab");
  EXPECT_EQ(utf8.text->ReadLine(), String(u"\u00E9"));
  EXPECT_EQ(utf8.text->ReadLine(), "tail");
  EXPECT_EQ(utf8.text->ReadLine(), "");

  // In UTF-16 a whole character must be 10 to end the line.
  Reader wide(std::string("\0a\x0A\x0A\0\x0A\0b", 8), TTextStream::Utf16BigEndian);
  EXPECT_EQ(wide.text->ReadLine(), String(u"a\u0A0A"));
  EXPECT_EQ(wide.text->ReadLine(), "b");
}

TEST(TextStream, ReadStringPadsTheEndButRefusesHugeLengths) {
  Reader r("ab", TTextStream::Utf16LittleEndian);
  EXPECT_EQ(r.text->ReadString(0), "");
  EXPECT_EQ(r.text->ReadString(-5), "");
  EXPECT_EQ(r.text->ReadString(3), String(std::u16string(u"\u6261\0\0", 3)));
  // Up to 64 Ki characters past the end still pad; more than that throws
  // without reading or allocating the rest.
  EXPECT_EQ(r.text->ReadString(64 * 1024).Length(), 64 * 1024);
  EXPECT_THROW(r.text->ReadString(64 * 1024 + 1), TStreamReadError);
  EXPECT_THROW(r.text->ReadString(INT_MAX), TStreamReadError);

  Reader mixed("\xC3\xA9xyz", TTextStream::Utf8);
  EXPECT_EQ(mixed.text->ReadString(2), String(u"\u00E9x"));
  EXPECT_EQ(mixed.text->ReadString(2), "yz");
}

TEST(TextStream, FactoryOpensFilesInTheProtocolsEncoding) {
  // Registered here only: the engine itself never creates one.
  static TTextStreamFactory factory;
  TempDir dir;
  const String path(dir.path().c_str());
  Ref<TStream> out = OpenWriteStream("UTF16LE::" + path + "/t.txt");
  ASSERT_TRUE(out);
  out->WriteLine(u"\u00E9");
  out->Close();
  EXPECT_EQ(LoadByteArray(path + "/t.txt"), (ByteArray{0xE9, 0, 13, 0, 10, 0}));
  EXPECT_FALSE(OpenReadStream("utf8::" + path + "/missing.txt"));
  EXPECT_FALSE(factory.CreateStream(path + "/t.txt", "utf32", path + "/t.txt", true, false));
}

TEST(StandardStream, PrintsAndReadsLinesAsUtf8) {
  EXPECT_EQ(testplatform::CaptureStandardOutput([] { PrintLine(u"h\u00E9llo"); }),
            "h\xC3\xA9llo\r\n");
  EXPECT_EQ(StandardStream()->Position(), -1);
  EXPECT_FALSE(StandardStream()->Eof());

  TempDir dir;
  std::ofstream(dir / "in.txt", std::ios::binary) << "first\r\n\xE2\x82\xAC last";
  StdinFromFile input(dir / "in.txt");
  testing::internal::CaptureStdout();
  EXPECT_EQ(InputLine("> "), "first");
  // A last line without its LF is still a line; after it the input is dry.
  EXPECT_EQ(InputLine(""), String(u"\u20AC last"));
  EXPECT_THROW(InputLine("? "), TStreamReadError);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "> ? ");
}
