#include "game/hall_of_fame.h"

#include <algorithm>
#include <filesystem>

#include "game/settings.h"
#include "graphics/display/graphics.h"
#include "graphics/dx7/dx7_draw.h"
#include "tests/game/game_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using HallOfFameTest = GameTest;

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

  // A name whose room left lies between the narrowest and the widest glyph:
  // the wide one is refused, the narrow one still fits after it.
  const auto widthOf = [](char c) { return FontTextWidth(String::Chr(c)); };
  const char* alphabet = FONT_ALPHABET;
  const char wide = *std::max_element(alphabet, alphabet + FONT_GLYPHS,
                                      [&](char a, char b) { return widthOf(a) < widthOf(b); });
  const char narrow = *std::min_element(alphabet, alphabet + FONT_GLYPHS,
                                        [&](char a, char b) { return widthOf(a) < widthOf(b); });
  ASSERT_LT(widthOf(narrow), widthOf(wide));
  std::string name;
  for (int wides = NAME_WIDTH_LIMIT / widthOf(wide); wides >= 0 && name.empty(); --wides) {
    for (int narrows = 0; wides * widthOf(wide) + narrows * widthOf(narrow) <= NAME_WIDTH_LIMIT;
         ++narrows) {
      const int room = NAME_WIDTH_LIMIT - wides * widthOf(wide) - narrows * widthOf(narrow);
      if (room >= widthOf(narrow) && room < widthOf(wide)) {
        name = std::string(static_cast<size_t>(wides), wide) +
               std::string(static_cast<size_t>(narrows), narrow);
        break;
      }
    }
  }
  ASSERT_FALSE(name.empty()) << "no name leaves room for only the narrow glyph";
  while (Ranks().rankNames[0].Length() > 0) {
    Type(KEY_BACKSPACE);
    GameTick();
  }
  for (char c : name + wide + narrow) {
    Type(c);
    GameTick();
  }
  EXPECT_EQ(Ranks().rankNames[0], String(name.c_str()) + String::Chr(narrow));

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
  EXPECT_EQ(ReadFileBytes(path), expected);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << "no temporary file is left";

  Ranks().rankScores[3] = -7;
  Ranks().rankNames[3] = String("\xE9T\xE9");
  ASSERT_TRUE(WriteScores(String::FromBytes(path)));
  const HallOfFame written = Ranks();
  SetDefaultRanks();
  ReadScores(String::FromBytes(path));
  EXPECT_EQ(Ranks().rankScores, written.rankScores);
  EXPECT_EQ(Ranks().rankNames, written.rankNames);

  WriteFileBytes(path, "  123abc\nFIRST\r\n-5\n");
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
  // Nor is a folder of that name read as an empty table.
  ReadScores(String::FromBytes(blocked));
  EXPECT_EQ(Ranks().rankScores[9], 50000);
}

TEST_F(HallOfFameTest, TheSettingsFileHoldsTheDriverFlag) {
  TempDir dir;
  const std::string path = dir / "config.ini";
  const Ref<TDrawDriver> directX = DX7DrawDriver();
  Game().openGL = GLDrawDriver();
  Game().glAvailable = 1;
  Game().dx7Available = 0;
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0) << "no file, no DirectX: OpenGL";
  ASSERT_TRUE(WriteSettings(String::FromBytes(path)));
  EXPECT_EQ(ReadFileBytes(path), std::string("\0\0\0\0", 4));

  // DirectX named: chosen where the build has it (Windows), else OpenGL.
  Game().directX7 = directX;
  WriteFileBytes(path, std::string("\1\0\0\0", 4));
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, directX ? 1 : 0);
  EXPECT_EQ(CurrentDisplayDriver(),
            directX ? Ref<TDisplayDriver>(directX) : Ref<TDisplayDriver>(GLDrawDriver()));
  WriteSettings(String::FromBytes(path));
  EXPECT_EQ(ReadFileBytes(path), std::string(directX ? "\1\0\0\0" : "\0\0\0\0", 4));

  WriteFileBytes(path, "");
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0);
  WriteFileBytes(path, std::string("\0\0\0\0extra", 9));
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0);
  EXPECT_EQ(CurrentDisplayDriver(), Ref<TDisplayDriver>(GLDrawDriver()));

  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  Game().driverFlag = 5;
  ChooseDisplayDriver(String::FromBytes(path));
  EXPECT_EQ(Game().driverFlag, 0) << "a folder of that name counts as no file";
}

TEST(RefreshRate, TheHighestNotAboveThePreferredElseTheLowest) {
  EXPECT_EQ(ChooseRefreshRate({85, 60, 75, 72}, 75), 75);
  EXPECT_EQ(ChooseRefreshRate({60, 100}, 75), 60);
  EXPECT_EQ(ChooseRefreshRate({100, 85}, 75), 85);
  EXPECT_EQ(ChooseRefreshRate({}, 75), 75) << "no modes: ask for the preferred rate";
  EXPECT_EQ(ChooseRefreshRate({0, 60, 1}, 75), 60) << "0 and 1 are unknown rates";
  EXPECT_EQ(ChooseRefreshRate({0, 0, 0}, 75), 75);
}

}  // namespace
