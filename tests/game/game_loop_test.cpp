#include "game/game_loop.h"

#include "tests/game/game_fixture.h"

namespace {

using MainLoop = GameTest;

TEST_F(MainLoop, ABacklogIsWorkedOffThirteenTicksAFrame) {
  GameGlobals& g = Game();
  g.state = Dying;
  g.deathCounter = 100000;
  g.nextTick = keys->millis = 5000;
  RunFrameTicks();
  EXPECT_EQ(g.ticksThisFrame, 1);
  EXPECT_EQ(g.nextTick, 5004);

  keys->millis += 1000;  // a one-second stall: 250 ticks are due
  int frames = 0, ticks = 0;
  while (g.nextTick <= keys->millis) {
    RunFrameTicks();
    EXPECT_LE(g.ticksThisFrame, 13);
    ticks += g.ticksThisFrame;
    ++frames;
  }
  EXPECT_EQ(ticks, 250);
  EXPECT_EQ(frames, 20) << "19 full frames and the rest";
  EXPECT_EQ(g.deathCounter, 100000 - 251);
}

TEST_F(MainLoop, AClockThatWrapsDoesNotStallTheTicks) {
  GameGlobals& g = Game();
  g.state = Dying;
  g.deathCounter = 100000;
  keys->millis = 2147483000;
  g.nextTick = keys->millis;
  RunFrameTicks();
  keys->millis = -2147483000;  // the 32-bit clock went round
  EndFrame();
  EXPECT_EQ(g.nextTick, keys->millis);
  keys->millis += 8;
  RunFrameTicks();
  EXPECT_EQ(g.ticksThisFrame, 3);
}

TEST_F(MainLoop, TitleKeys) {
  GameGlobals& g = Game();
  g.glAvailable = 1;
  Hit(KEY_G);  // only one driver: nothing
  Hit(KEY_M);
  GameTick();
  EXPECT_FALSE(g.switchRequested);
  EXPECT_EQ(g.musicOn, 0);
  Hit(KEY_M);
  GameTick();
  EXPECT_EQ(g.musicOn, 1);
  g.dx7Available = 1;
  Hit(KEY_G);
  Hit(KEY_SPACE);
  GameTick();
  EXPECT_TRUE(g.switchRequested) << "and the tick goes on";
  EXPECT_EQ(g.state, GetReady);
  EXPECT_EQ(TZorpSegment::segmentCount, 9);

  g.state = Title;
  g.nextTick = keys->millis = 100;
  keys->millis = 140;
  Hit(KEY_ESCAPE);
  RunFrameTicks();
  EXPECT_EQ(g.state, Quit);
  EXPECT_EQ(g.ticksThisFrame, 0) << "the tick loop is left at once";
  EXPECT_EQ(g.nextTick, 100);
}

TEST_F(MainLoop, PauseEscapeAndDeathInOneTick) {
  GameGlobals& g = Game();
  StartPlaying();
  Hit(KEY_P);
  GameTick();
  EXPECT_EQ(g.paused, 1);
  const double x = Head().x;
  Ticks(10);
  EXPECT_EQ(Head().x, x) << "nothing moves while paused";
  Hit(KEY_SPACE);
  GameTick();
  EXPECT_EQ(g.paused, 0);
  Hit(KEY_LALT);
  GameTick();
  EXPECT_EQ(g.paused, 1);
  Hit(KEY_ESCAPE);
  GameTick();
  EXPECT_EQ(g.state, RankCheck) << "escape while paused ends the game";
  EXPECT_EQ(g.paused, 1) << "and the next game starts paused";

  // A death and Escape in the same tick skip the Game Over.
  StartPlaying();
  g.paused = 0;
  NumberItem().value = 1;
  NumberItem().ticksLeft = 1;
  Hit(KEY_ESCAPE);
  GameTick();
  EXPECT_EQ(g.state, RankCheck);
  EXPECT_EQ(g.deathCounter, 360);
}

TEST_F(MainLoop, DyingFadesInTheGameOverAndEndsInTheHallOfFameCheck) {
  GameGlobals& g = Game();
  g.state = Dying;
  g.deathCounter = 360;
  Ticks(250);
  EXPECT_NEAR(g.gameOverAlpha, 1.0, 0.01);
  Ticks(109);
  EXPECT_EQ(g.state, Dying);
  EXPECT_EQ(g.gameOverAlpha, 1.0f);
  Ticks(1);
  EXPECT_EQ(g.state, RankCheck);
}

TEST_F(MainLoop, GetReadyFliesInRestsAndLeaves) {
  GameGlobals& g = Game();
  StartNewGame();
  g.state = GetReady;
  g.gameOverAlpha = 0.5f;
  int ticks = 0;
  while (g.state == GetReady && ticks < 1000) {
    GameTick();
    ++ticks;
    if (g.readyPhase == 2) {
      EXPECT_EQ(g.overlayX, 396) << "rests in the middle";
    }
  }
  EXPECT_EQ(g.state, Playing);
  EXPECT_EQ(ticks, 1 + 180 + 200 + 125 + 1);
  EXPECT_EQ(g.overlayX, 396);
  EXPECT_EQ(g.overlayY, 276);
  EXPECT_EQ(g.gameOverAlpha, 0);
}

}  // namespace
