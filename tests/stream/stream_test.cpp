// The typed, text and whole-stream operations that every stream shares, and
// opening streams by url.
#include "stream/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stream/bank.h"
#include "stream/bank_stream.h"
#include "stream/load_save.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"
#include "tests/support/temp_dir.h"

namespace {

// A read-only stream over some bytes, for the tests of what TStream builds on
// the raw operations.
struct Bytes {
  explicit Bytes(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
  Ref<TStream> Stream() {
    return CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false);
  }
  std::vector<uint8_t> bytes;
};

// A stream that can neither seek nor tell its end, like a pipe: Read gives
// at most `chunk` bytes at a time.
class PipeStream : public TStream {
 public:
  PipeStream(std::vector<uint8_t> bytes, int chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
  int Read(void* buf, int count) override {
    const int n = std::min({count, chunk_, static_cast<int>(bytes_.size() - at_)});
    std::memcpy(buf, bytes_.data() + at_, static_cast<size_t>(n));
    at_ += static_cast<size_t>(n);
    ++reads;
    return n;
  }
  int reads = 0;

 private:
  std::vector<uint8_t> bytes_;
  size_t at_ = 0;
  int chunk_;
};

// Remembers what the factories are asked; takes only the protocol "probe".
struct ProbeFactory : TStreamFactory {
  Ref<TStream> CreateStream(const Url&, const String& protocol, const String& path, bool readable,
                            bool writeable) override {
    lastProtocol = protocol;
    lastPath = path;
    if (protocol != "probe") return nullptr;
    lastReadable = readable;
    lastWriteable = writeable;
    return CreateBankStream(nullptr);
  }
  String lastProtocol, lastPath;
  bool lastReadable = false, lastWriteable = false;
};

ProbeFactory& Probe() {
  static ProbeFactory factory;
  return factory;
}

}  // namespace

TEST(Stream, TypedValuesAreLittleEndianAndReadZeroAtTheEnd) {
  Ref<TBankStream> out = CreateBankStream(nullptr);
  out->WriteByte(0x1FF);
  out->WriteShort(0x12345);
  out->WriteInt(-2);
  out->WriteLong(0x0102030405060708LL);
  out->WriteFloat(1.5f);
  out->WriteDouble(-0.25);
  const Ref<TBank>& bank = out->Bank();
  const std::vector<uint8_t> expected = {
      0xFF, 0x45, 0x23, 0xFE, 0xFF, 0xFF, 0xFF, 8, 7, 6, 5,    4,   3, 2, 1,  //
      0,    0,    0xC0, 0x3F, 0,    0,    0,    0, 0, 0, 0xD0, 0xBF};
  ASSERT_EQ(bank->Size(), static_cast<int>(expected.size()));
  EXPECT_EQ(std::vector<uint8_t>(bank->Data(), bank->Data() + bank->Size()), expected);

  Ref<TStream> in = CreateBankStream(bank);
  EXPECT_EQ(in->ReadByte(), 0xFF);
  EXPECT_EQ(in->ReadShort(), 0x2345);  // zero-extended
  EXPECT_EQ(in->ReadInt(), -2);
  EXPECT_EQ(in->ReadLong(), 0x0102030405060708LL);
  EXPECT_EQ(in->ReadFloat(), 1.5f);
  EXPECT_EQ(in->ReadDouble(), -0.25);
  EXPECT_TRUE(in->Eof());
  // At the end every typed read gives 0 without an error.
  EXPECT_EQ(in->ReadInt(), 0);
  EXPECT_EQ(in->ReadDouble(), 0.0);

  // Two bytes left: they fill the low half.
  Bytes two({0x34, 0x12});
  EXPECT_EQ(two.Stream()->ReadInt(), 0x1234);
}

TEST(Stream, ExactCountTransfersStopAtTheEndAndFailOnNothing) {
  Bytes five({1, 2, 3, 4, 5});
  Ref<TStream> in = five.Stream();
  uint8_t buf[8];
  std::memset(buf, 0xAA, sizeof buf);
  EXPECT_EQ(in->ReadBytes(buf, 8), 8);  // returns the count asked for
  EXPECT_EQ(buf[4], 5);
  EXPECT_EQ(buf[5], 0xAA);  // the rest stays as it was

  // A stream that gives nothing before its end is an error.
  Ref<PipeStream> pipe = New<PipeStream>(std::vector<uint8_t>{1, 2}, 1);
  EXPECT_THROW(pipe->ReadBytes(buf, 3), TStreamReadError);

  Ref<TStream> skipping = five.Stream();
  EXPECT_EQ(skipping->SkipBytes(3), 3);
  EXPECT_EQ(skipping->ReadByte(), 4);
  EXPECT_EQ(skipping->SkipBytes(100), 100);
  EXPECT_TRUE(skipping->Eof());

  // Writing to a stream that takes nothing throws; so does a stream that
  // cannot write at all.
  EXPECT_THROW(five.Stream()->WriteBytes(buf, 1), TStreamWriteError);
  try {
    New<TStream>()->WriteByte(1);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Message(), "Stream is not writeable");
  }
  try {
    New<TStream>()->Read(buf, 1);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Message(), "Stream is not readable");
  }
  EXPECT_THROW(New<TStream>()->ReadObject(), RuntimeError);
  try {
    New<TStream>()->WriteObject(nullptr);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Message(), "Unable to write object");
  }
  EXPECT_STREQ(TStreamReadError().what(), "Error reading from stream");
  EXPECT_STREQ(TStreamWriteError().what(), "Error writing to stream");
}

// The stream itself, and a filter over it, which reads a byte at a time.
std::vector<Ref<TStream>> BothReaders(Bytes& bytes) {
  auto filter = New<TFilterStream>();
  filter->SetInnerStream(bytes.Stream());
  return {bytes.Stream(), filter};
}

TEST(Stream, LinesEndAtLineFeedOrNulAndDropCarriageReturns) {
  Bytes crlf({'a', 'b', 13, 10, 'c', 13, 'd'});
  for (const Ref<TStream>& in : BothReaders(crlf)) {
    EXPECT_EQ(in->ReadLine(), "ab");
    EXPECT_EQ(in->Position(), 4) << "just past the LF";
    EXPECT_EQ(in->ReadLine(), "cd") << "a last line without LF, its CR dropped";
    EXPECT_EQ(in->Position(), 7);
    EXPECT_EQ(in->ReadLine(), "");
    EXPECT_EQ(in->ReadLine(), "");
  }

  Bytes nul({'x', 0, 'y'});
  for (const Ref<TStream>& in : BothReaders(nul)) {
    EXPECT_EQ(in->ReadLine(), "x");
    EXPECT_EQ(in->Position(), 2);
    EXPECT_EQ(in->ReadLine(), "y");
  }

  // Lines have no length limit, and bytes above 127 are Latin-1 characters.
  std::vector<uint8_t> longLine(3000, 'q');
  longLine[1500] = 0xE9;
  longLine.push_back('\n');
  Bytes big(longLine);
  const String line = big.Stream()->ReadLine();
  ASSERT_EQ(line.Length(), 3000);
  EXPECT_EQ(line[1500], 0xE9);
  EXPECT_EQ(line[2999], 'q');
}

TEST(Stream, WritesLinesAndStringsOneByteACharacter) {
  Ref<TBankStream> out = CreateBankStream(nullptr);
  EXPECT_EQ(out->WriteLine("abc"), 1);
  EXPECT_EQ(out->Bank()->Size(), 5);
  EXPECT_EQ(out->Bank()->PeekByte(3), 13);
  EXPECT_EQ(out->Bank()->PeekByte(4), 10);

  out->WriteString(String(u"\u0141\u00e9"));  // low 8 bits only, no terminator
  EXPECT_EQ(out->Bank()->Size(), 7);
  EXPECT_EQ(out->Bank()->PeekByte(5), 0x41);
  EXPECT_EQ(out->Bank()->PeekByte(6), 0xE9);

  // A short write makes WriteLine answer 0, without an exception.
  uint8_t block[4];
  Ref<TStream> small = CreateMemoryStream(block, 4, false, true);
  EXPECT_EQ(small->WriteLine("abc"), 0);
  EXPECT_EQ(small->WriteLine(""), 0);
}

TEST(Stream, ReadStringPadsTheEndButNeverAllocatesFarPastIt) {
  Bytes abc({'a', 'b', 'c'});
  EXPECT_EQ(abc.Stream()->ReadString(2), "ab");
  const String padded = abc.Stream()->ReadString(5);
  EXPECT_EQ(padded, String(std::u16string(u"abc\0\0", 5)));
  EXPECT_EQ(abc.Stream()->ReadString(0), "");
  EXPECT_EQ(abc.Stream()->ReadString(-4), "");
  // A hostile length throws instead of allocating gigabytes.
  EXPECT_THROW(abc.Stream()->ReadString(0x7FFFFFFF), TStreamReadError);
  // Long strings that are really there read whole.
  std::vector<uint8_t> many(200000, 'z');
  Bytes big(many);
  EXPECT_EQ(big.Stream()->ReadString(200000).Length(), 200000);
}

TEST(Stream, UrlsReachTheFactoriesWithALowerCaseProtocol) {
  ProbeFactory& probe = Probe();
  Ref<TStream> stream = OpenStream("PROBE::Some/Path", true, true);
  ASSERT_TRUE(stream);
  EXPECT_EQ(probe.lastProtocol, "probe");
  EXPECT_EQ(probe.lastPath, "Some/Path");
  EXPECT_TRUE(probe.lastReadable && probe.lastWriteable);

  // The first "::" separates; a second one stays in the path.
  EXPECT_TRUE(OpenWriteStream("probe::a::b"));
  EXPECT_EQ(probe.lastPath, "a::b");
  EXPECT_FALSE(probe.lastReadable);

  EXPECT_FALSE(OpenReadStream("nobody::x"));
  EXPECT_EQ(probe.lastProtocol, "nobody");
  EXPECT_FALSE(OpenReadStream(""));
  EXPECT_FALSE(OpenReadStream("::x"));
  EXPECT_EQ(probe.lastProtocol, "");
}

TEST(Stream, AStreamGivenAsUrlComesBackBorrowed) {
  Bytes abc({'a', 'b', 'c'});
  Ref<TStream> original = abc.Stream();
  Ref<TStream> borrowed = OpenReadStream(original);
  ASSERT_TRUE(Cast<TBorrowedStream>(borrowed));
  EXPECT_EQ(borrowed->ReadByte(), 'a');
  EXPECT_EQ(original->Position(), 1);
  borrowed->Close();
  EXPECT_EQ(original->ReadByte(), 'b');
  EXPECT_THROW(borrowed->ReadByte(), RuntimeError);  // detached: the null object
}

TEST(Stream, LoadsAndSavesWholeStreams) {
  TempDir dir;
  const String path = (dir / "text.bin").c_str();
  SaveString(String(u"caf\u00e9\r\n"), path);
  EXPECT_EQ(LoadByteArray(path), (ByteArray{'c', 'a', 'f', 0xE9, 13, 10}));
  EXPECT_EQ(LoadString(path), String(u"caf\u00e9\r\n"));

  ByteArray bytes(1500);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
  SaveByteArray(bytes, path);
  EXPECT_EQ(LoadByteArray(path), bytes);

  // Reading a stream that cannot seek: its end shows as a Read of nothing,
  // and the array grows by half each time it fills (1024, then 1536).
  Ref<PipeStream> pipe = New<PipeStream>(std::vector<uint8_t>(bytes.begin(), bytes.end()), 5000);
  EXPECT_EQ(LoadByteArray(pipe), bytes);
  EXPECT_EQ(pipe->reads, 3);  // 1024, 476, then nothing

  // A url that does not open is an error of the caller.
  EXPECT_THROW(LoadByteArray((dir / "missing").c_str()), RuntimeError);
  EXPECT_THROW(SaveString("x", (dir / "no/such/folder/x").c_str()), RuntimeError);
  EXPECT_FALSE(LoadObject((dir / "missing").c_str()));
  SaveObject(nullptr, (dir / "no/such/folder/x").c_str());  // tests its stream
  // Files are not data streams.
  EXPECT_THROW(LoadObject(path), RuntimeError);
}

TEST(Stream, CopiesBetweenStreams) {
  std::vector<uint8_t> source(10000);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i % 251);
  Bytes from(source);

  Ref<TBankStream> to = CreateBankStream(nullptr);
  CopyStream(from.Stream(), to, 777);
  ASSERT_EQ(to->Bank()->Size(), 10000);
  EXPECT_EQ(std::memcmp(to->Bank()->Data(), source.data(), source.size()), 0);

  Ref<TBankStream> part = CreateBankStream(nullptr);
  Ref<TStream> in = from.Stream();
  in->SkipBytes(10);
  CopyBytes(in, part, 300, 64);
  ASSERT_EQ(part->Bank()->Size(), 300);
  EXPECT_EQ(part->Bank()->PeekByte(0), 10);
  EXPECT_EQ(in->Position(), 310);

  // A source without an end of its own stops when it gives nothing.
  Ref<PipeStream> pipe = New<PipeStream>(std::vector<uint8_t>(100, 7), 33);
  Ref<TBankStream> sink = CreateBankStream(nullptr);
  CopyStream(pipe, sink, 50);
  EXPECT_EQ(sink->Bank()->Size(), 100);
}
