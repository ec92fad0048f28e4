#include "game/zorp.h"

#include "tests/game/game_fixture.h"

namespace {

using Zorp = GameTest;

// A zorp of length balls with its head on the cell, moving in direction.
void Place(int column, int row, int length, int direction) {
  StartNewGame();
  TZorpSegment::Create(column, row, length);
  const double dx[] = {0, 0.5, 0, -0.5}, dy[] = {-0.5, 0, 0.5, 0};
  for (const Ref<TZorpSegment>& ball : TZorpSegment::Segments()) {
    ball->dx = dx[direction];
    ball->dy = dy[direction];
  }
  TZorpSegment::requestDx = dx[direction];
  TZorpSegment::requestDy = dy[direction];
  TZorpSegment::direction = TZorpSegment::requestDirection = direction;
  Game().state = Playing;
}

TEST_F(Zorp, ANewGameLaysTheZorpOutToTheRightOfItsHead) {
  Game().score = 1234;
  StartPlaying();
  EXPECT_EQ(Game().score, 0);
  const auto& balls = TZorpSegment::Segments();
  ASSERT_EQ(balls.size(), 9u);
  EXPECT_EQ(Head().x, 360);
  EXPECT_EQ(Head().y, 264);
  EXPECT_EQ(balls.back()->x, 424);
  const int counters[] = {48, 16, 32, 48, 16, 32, 48, 16, 32};
  for (size_t i = 0; i < balls.size(); ++i) EXPECT_EQ(balls[i]->stepCounter, counters[i]) << i;
  EXPECT_EQ(TZorpSegment::direction, 3);
  EXPECT_GE(NumberItem().value, 6);
  EXPECT_LE(NumberItem().value, 9);
  EXPECT_GE(BonusStar().delay, 750);
}

TEST_F(Zorp, SteeringLatchesAtTheNextCellBoundaryAndNeverReverses) {
  StartPlaying();
  Hold(KEY_RIGHT);  // straight back: ignored
  Ticks(48);
  EXPECT_EQ(TZorpSegment::direction, 3);
  EXPECT_EQ(Head().x, 336);
  Hold(KEY_DOWN);  // with right still held, down is the first key allowed
  Ticks(1);
  Release(KEY_DOWN);
  Release(KEY_RIGHT);
  Ticks(46);
  EXPECT_EQ(Head().dx, -0.5) << "the turn waits for the boundary";
  Ticks(1);
  EXPECT_EQ(TZorpSegment::direction, 2) << "a key released before the boundary still turns";
  EXPECT_EQ(Head().x, 312);
  Hold(KEY_UP);  // reverse of down: ignored; left comes next
  Hold(KEY_LEFT);
  Ticks(48);
  EXPECT_EQ(TZorpSegment::direction, 3);
  Release(KEY_LEFT);
  Hold(KEY_QUOTE);  // still reversing? no: up is allowed while moving left
  Ticks(48);
  EXPECT_EQ(TZorpSegment::direction, 0);
  // The body follows the head's path: every ball turns where the head did,
  // so after the corner the whole zorp runs up one column.
  Release(KEY_UP);
  Release(KEY_QUOTE);
  Ticks(48 * 8);
  for (const auto& ball : TZorpSegment::Segments()) EXPECT_EQ(ball->x, Head().x);
  EXPECT_EQ(Game().state, Playing);
}

TEST_F(Zorp, WallsKillExactlyAtTheEdgeOfTheField) {
  // One cell from each wall, moving towards it: the head reaches the edge
  // after 48 ticks, and dies there as it would turn into the wall.
  struct wall {
    int column, row, direction;
  } walls[] = {{1, 11, 3}, {31, 11, 1}, {15, 1, 0}, {15, 21, 2}};
  for (const wall& w : walls) {
    Place(w.column, w.row, 1, w.direction);
    TZorpSegment::turnCountdown = 48;
    Ticks(47);
    ASSERT_EQ(Game().state, Playing) << w.direction;
    const size_t sounds = TPlayingSound::Live().size();
    Ticks(1);
    EXPECT_EQ(Game().state, Dying) << w.direction;
    EXPECT_EQ(Game().deathCounter, 1000);
    EXPECT_EQ(TPlayingSound::Live().size(), sounds + 1) << "the death sound";
    const int edge[] = {0, 768, 528, 0};
    EXPECT_EQ(w.direction % 2 ? Head().x : Head().y, edge[w.direction]);
  }
}

TEST_F(Zorp, GrowthStopsAtFifteenHundredBalls) {
  StartPlaying();
  const auto tail = TZorpSegment::tail;
  TZorpSegment::Grow();
  EXPECT_EQ(TZorpSegment::segmentCount, 10);
  EXPECT_EQ(TZorpSegment::tail->leader, tail);
  EXPECT_EQ(TZorpSegment::tail->wait, 16);
  EXPECT_EQ(TZorpSegment::tail->x, tail->x);
  Ticks(16);
  EXPECT_EQ(tail->x - TZorpSegment::tail->x, -8) << "the new ball ends 8 pixels behind";
  while (TZorpSegment::segmentCount < 1500) TZorpSegment::Grow();
  TZorpSegment::Grow();
  EXPECT_EQ(TZorpSegment::segmentCount, 1500);
  EXPECT_EQ(TZorpSegment::Segments().size(), 1500u);
}

TEST_F(Zorp, OnlyBallsBeyondTheFirstFourCanKill) {
  StartPlaying();
  auto& balls = TZorpSegment::Segments();
  for (size_t i = 1; i <= 4; ++i) {
    balls[i]->x = Head().x;
    balls[i]->y = Head().y;
  }
  EXPECT_EQ(TZorpSegment::HitsItself(), 0);
  balls[5]->x = Head().x + 20;
  balls[5]->y = Head().y;
  EXPECT_EQ(TZorpSegment::HitsItself(), 1);
  balls[5]->x = Head().x + 24;
  EXPECT_EQ(TZorpSegment::HitsItself(), 0) << "a cell apart";
  balls[5]->y = Head().y + 23;
  balls[5]->x = Head().x + 23;
  EXPECT_EQ(TZorpSegment::HitsItself(), 0) << "round balls do not touch at the corners";

  // The tightest turn the zorp can make (three turns in three cells) never
  // brings it onto itself.
  StartPlaying();
  Hold(KEY_UP);
  Ticks(48);
  Release(KEY_UP);
  Hold(KEY_RIGHT);
  Ticks(48);
  Release(KEY_RIGHT);
  Hold(KEY_DOWN);
  Ticks(48 + 20);
  EXPECT_EQ(Game().state, Playing);
}

TEST_F(Zorp, DrawingMarksTheCellsUnderEachBall) {
  StartPlaying();
  auto& balls = TZorpSegment::Segments();
  balls.resize(2);
  TZorpSegment::tail = balls.back();
  balls[0]->x = 24;
  balls[0]->y = 48;
  balls[1]->x = 30;
  balls[1]->y = 96;
  TZorpSegment::Draw();
  const TOccupancyGrid& grid = OccupancyGrid();
  EXPECT_EQ(grid.Get(1, 2), 1);
  EXPECT_EQ(grid.Get(2, 2), 0) << "a ball on a cell boundary marks one cell";
  EXPECT_EQ(grid.Get(1, 4), 1);
  EXPECT_EQ(grid.Get(2, 4), 1);
  balls[1]->x = 48;
  balls[1]->y = 100;
  TZorpSegment::Draw();
  EXPECT_EQ(grid.Get(1, 4), 0) << "the grid is built anew";
  EXPECT_EQ(grid.Get(2, 4), 1);
  EXPECT_EQ(grid.Get(2, 5), 1);
}

}  // namespace
