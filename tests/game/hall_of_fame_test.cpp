#include "game/hall_of_fame.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/settings.h"
#include "tests/game/game_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using HallOfFameTest = GameTest;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Ends a game with the score: RankCheck, then (maybe) NameEntry.
void EndGameWith(int score) {
  Game().score = score;
  Game().state = RankCheck;
  GameTick();
}

TEST_F(HallOfFameTest, ScoresEnterBelowTheirEquals) {
  SetDefaultRanks();
  EndGameWith(50000);
  EXPECT_EQ(Game().state, Title) << "equal to the tenth does not enter";

  EndGameWith(50001);
  EXPECT_EQ(Game().state, NameEntry);
  EXPECT_EQ(Ranks().editedRank, 9);
  EXPECT_EQ(Ranks().rankScores[8], 100000) << "only the tenth is replaced";
  EXPECT_EQ(Ranks().rankNames[9], String());

  SetDefaultRanks();
  EndGameWith(450000);
  EXPECT_EQ(Ranks().editedRank, 2) << "below the equal score";
  EXPECT_EQ(Ranks().rankScores[3], 400000);
  EXPECT_EQ(Ranks().rankScores[9], 100000) << "the old tenth is dropped";

  SetDefaultRanks();
  EndGameWith(999999);
  EXPECT_EQ(Ranks().editedRank, 0);
  EXPECT_EQ(Ranks().rankScores[1], 500000);
  EXPECT_EQ(Ranks().rankNames[1], String("QUILLMOOR SOFTWARE"));
}

TEST_F(HallOfFameTest, NamesAreTypedWithinTheFontAndTheWidthLimit) {
  SetDefaultRanks();
  EndGameWith(600000);
  ASSERT_EQ(Game().state, NameEntry);
  for (int c : {int{'z'}, int{'o'}, int{'r'}, int{'p'}, int{','}, 0xE9, int{'\t'}, int{' '},
                int{'&'}, int{'.'}}) {
    Type(c);
  }
  for (int i = 0; i < 10; ++i) GameTick();
  EXPECT_EQ(Ranks().rankNames[0], String("ZORP &."));
  Type(KEY_BACKSPACE);
  GameTick();
  EXPECT_EQ(Ranks().rankNames[0], String("ZORP &"));

  // Wide letters up to the limit; then a narrow one may still fit.
  for (int i = 0; i < 40; ++i) Type('W');
  for (int i = 0; i < 40; ++i) GameTick();
  const String full = Ranks().rankNames[0];
  EXPECT_LE(FontTextWidth(full), NAME_WIDTH_LIMIT);
  EXPECT_GT(FontTextWidth(full + String("W")), NAME_WIDTH_LIMIT);
  if (FontTextWidth(full + String(".")) <= NAME_WIDTH_LIMIT) {
    Type('.');
    GameTick();
    EXPECT_EQ(Ranks().rankNames[0], full + String("."));
  }

  while (Ranks().rankNames[0].Length() > 0) {
    Type(KEY_BACKSPACE);
    GameTick();
  }
  Type(KEY_BACKSPACE);
  GameTick();
  EXPECT_EQ(Ranks().rankNames[0], String()) << "backspace on an empty name";
  Type(KEY_ENTER);
  GameTick();
  EXPECT_EQ(Game().state, Title);
}

TEST_F(HallOfFameTest, TheScoresFileRoundTripsAndShortFilesReadAsEmpty) {
  TempDir dir;
  const std::string path = dir / "scores.dat";
  ReadScores(String::FromBytes(path));
  EXPECT_EQ(Ranks().rankScores[0], 500000) << "no file: the default table";
  ASSERT_TRUE(WriteScores(String::FromBytes(path)));
  std::string expected;
  for (int i = 0; i < 10; ++i) {
    expected += std::to_string(500000 - 50000 * i) + "\r\nQUILLMOOR SOFTWARE\r\n";
  }
  EXPECT_EQ(ReadBytes(path), expected);
  EXPECT_FALSE(std::ifstream(path + ".tmp").good()) << "no temporary file is left";

  Ranks().rankScores[3] = -7;
  Ranks().rankNames[3] = String("\xE9T\xE9");
  ASSERT_TRUE(WriteScores(String::FromBytes(path)));
  const HallOfFame written = Ranks();
  SetDefaultRanks();
  ReadScores(String::FromBytes(path));
  EXPECT_EQ(Ranks().rankScores, written.rankScores);
  EXPECT_EQ(Ranks().rankNames, written.rankNames);

  WriteBytes(path, "  123abc\nFIRST\r\n-5\n");
  ReadScores(String::FromBytes(path));
  EXPECT_EQ(Ranks().rankScores[0], 123);
  EXPECT_EQ(Ranks().rankNames[0], String("FIRST"));
  EXPECT_EQ(Ranks().rankScores[1], -5);
  EXPECT_EQ(Ranks().rankNames[1], String());
  EXPECT_EQ(Ranks().rankScores[9], 0);
  EXPECT_EQ(Ranks().rankNames[9], String());

  // A folder in the way: nothing is written and what was there stays.
  const std::string blocked = dir / "blocked";
  std::filesystem::create_directory(blocked);
  EXPECT_FALSE(WriteScores(String::FromBytes(blocked)));
}

TEST_F(HallOfFameTest, TheSettingsFileHoldsTheDriverFlag) {
  TempDir dir;
  const std::string path = dir / "config.ini";
  Game().glAvailable = 1;
  Game().dx7Available = 0;
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0) << "no file, no DirectX: OpenGL";
  ASSERT_TRUE(WriteSettings(String::FromBytes(path)));
  EXPECT_EQ(ReadBytes(path), std::string("\0\0\0\0", 4));

  WriteBytes(path, std::string("\1\0\0\0", 4));
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0) << "DirectX named but not there";
  WriteSettings(String::FromBytes(path));
  EXPECT_EQ(ReadBytes(path), std::string("\0\0\0\0", 4));

  WriteBytes(path, "");
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0);
  WriteBytes(path, std::string("\0\0\0\0extra", 9));
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0);
  EXPECT_EQ(CurrentDrawDriver(), Ref<TDrawDriver>(GLDrawDriver()));
}

TEST(RefreshRate, TheHighestNotAboveThePreferredElseTheLowest) {
  EXPECT_EQ(ChooseRefreshRate({85, 60, 75, 72}, 75), 75);
  EXPECT_EQ(ChooseRefreshRate({60, 100}, 75), 60);
  EXPECT_EQ(ChooseRefreshRate({100, 85}, 75), 85);
  EXPECT_EQ(ChooseRefreshRate({}, 75), 75) << "no modes: ask for the preferred rate";
}

}  // namespace
