#include "game/game_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "stream/file_system.h"
#include "tests/support/platform.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The reason a save gives when a directory stands where a file goes.
std::string DirectoryInTheWay() { return std::strerror(testplatform::DirectoryInTheWayError()); }

// A file whose reads fail once the first `good` bytes are read, as a bad
// sector or a vanished network share would.
class TFailingStream : public TStream {
 public:
  TFailingStream(std::string bytes, int good) : bytes_(std::move(bytes)), good_(good) {}
  int Position() override { return position_; }
  int Size() override { return static_cast<int>(bytes_.size()); }
  int Read(void* buf, int count) override {
    const int n = std::min(count, good_ - position_);
    if (n <= 0) return 0;
    std::memcpy(buf, bytes_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }

 private:
  std::string bytes_;
  int good_;
  int position_ = 0;
};

HallOfFame TableOf(int first) {
  HallOfFame table;
  for (int i = 0; i < RANKS; ++i) {
    table.rankScores[i] = first - i;
    table.rankNames[i] = String("RANK ") + String::FromInt(i);
  }
  return table;
}

bool SaveTable(const std::string& path, const HallOfFame& table) {
  return WriteFileSafely(String::FromBytes(path),
                         [&table](const Ref<TStream>& file) { WriteScoreTable(file, table); });
}

// Saves, and gives back what the save said on standard error.
std::string SaveTableSaying(const std::string& path, const HallOfFame& table, bool& saved) {
  testing::internal::CaptureStderr();
  saved = SaveTable(path, table);
  return testing::internal::GetCapturedStderr();
}

bool LoadTable(const std::string& path, HallOfFame& table) {
  return ReadGameFile(String::FromBytes(path),
                      [&table](const Ref<TStream>& file) { ReadScoreTable(file, table); });
}

std::string Written(const HallOfFame& table) {
  std::string text;
  for (int i = 0; i < RANKS; ++i) {
    text += std::to_string(table.rankScores[i]) + "\r\n" + table.rankNames[i].ToBytes() + "\r\n";
  }
  return text;
}

}  // namespace

TEST(GameFiles, WhatCannotBeReadAsAFileCountsAsMissing) {
  StartFileSystem();
  TempDir dir;
  HallOfFame table;
  EXPECT_FALSE(LoadTable(dir / "scores.dat", table)) << "no file";

  fs::create_directory(dir / "scores.dat");
  EXPECT_FALSE(OpenFileForReading(String::FromBytes(dir / "scores.dat")));
  EXPECT_FALSE(LoadTable(dir / "scores.dat", table)) << "a directory";
  int flag = 7;
  fs::create_directory(dir / "config.ini");
  EXPECT_FALSE(ReadGameFile(String::FromBytes(dir / "config.ini"),
                            [&flag](const Ref<TStream>& file) { flag = ReadDriverFlag(file); }));
  EXPECT_EQ(flag, 7);

  // A pipe nobody writes to would hold the game up at start.
  if (testplatform::MakeNamedPipe(dir / "pipe")) {
    EXPECT_FALSE(LoadTable(dir / "pipe", table));
  }

  WriteFileBytes(dir / "file", Written(TableOf(100)));
  ASSERT_TRUE(LoadTable(dir / "file", table));
  EXPECT_EQ(table.rankScores, TableOf(100).rankScores);
  if (testplatform::PermissionBitsApply()) {
    fs::permissions(dir / "file", fs::perms::none);
    EXPECT_FALSE(LoadTable(dir / "file", table)) << "no permission to read";
  }

  // A read that fails part way is no short file: the table read so far is
  // not the player's.
  const std::string text = Written(TableOf(100));
  const auto failing = [&text](int good) { return New<TFailingStream>(text, good); };
  EXPECT_TRUE(ReadGameStream(failing(static_cast<int>(text.size())),
                             [&table](const Ref<TStream>& file) { ReadScoreTable(file, table); }));
  EXPECT_FALSE(ReadGameStream(failing(20),
                              [&table](const Ref<TStream>& file) { ReadScoreTable(file, table); }));
  EXPECT_FALSE(ReadGameStream(failing(2), [&flag](const Ref<TStream>& file) {
    flag = ReadDriverFlag(file);
  })) << "ReadInt's own read error";
}

TEST(GameFiles, AFailedSaveSaysWhyOnceAndKeepsTheOldFile) {
  StartFileSystem();
  TempDir dir;
  const std::string path = dir / "scores.dat";
  const std::string temporary = path + ".tmp";
  bool saved = false;
  EXPECT_EQ(SaveTableSaying(path, TableOf(100), saved), "");
  ASSERT_TRUE(saved);
  EXPECT_EQ(ReadFileBytes(path), Written(TableOf(100)));
  const std::string kept = ReadFileBytes(path);

  // A directory where the temporary file goes is someone's: it stays.
  fs::create_directory(temporary);
  EXPECT_EQ(SaveTableSaying(path, TableOf(200), saved),
            "zorp: could not save " + path + ": " + DirectoryInTheWay() + "\n");
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFileBytes(path), kept);
  EXPECT_TRUE(fs::is_directory(temporary));
  fs::remove(temporary);

  // A full disk shows when the bytes go out.
  if (fs::exists("/dev/full")) {
    fs::create_symlink("/dev/full", temporary);
    EXPECT_EQ(SaveTableSaying(path, TableOf(300), saved),
              "zorp: could not save " + path + ": No space left on device\n");
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(path), kept);
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary))) << "the temporary file is removed";
  }

  // A directory where the file goes: the temporary file is not left behind.
  const std::string blocked = dir / "blocked";
  fs::create_directory(blocked);
  EXPECT_EQ(SaveTableSaying(blocked, TableOf(400), saved),
            "zorp: could not save " + blocked + ": " + DirectoryInTheWay() + "\n");
  EXPECT_FALSE(saved);
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_FALSE(fs::exists(fs::symlink_status(blocked + ".tmp")));

  // A relative path is shown as the player would find it.
  const String before = CurrentDirectory();
  ASSERT_EQ(ChangeDirectory(String::FromBytes(dir.path())), 1);
  EXPECT_EQ(SaveTableSaying("blocked", TableOf(400), saved),
            "zorp: could not save " + blocked + ": " + DirectoryInTheWay() + "\n");
  ChangeDirectory(before);

  if (testplatform::PermissionBitsApply()) {
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(SaveTableSaying(path, TableOf(500), saved),
              "zorp: could not save " + path + ": Permission denied\n");
    EXPECT_EQ(ReadFileBytes(path), kept);
    fs::permissions(dir.path(), fs::perms::owner_all);
  }

  // Once the way is clear, saving works again.
  EXPECT_EQ(SaveTableSaying(path, TableOf(600), saved), "");
  EXPECT_TRUE(saved);
  EXPECT_EQ(ReadFileBytes(path), Written(TableOf(600)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
}
