#include "stream/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "stream/bank_stream.h"
#include "stream/file_stream.h"
#include "stream/load_save.h"
#include "stream/text_stream.h"
#include "tests/support/platform.h"
#include "tests/support/stdin_from_file.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Puts the working directory back when a test has moved it.
class WorkingDirectoryGuard {
 public:
  ~WorkingDirectoryGuard() { fs::current_path(saved_); }

 private:
  fs::path saved_ = fs::current_path();
};

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

String S(const std::string& s) { return String(s.c_str()); }

}  // namespace

TEST(FileSystem, NormalizesAndTakesPathsApart) {
  String p = "a\\b\\c";
  NormalizePath(p, false);
  EXPECT_EQ(p, "a/b/c");
  const std::pair<const char*, const char*> stripped[] = {
      {"C:", "C:/"},  {"C:temp", "C:/temp"}, {"a/b/", "a/b"}, {"/", "/"},
      {"C:/", "C:/"}, {"C:\\", "C:/"},       {"a//", "a/"},   {"", ""}};
  for (auto [in, out] : stripped) {
    String path = in;
    NormalizePath(path, true);
    EXPECT_EQ(path, out) << in;
  }

  EXPECT_EQ(StripDirectory("dir\\file.txt"), "file.txt");
  EXPECT_EQ(StripExtension("a.b/c"), "a.b/c");
  EXPECT_EQ(StripExtension("d/x.tar.gz"), "d/x.tar");
  EXPECT_EQ(ExtractExtension("d/x.tar.gz"), "gz");
  EXPECT_EQ(ExtractExtension("a.b/name"), "");
  EXPECT_EQ(StripAll("C:\\games\\zorp.exe"), "zorp");
}

TEST(FileSystem, ResolvesAbsoluteAndParentPaths) {
  EXPECT_EQ(AbsolutePath("C:/a/./b/../c"), "C:/a/c");
  EXPECT_EQ(AbsolutePath("C:/.."), BAD_DIR);
  EXPECT_EQ(AbsolutePath("/a//b/../../c/"), "/c");
  EXPECT_EQ(AbsolutePath("/a/../b"), "/b");
  EXPECT_EQ(AbsolutePath("/.."), BAD_DIR);

  EXPECT_EQ(ParentDirectory("C:/x"), "C:/");
  EXPECT_EQ(ParentDirectory("/x"), "/");
  EXPECT_EQ(ParentDirectory("/"), BAD_DIR);
  EXPECT_EQ(ParentDirectory("name"), BAD_DIR);

  TempDir dir;
  WorkingDirectoryGuard guard;
  ASSERT_EQ(ChangeDirectory(S(dir.path() + "/")), 1);
  const String here = S(fs::current_path().generic_string());
  EXPECT_EQ(CurrentDirectory(), here);
  EXPECT_EQ(AbsolutePath("."), here);
  EXPECT_EQ(AbsolutePath("x/./y/../z"), here + "/x/z");
  EXPECT_EQ(AbsolutePath(".."), ParentDirectory(here));
  EXPECT_EQ(ChangeDirectory("no/such/dir"), 0);
}

TEST(FileSystem, QueriesEntries) {
  TempDir dir;
  const String file = S(dir / "f.bin");
  Write(dir / "f.bin", "12345");
  EXPECT_EQ(FileType(file), FILETYPE_FILE);
  EXPECT_EQ(FileType(S(dir.path())), FILETYPE_DIR);
  EXPECT_EQ(FileSize(S(dir.path() + "\\f.bin")), 5);
  EXPECT_LE(std::abs(FileTime(file) - static_cast<int>(std::time(nullptr))), 60);

  const String missing = S(dir / "missing");
  EXPECT_EQ(FileType(missing), FILETYPE_NONE);
  EXPECT_EQ(FileSize(missing), -1);
  EXPECT_EQ(FileTime(missing), 0);
  EXPECT_EQ(FileMode(missing), -1);

  // A character whose low byte is 0 would cut the path short; it names nothing.
  EXPECT_EQ(FileType(file + String(u"\u0100x")), FILETYPE_NONE);
  DeleteFile(S(dir.path()) + String(u"/f.bin\u0100"));
  EXPECT_EQ(FileSize(file), 5);
}

TEST(FileSystem, CreatesDeletesAndRenamesFiles) {
  TempDir dir;
  const String a = S(dir / "a.txt"), b = S(dir / "b.txt");
  Write(dir / "a.txt", "old");
  EXPECT_EQ(CreateFile(a), 1);
  EXPECT_EQ(FileSize(a), 0);

  Write(dir / "b.txt", "target");
  Write(dir / "a.txt", "new");
  EXPECT_EQ(RenameFile(a, b), 1);
  EXPECT_EQ(LoadString(b), "new");
  EXPECT_EQ(FileType(a), FILETYPE_NONE);
  EXPECT_EQ(RenameFile(a, b), 0);

  EXPECT_EQ(DeleteFile(b), 1);
  EXPECT_EQ(DeleteFile(b), 1);

  // Neither touches a directory.
  fs::create_directory(dir / "d");
  EXPECT_EQ(CreateFile(S(dir / "d")), 0);
  EXPECT_EQ(DeleteFile(S(dir / "d")), 0);
  EXPECT_EQ(FileType(S(dir / "d")), FILETYPE_DIR);
}

TEST(FileSystem, CreatesDirectoriesLevelByLevel) {
  TempDir dir;
  const String base = S(dir.path());
  EXPECT_EQ(CreateDirectory(base + "/x/y", false), 0);
  EXPECT_EQ(CreateDirectory(base + "\\x\\y\\z\\", true), 1);
  EXPECT_EQ(FileType(base + "/x/y/z"), FILETYPE_DIR);
  EXPECT_EQ(CreateDirectory(base + "/x/y", true), 1);

  Write(dir / "file", "");
  EXPECT_EQ(CreateDirectory(base + "/file/deeper/still", true), 0);
  EXPECT_EQ(FileType(base + "/file"), FILETYPE_FILE);

  // A path that climbs above the root makes nothing, not even a "<bad_dir>".
  WorkingDirectoryGuard guard;
  ASSERT_EQ(ChangeDirectory(base), 1);
  EXPECT_EQ(CreateDirectory("/../x", true), 0);
  EXPECT_EQ(FileType(BAD_DIR), FILETYPE_NONE);
}

TEST(FileSystem, DeletesDirectoryTreesWithoutLeavingThem) {
  TempDir dir;
  const String base = S(dir.path());
  fs::create_directories(dir / "tree/a/b");
  Write(dir / "tree/a/b/f", "x");
  Write(dir / "tree/g", "y");
  EXPECT_EQ(DeleteDirectory(base + "/tree", false), 0);
  fs::create_directories(dir / "outside");
  Write(dir / "outside/keep", "k");

  EXPECT_EQ(DeleteDirectory(base + "/tree/", true), 1);
  EXPECT_EQ(FileType(base + "/tree"), FILETYPE_NONE);
  EXPECT_EQ(FileType(base + "/outside/keep"), FILETYPE_FILE);
  EXPECT_EQ(DeleteDirectory(base + "/missing", true), 0);
}

TEST(FileSystem, ListsDirectories) {
  TempDir dir;
  Write(dir / "one", "");
  fs::create_directory(dir / "two");

  const Ref<TDirectory> listing = OpenDirectory(S(dir.path() + "/"));
  ASSERT_TRUE(listing);
  std::vector<String> names;
  for (String name; !(name = NextDirectoryEntry(listing)).IsEmpty();) names.push_back(name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{".", "..", "one", "two"}));
  CloseDirectory(listing);
  EXPECT_EQ(NextDirectoryEntry(listing), "");
  CloseDirectory(listing);

  names = ListDirectory(S(dir.path()), true);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{"one", "two"}));
  EXPECT_EQ(ListDirectory(S(dir.path()), false).size(), 4u);

  EXPECT_FALSE(OpenDirectory(S(dir / "one")));
  EXPECT_EQ(NextDirectoryEntry(nullptr), "");
  EXPECT_TRUE(ListDirectory(S(dir / "missing"), true).empty());
}

TEST(FileSystem, OpensFilesAndMakesUnseekableSourcesSeekable) {
  TempDir dir;
  const String path = S(dir / "config.ini");
  EXPECT_FALSE(OpenFileForReading(path));
  Write(dir / "config.ini", "old contents");
  Ref<TStream> out = OpenFileForWriting(path);
  ASSERT_TRUE(out);
  out->WriteInt(7);
  CloseFileStream(out);
  CloseFileStream(nullptr);
  EXPECT_EQ(FileSize(path), 4);

  // A write-only open of a stream that cannot seek goes straight through,
  // not into a copy.
  int fds[2];
  ASSERT_TRUE(testplatform::OpenPipe(fds));
  const Ref<TFileStream> sink =
      TFileStream::CreateWithFile(fdopen(fds[1], "wb"), TFileStream::MODE_WRITE);
  ASSERT_EQ(sink->Position(), -1);
  Ref<TStream> writer = OpenFileForWriting(sink);
  writer->WriteString("pipe");
  sink->Close();
  char piped[8] = {};
  EXPECT_EQ(read(fds[0], piped, sizeof piped), 4);
  close(fds[0]);

  // Standard input cannot seek: reading it gives a bank stream over all of it.
  Write(dir / "input", "line one\nline two");
  StdinFromFile input(dir / "input");
  const Ref<TStream> source = New<TStandardStream>();
  Ref<TStream> in = OpenFileForReading(source);
  ASSERT_TRUE(Cast<TBankStream>(in));
  EXPECT_EQ(in->Position(), 0);
  EXPECT_EQ(in->Size(), 17);
  EXPECT_EQ(in->ReadString(17), "line one\nline two");
  in->Seek(5);
  EXPECT_EQ(in->ReadLine(), "one");
}

TEST(FileSystem, FindsPathsRegardlessOfCase) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Gfx/Big");
  Write(dir / "Gfx/Big/Grass.PNG", "png");
  const std::string root = dir.path();

  EXPECT_EQ(FindCasedPath((root + "/Gfx/Big/Grass.PNG").c_str()),
            String((root + "/Gfx/Big/Grass.PNG").c_str()));
  EXPECT_EQ(FindCasedPath((root + "/gfx/small/grass.png").c_str()), "");
  EXPECT_EQ(FindCasedPath((root + "/nothing").c_str()), "");
}

TEST(FileSystem, TheProgramMovesToItsOwnFolderAndRemembersWhereItStarted) {
  TempDir dir;
  const String start = CurrentDirectory();
  ASSERT_EQ(ChangeDirectory(String::FromBytes(dir.path())), 1);
  const String launched = CurrentDirectory();
  const String program = ProgramFile();
  ASSERT_FALSE(program.IsEmpty());
  EXPECT_EQ(FileType(program), FILETYPE_FILE);
  EXPECT_EQ(EnterProgramFolder(), 1);
  EXPECT_EQ(CurrentDirectory(), ParentDirectory(program));
  EXPECT_EQ(LaunchDirectory(), launched);
  ChangeDirectory(start);
}
