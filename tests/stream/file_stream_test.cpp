#include "stream/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "stream/stream_factory.h"
#include "tests/support/temp_dir.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(FileStream, OpensForReadingWritingOrBoth) {
  TempDir dir;
  const std::string path = dir / "f.dat";
  EXPECT_FALSE(OpenReadStream(path.c_str()));
  EXPECT_FALSE(OpenStream(path.c_str(), true, true));  // "r+b" needs the file

  Ref<TStream> out = OpenWriteStream(path.c_str());
  ASSERT_TRUE(out);
  out->WriteInt(0x64636261);
  EXPECT_EQ(out->Position(), 4);
  EXPECT_EQ(out->Size(), 4);
  out->Close();
  EXPECT_EQ(ReadFile(path), "abcd");

  // Both flags keep the contents and the size, and write in place.
  Ref<TStream> both = OpenStream(path.c_str(), true, true);
  ASSERT_TRUE(both);
  EXPECT_EQ(both->Size(), 4);
  EXPECT_EQ(both->ReadByte(), 'a');
  both->WriteByte('X');  // switching from reading to writing is safe
  EXPECT_EQ(both->ReadByte(), 'c');
  both->Seek(4);
  both->WriteString("ef");
  EXPECT_EQ(both->Size(), 6);
  both->Close();
  EXPECT_EQ(ReadFile(path), "aXcdef");

  // Writing alone truncates; neither flag reads.
  Ref<TStream> again = OpenWriteStream(path.c_str());
  EXPECT_EQ(again->Size(), 0);
  again->Close();
  EXPECT_EQ(ReadFile(path), "");
  WriteFile(path, "xyz");
  Ref<TStream> neither = OpenStream(path.c_str(), false, false);
  ASSERT_TRUE(neither);
  EXPECT_EQ(neither->ReadLine(), "xyz");
  EXPECT_EQ(Cast<TFileStream>(neither)->GetMode(), TFileStream::MODE_READ);
}

TEST(FileStream, BackslashesAreSlashes) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  WriteFile(dir / "sub/file.txt", "hi");
  std::string windowsStyle = dir / "sub\\file.txt";
  Ref<TStream> in = OpenReadStream(windowsStyle.c_str());
  ASSERT_TRUE(in);
  EXPECT_EQ(in->ReadLine(), "hi");
}

TEST(FileStream, SeeksReadsAndClosesOnce) {
  TempDir dir;
  const std::string path = dir / "seek.dat";
  WriteFile(path, "0123456789");
  Ref<TStream> in = OpenReadStream(path.c_str());
  EXPECT_EQ(in->Seek(7), 7);
  EXPECT_EQ(in->ReadByte(), '7');
  EXPECT_EQ(in->Seek(10), 10);
  EXPECT_TRUE(in->Eof());
  EXPECT_EQ(in->ReadInt(), 0);

  in->Close();
  EXPECT_EQ(in->Position(), 0);
  EXPECT_EQ(in->Size(), 0);
  EXPECT_EQ(in->Close(), 0);
  EXPECT_EQ(in->Flush(), 0);
  uint8_t byte;
  EXPECT_EQ(in->Read(&byte, 1), 0);
}

TEST(FileStream, ClosingABorrowedViewLeavesTheFileOpen) {
  TempDir dir;
  const std::string path = dir / "b.txt";
  WriteFile(path, "one\ntwo\n");
  Ref<TStream> file = OpenReadStream(path.c_str());
  Ref<TStream> view = TBorrowedStream::Create(file);
  EXPECT_EQ(view->ReadLine(), "one");
  view->Close();
  EXPECT_EQ(file->ReadLine(), "two");
}

TEST(FileStream, ACharacterWithALowByteOfZeroNamesNoFile) {
  TempDir dir;
  WriteFile(dir / "a", "short name");
  // Its bytes would read "a", NUL, "b": the path must not open "a".
  EXPECT_FALSE(OpenReadStream(String((dir / "a").c_str()) + String::Chr(0x100) + "b"));
}

TEST(FileStream, AFullDiskIsReportedWhenTheBytesGoOut) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  Ref<TFileStream> full = TFileStream::Open("/dev/full", 0, 1);
  ASSERT_TRUE(full);
  full->WriteLine("a line that the buffer takes");
  EXPECT_EQ(full->Flush(), -1);
  full->WriteLine("and another");
  EXPECT_EQ(full->Close(), -1);
  EXPECT_EQ(full->Close(), 0) << "closed already";
}

// Lines come from a block read ahead; every other operation carries on from
// the end of the last line, as if the file had been read a byte at a time.
TEST(FileStream, LinesReadAheadLeaveThePositionAtTheLineEnd) {
  TempDir dir;
  const std::string path = dir / "lines.txt";
  // A line that crosses the read-ahead block, one that ends right at its
  // end, a CR inside a line, a NUL, and a last line without LF.
  std::string text = std::string(4090, 'a') + "\r\nbcdefgh\n";
  text += std::string(4096 * 2 - text.size() - 1, 'c') + "\n" + "x\ry\r\n" + "n" +
          std::string(1, '\0') + "tail";
  WriteFile(path, text);

  Ref<TFileStream> in = TFileStream::Open(String(path.c_str()), true, true);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->ReadLine().Length(), 4090);
  EXPECT_EQ(in->Position(), 4092);
  EXPECT_EQ(in->ReadByte(), 'b') << "a read goes on where the line ended";
  EXPECT_EQ(in->ReadLine(), "cdefgh");
  EXPECT_EQ(in->ReadLine().Length(), 4096 * 2 - 4100 - 1);
  EXPECT_EQ(in->Position(), 4096 * 2);
  EXPECT_EQ(in->ReadLine(), "xy");
  EXPECT_EQ(in->ReadLine(), "n");
  // Writing and seeking after a line start from the stream's position.
  const int tail = in->Position();
  in->WriteBytes("TA", 2);
  EXPECT_EQ(in->Position(), tail + 2);
  EXPECT_EQ(in->ReadLine(), "il");
  EXPECT_TRUE(in->Eof());
  EXPECT_EQ(in->ReadLine(), "");
  in->Seek(4092);
  EXPECT_EQ(in->ReadLine(), "bcdefgh");
  in->Close();
  EXPECT_EQ(ReadFile(path).substr(static_cast<size_t>(tail)), "TAil");
}
