// The file system where paths are POSIX ones: permission bits, symbolic
// links, names that may hold "\", letter case that tells names apart, and a
// working directory that can be removed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "stream/file_system.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

String S(const std::string& s) { return String(s.c_str()); }

}  // namespace

TEST(PosixFileSystem, KeepsPermissionBits) {
  TempDir dir;
  Write(dir / "f", "x");
  SetFileMode(S(dir / "f"), 0640);
  EXPECT_EQ(FileMode(S(dir / "f")), 0640);
}

TEST(PosixFileSystem, AWorkingDirectoryThatIsGoneLeavesNothingToResolveAgainst) {
  TempDir dir;
  const String start = CurrentDirectory();
  ASSERT_EQ(ChangeDirectory(S(dir.path())), 1);
  ASSERT_EQ(CreateDirectory("gone", false), 1);
  ASSERT_EQ(ChangeDirectory("gone"), 1);
  ASSERT_EQ(DeleteDirectory(S(dir / "gone"), false), 1);
  EXPECT_EQ(CurrentDirectory(), "");
  EXPECT_EQ(AbsolutePath("x"), BAD_DIR);
  ChangeDirectory(start);
}

TEST(PosixFileSystem, NeitherALinkNorANameWithABackslashLeadsADeletionOutsideTheTree) {
  TempDir dir;
  const String base = S(dir.path());
  fs::create_directories(dir / "tree/a");
  fs::create_directories(dir / "outside");
  Write(dir / "outside/keep", "k");
  Write(dir / "victim", "v");
  fs::create_directory_symlink(dir / "outside", dir / "tree/link");
  Write(dir / "tree/..\\victim", "z");
  fs::create_directory(dir / "tree/..\\outside");

  EXPECT_EQ(DeleteDirectory(base + "/tree/", true), 1);
  EXPECT_EQ(FileType(base + "/tree"), FILETYPE_NONE);
  EXPECT_EQ(FileType(base + "/outside/keep"), FILETYPE_FILE);
  EXPECT_EQ(FileType(base + "/victim"), FILETYPE_FILE);

  fs::create_directory_symlink(dir / "outside", dir / "link");
  EXPECT_EQ(DeleteDirectory(base + "/link", true), 0);
  EXPECT_EQ(FileType(base + "/outside/keep"), FILETYPE_FILE);
}

TEST(PosixFileSystem, FindsTheNameAsItIsWrittenOnDisk) {
  TempDir dir;
  fs::create_directories(dir / "Gfx/Big");
  Write(dir / "Gfx/Big/Grass.PNG", "png");
  EXPECT_EQ(FileType(S(dir / "gfx/big/grass.png")), FILETYPE_NONE);
  EXPECT_EQ(FindCasedPath(S(dir / "gfx/BIG/grass.png")), S(dir / "Gfx/Big/Grass.PNG"));
}

// Names are bytes here: a character beyond one byte has no place in a name,
// and its low byte alone would name another file ("Ł" is 0x141: "A").
TEST(PosixFileSystem, ACharacterBeyondAByteNamesNothing) {
  TempDir dir;
  Write(dir / "Aukasz", "kept");
  const String path = S(dir.path()) + u"/Łukasz";
  EXPECT_EQ(FileType(path), FILETYPE_NONE);
  EXPECT_FALSE(OpenFileForReading(path));
  EXPECT_EQ(DeleteFile(path), 1);
  EXPECT_EQ(ReadFileBytes(dir / "Aukasz"), "kept");
}
