// The file system on Windows: paths with drive letters and "\", the
// read-only bit as the only permission, names that match whatever their
// letter case, and renaming over a file that is there (the C runtime's rename
// refuses that, yet every save of the game does it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "stream/file_system.h"
#include "stream/load_save.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

String S(const std::string& s) { return String(s.c_str()); }

std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Puts the working directory back when a test has moved it.
class WorkingDirectoryGuard {
 public:
  ~WorkingDirectoryGuard() { fs::current_path(saved_); }

 private:
  fs::path saved_ = fs::current_path();
};

}  // namespace

TEST(WindowsFileSystem, PathsKeepTheirDriveAndItsRoot) {
  TempDir dir;
  const std::string& base = dir.path();
  ASSERT_GE(base.size(), 3u);
  ASSERT_EQ(base[1], ':') << base;
  const String drive = S(base.substr(0, 3));  // "C:/"
  const String baseName = S(base);

  // The drive's letter may come in either case, with "\" or "/".
  std::string lower = Backslashed(base);
  lower[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[0])));
  EXPECT_EQ(FileType(S(lower)), FILETYPE_DIR);
  EXPECT_EQ(FileType(S(base.substr(0, 2))), FILETYPE_DIR) << "a bare drive is its root";
  EXPECT_EQ(AbsolutePath(S(Backslashed(base + "/x/../y"))), baseName + "/y");

  WorkingDirectoryGuard guard;
  ASSERT_EQ(ChangeDirectory(S(Backslashed(base) + "\\")), 1);
  EXPECT_EQ(CurrentDirectory(), baseName);
  EXPECT_EQ(AbsolutePath("a\\b"), baseName + "/a/b");

  ASSERT_EQ(ChangeDirectory(drive), 1);
  EXPECT_EQ(CurrentDirectory(), drive);
  EXPECT_EQ(AbsolutePath("x"), drive + "x");
  EXPECT_EQ(AbsolutePath(".."), BAD_DIR);
  EXPECT_EQ(ParentDirectory(CurrentDirectory()), BAD_DIR);
  EXPECT_EQ(ParentDirectory(drive + "x"), drive);
}

TEST(WindowsFileSystem, EveryOperationTakesBackslashes) {
  TempDir dir;
  const std::string base = Backslashed(dir.path());
  EXPECT_EQ(CreateDirectory(S(base + "\\a\\b\\c"), true), 1);
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));

  Ref<TStream> out = OpenFileForWriting(S(base + "\\a\\b\\scores.dat"));
  ASSERT_TRUE(out);
  out->WriteLine("100");
  CloseFileStream(out);
  EXPECT_EQ(ReadFileBytes(dir / "a/b/scores.dat"), "100\r\n");
  EXPECT_EQ(FileSize(S(base + "\\a\\b\\scores.dat")), 5);
  EXPECT_EQ(ListDirectory(S(base + "\\a\\b\\"), true).size(), 2u);
  EXPECT_EQ(RenameFile(S(base + "\\a\\b\\scores.dat"), S(base + "\\a\\moved.dat")), 1);
  EXPECT_EQ(LoadString(S(base + "\\a\\moved.dat")), "100\r\n");
  EXPECT_EQ(DeleteFile(S(base + "\\a\\moved.dat")), 1);
  EXPECT_EQ(DeleteDirectory(S(base + "\\a\\"), true), 1);
  EXPECT_FALSE(fs::exists(dir / "a"));
}

TEST(WindowsFileSystem, RenamingReplacesAFileThatIsThere) {
  TempDir dir;
  Write(dir / "scores.dat", "old");
  Write(dir / "scores.dat.tmp", "new");
  // Why the platform layer does not use it: the C runtime refuses.
  EXPECT_NE(std::rename((dir / "scores.dat.tmp").c_str(), (dir / "scores.dat").c_str()), 0);

  EXPECT_EQ(RenameFile(S(dir / "scores.dat.tmp"), S(dir / "scores.dat")), 1);
  EXPECT_EQ(ReadFileBytes(dir / "scores.dat"), "new");
  EXPECT_FALSE(fs::exists(dir / "scores.dat.tmp"));

  // A failure gives its reason as the C runtime would.
  errno = 0;
  EXPECT_EQ(RenameFile(S(dir / "missing"), S(dir / "scores.dat")), 0);
  EXPECT_EQ(errno, ENOENT);
}

TEST(WindowsFileSystem, TheReadOnlyBitIsTheOnlyPermission) {
  TempDir dir;
  Write(dir / "f", "x");
  SetFileMode(S(dir / "f"), 0444);
  EXPECT_EQ(FileMode(S(dir / "f")), 0444);
  SetFileMode(S(dir / "f"), 0640);
  EXPECT_EQ(FileMode(S(dir / "f")), 0666) << "writable for the owner is writable";
}

TEST(WindowsFileSystem, NamesMatchWhateverTheirCase) {
  TempDir dir;
  fs::create_directories(dir / "Gfx/Big");
  Write(dir / "Gfx/Big/Grass.PNG", "png");
  const String asked = S(dir / "gfx/BIG/grass.png");
  EXPECT_EQ(FileType(asked), FILETYPE_FILE);
  EXPECT_EQ(FindCasedPath(asked), asked);
}
