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

#define WIN32_LEAN_AND_MEAN
#include <process.h>
#include <windows.h>
// The file system's own names, not the system's ANSI-or-wide macros.
#undef CreateDirectory
#undef DeleteFile
#undef LoadString

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

std::wstring Wide(const String& s) { return std::wstring(s.Chars().begin(), s.Chars().end()); }

// An absolute path as the wide calls take it past any limit of length: what
// is checked or made with it does not go through the file system under test.
std::wstring AsWritten(const String& path) {
  std::wstring wide = L"\\\\?\\" + Wide(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

bool ExistsAsWritten(const String& path) {
  return GetFileAttributesW(AsWritten(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An environment variable set for one test, and put back (or unset) after it.
struct EnvironmentGuard {
  EnvironmentGuard(const wchar_t* name, const String& value) : name(name) {
    old.resize(GetEnvironmentVariableW(name, old.data(), 32768));
    SetEnvironmentVariableW(name, Wide(value).c_str());
  }
  ~EnvironmentGuard() { SetEnvironmentVariableW(name, old.empty() ? nullptr : old.c_str()); }
  const wchar_t* name;
  std::wstring old = std::wstring(32768, L'\0');
};

// The game's save: a temporary file beside path, renamed over the old one.
bool SaveSafely(const String& path, const char* text) {
  const Ref<TStream> out = OpenFileForWriting(path + ".tmp");
  if (!out) return false;
  out->WriteString(text);
  return out->Close() == 0 && RenameFile(path + ".tmp", path) == 1;
}

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

// Under the ANSI calls these names lost their letters (Łukasz became Lukasz) and
// the long one failed: every step now keeps every unit of every name.
TEST(WindowsFileSystem, NamesOutsideTheAnsiCodePageAndPastTheLengthLimitKeepEveryCharacter) {
  StartFileSystem();
  TempDir dir;
  const String root = S(dir.path());
  // The data folder comes from APPDATA, whatever HOME says.
  const EnvironmentGuard appData(L"APPDATA", S(Backslashed(dir.path())) + u"\\Łukasz\\AppData");
  const EnvironmentGuard home(L"HOME", root + "/home");
  ASSERT_EQ(UserDataDirectory(), root + u"/Łukasz/AppData");
  const String game = root + u"/Gry/Łódź ゲーム";
  // Past 260 units, with a character beyond 16 bits (a surrogate pair).
  String deep = game;
  for (int level = 1; deep.Length() < 300; ++level)
    deep += u"/Zapisane gry 🎮, セーブデータ i wyniki graczy, " + String::FromInt(level);

  for (const String& folder : {UserDataDirectory() + "/zorp", game, deep}) {
    SCOPED_TRACE(folder.ToUtf8());
    const String file = folder + "/scores.dat";
    ASSERT_EQ(CreateDirectory(folder, true), 1);
    EXPECT_TRUE(SaveSafely(file, "saved"));
    EXPECT_TRUE(ExistsAsWritten(file));
    EXPECT_EQ(LoadString(file), "saved");
    EXPECT_EQ(ListDirectory(ParentDirectory(folder), true),
              std::vector<String>{StripDirectory(folder)});
  }
  EXPECT_EQ(DeleteDirectory(root, true), 1) << "however long its paths";
}

// A copy of this program in a folder named outside the ANSI code page, started
// from another folder, keeps its files in its own: under the ANSI calls they
// went into the folder it was started from.
TEST(WindowsFileSystem, AProgramStartedFromAnotherFolderFindsItsOwn) {
  TempDir dir;
  const String launch = String::FromBytes(dir.path()), folder = launch + u"/Łódź ゲーム";
  const std::wstring program = AsWritten(folder + "/stream_tests.exe");
  ASSERT_TRUE(CreateDirectoryW(AsWritten(folder).c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(AsWritten(ProgramFile()).c_str(), program.c_str(), FALSE));

  WorkingDirectoryGuard guard;
  fs::current_path(dir.path());
  const EnvironmentGuard mark(L"ZORP_TEST_CHILD", "1");
  EXPECT_EQ(_wspawnl(_P_WAIT, program.c_str(), (L"\"" + program + L"\"").c_str(),
                     L"--gtest_filter=WindowsFileSystem.ChildEntersItsOwnFolder", nullptr),
            0);
  EXPECT_TRUE(ExistsAsWritten(folder + "/scores.dat"));
  EXPECT_FALSE(ExistsAsWritten(launch + "/scores.dat"));
}

// The program the test above starts; on its own it has nothing to do.
TEST(WindowsFileSystem, ChildEntersItsOwnFolder) {
  if (!GetEnvironmentVariableW(L"ZORP_TEST_CHILD", nullptr, 0)) GTEST_SKIP() << "Runs as a child";
  ASSERT_EQ(EnterProgramFolder(), 1);
  EXPECT_TRUE(SaveSafely("scores.dat", "saved"));
}
