#include "game/items.h"

#include "game/random.h"
#include "tests/game/game_fixture.h"

namespace {

using Items = GameTest;

// The zorp lies on the cell, as drawing would have marked it.
void Cover(int column, int row) { OccupancyGrid().Set(column, row, 1); }

TEST_F(Items, NumbersScoreByDigitAndTimeLeft) {
  StartPlaying();
  TNumberItem& number = NumberItem();
  const int perTick[] = {0, 0, 0, 0, 1, 2, 3, 4, 6, 8};
  for (int value = 1; value <= 9; ++value) {
    for (int ticksLeft : {500, 1}) {
      OccupancyGrid().Clear();
      number.column = 5;
      number.row = 7;
      number.value = value;
      number.ticksLeft = ticksLeft;
      Cover(5, 7);
      const int score = Game().score;
      const int balls = TZorpSegment::segmentCount;
      number.Update();
      EXPECT_EQ(Game().score - score, value * value * 10 + perTick[value] * ticksLeft)
          << value << " with " << ticksLeft << " ticks left";
      EXPECT_EQ(TZorpSegment::segmentCount, balls + 1);
      EXPECT_EQ(number.popupFrame, value);
      EXPECT_NE(OccupancyGrid().Get(number.column, number.row), 1) << "placed on a free cell";
      EXPECT_GE(number.value, 6);
      EXPECT_EQ(number.ticksLeft, 500);
    }
  }
}

TEST_F(Items, NumbersCountDownAndKillWhenTheyRunOut) {
  StartPlaying();
  TNumberItem& number = NumberItem();
  number.value = 2;
  number.ticksLeft = 1;
  Ticks(1);
  EXPECT_EQ(number.value, 1);
  EXPECT_EQ(number.ticksLeft, 500);
  // Eaten in the first tick of the lower digit: scored with it.
  number.value = 7;
  number.ticksLeft = 1;
  Ticks(1);
  Cover(number.column, number.row);
  const int score = Game().score;
  number.Update();
  EXPECT_EQ(Game().score - score, 360 + 3 * 500) << "a 6 with its whole time left";
  OccupancyGrid().Clear();

  number.value = 1;
  number.ticksLeft = 500;
  Ticks(499);
  EXPECT_EQ(Game().state, Playing);
  Ticks(1);
  EXPECT_EQ(Game().state, Dying);
  EXPECT_EQ(Game().deathCounter, 360);
  EXPECT_EQ(number.value, 0);
}

TEST_F(Items, TheStarComesOffTheNumbersRowAndColumnAndLosesValue) {
  StartPlaying();
  TBonusStar& star = BonusStar();
  for (int seed = 1; seed <= 300; ++seed) {
    SeedRandom(seed);
    NumberItem().Place(1);
    star.delay = 1;
    star.Update();
    ASSERT_EQ(star.delay, 0);
    ASSERT_NE(star.column, NumberItem().column) << seed;
    ASSERT_NE(star.row, NumberItem().row) << seed;
    ASSERT_GE(star.lifeLeft, 2500);
    ASSERT_LE(star.lifeLeft, 5000);
    ASSERT_EQ(star.lifeLeft % 500, 0);
  }
  star.bonus = 11;
  star.lifeLeft = 100;
  star.Update();
  star.Update();
  EXPECT_EQ(star.bonus, 10) << "never below 10";
  Cover(star.column, star.row);
  const int score = Game().score;
  star.Update();
  EXPECT_EQ(Game().score - score, 100);
  EXPECT_GE(star.delay, 750);
  EXPECT_LE(star.delay, 7500);
  EXPECT_EQ(star.delay % 750, 0);

  // A star left alone vanishes when its time is up.
  OccupancyGrid().Clear();
  star.delay = 1;
  star.Update();
  star.lifeLeft = 1;
  star.Update();
  EXPECT_GE(star.delay, 750);
}

TEST_F(Items, PopupsKeepTheirPointsOnScreenAndEnd) {
  StartPlaying();
  for (int column : {0, 32}) {
    ItemPopup popup;
    popup.Start(column, 3, 12345);
    const int half = FontTextWidth(String("12345")) / 2;
    EXPECT_EQ(popup.textX, column == 0 ? half + 2 : 790 - half);
    EXPECT_EQ(popup.x, 24 * column + 12);
    EXPECT_EQ(popup.y, 84);
    for (int tick = 0; tick < 119; ++tick) popup.Animate();
    EXPECT_EQ(popup.active, 1);
    popup.Animate();
    EXPECT_EQ(popup.active, 0) << "120 ticks";
    EXPECT_NEAR(popup.scale, 3.4, 1e-3);
  }
}

TEST_F(Items, ANumberAndTheStarEatenTogetherBothCount) {
  StartPlaying();
  TNumberItem& number = NumberItem();
  TBonusStar& star = BonusStar();
  star.delay = 0;
  star.bonus = 500;
  star.lifeLeft = 100;
  star.column = number.column = 10;
  star.row = number.row = 10;
  number.value = 3;
  Cover(10, 10);
  const size_t sounds = TPlayingSound::Live().size();
  Hold(KEY_ESCAPE);  // and the game ends in the same tick
  Ticks(1);
  EXPECT_EQ(Game().score, 90 + 5000);
  EXPECT_EQ(TZorpSegment::segmentCount, 11);
  EXPECT_EQ(TPlayingSound::Live().size(), sounds + 2);
  EXPECT_EQ(Game().state, RankCheck);
}

}  // namespace
