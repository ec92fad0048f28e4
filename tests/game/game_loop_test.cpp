#include "game/game_loop.h"

#include <climits>
#include <cstdint>

#include "game/screens.h"
#include "game/settings.h"
#include "graphics/display/graphics.h"
#include "runtime/runtime_error.h"
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

TEST_F(MainLoop, TicksKeepTheirScheduleAcrossTheClockWrap) {
  GameGlobals& g = Game();
  g.state = Dying;
  // Just before the clock goes round as an int, and as an unsigned count.
  for (const int start : {INT_MAX - 10, -10}) {
    g.deathCounter = 100000;
    g.nextTick = keys->millis = start;
    // A frame each millisecond: one tick in every fourth, none lost.
    for (int ms = 0; ms < 40; ++ms) {
      RunFrameTicks();
      EXPECT_EQ(g.ticksThisFrame, ms % 4 == 0 ? 1 : 0) << start << " + " << ms;
      EndFrame();
      keys->Advance(1);
    }
    EXPECT_EQ(g.deathCounter, 100000 - 10) << start;

    // A one-second stall that ends past the wrap: 251 ticks due, worked off
    // 13 a frame, then none until the clock moves on.
    g.deathCounter = 100000;
    g.nextTick = keys->millis = start - 500;
    keys->Advance(1000);
    int frames = 0;
    do {
      RunFrameTicks();
      EndFrame();
      ++frames;
    } while (g.ticksThisFrame == 13 && frames < 100);
    EXPECT_EQ(frames, 20) << start;
    EXPECT_EQ(g.deathCounter, 100000 - 251) << start;
    RunFrameTicks();
    EXPECT_EQ(g.ticksThisFrame, 0) << start;
  }

  // A clock that steps back within a frame: the next one ticks from the new
  // time instead of waiting for the old one to come round again.
  g.nextTick = keys->millis = 5000;
  RunFrameTicks();
  keys->millis = 3000;
  EndFrame();
  EXPECT_EQ(g.nextTick, 3000);
  RunFrameTicks();
  EXPECT_EQ(g.ticksThisFrame, 1);
}

TEST_F(MainLoop, TheIntroTakesItsTimeAcrossTheClockWrap) {
  Game().backgroundImage = NewImage(800, 600, 1, -1);
  const int start = INT_MAX - 1000;
  keys->millis = start;
  LoadGameImages(0);
  // Waits of 5, 2 and 5 seconds, each left in the 5 ms step after its time,
  // and two cross-fades of 10 ms steps: 101 of them, as a hundred float
  // steps of 0.01 leave a sliver above 0.
  const uint32_t took = static_cast<uint32_t>(keys->millis) - static_cast<uint32_t>(start);
  EXPECT_EQ(took, 5005u + 2005 + 5005 + 2 * 101 * 10);
}

// While its display is hidden the game stands still: it waits for messages,
// runs no tick, and goes on from where it stood once it is seen again.
TEST_F(MainLoop, WhileHiddenTheGameStandsStill) {
  GameGlobals& g = Game();
  g.state = Dying;
  g.deathCounter = 1000;
  g.nextTick = keys->millis = 5000;
  for (int waits = 0; MillisSince(5000, keys->millis) < 3600 * 1000; ++waits) {
    ASSERT_LE(waits, 3600 * 1000 / HIDDEN_WAIT_MILLIS);
    WaitWhileHidden();
  }
  RunFrameTicks();
  EXPECT_EQ(g.deathCounter, 999) << "an hour hidden, one tick on";
  keys->Arrive(EVENT_APPRESUME);
  const int before = keys->millis;
  WaitWhileHidden();
  EXPECT_EQ(keys->millis, before) << "a message ends the wait";
  keys->Arrive(EVENT_APPTERMINATE);
  WaitWhileHidden();
  EXPECT_EQ(g.state, Quit);
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

// A driver whose displays never open: no pixel format, no context.
class TNoDisplayDriver : public TDisplayDriver {
 public:
  std::vector<Ref<TGraphicsMode>> GraphicsModes() override { return {}; }
  Ref<TDisplay> Attach(intptr_t, int) override { return nullptr; }
  Ref<TDisplay> Create(int, int, int, int, int) override { return nullptr; }
  void SetDisplay(const Ref<TDisplay>&) override {}
  void Flip(int) override {}
};

// The chosen driver, or the one G switches to, never opens a display: the
// game opens it on the other one, and saves the driver that worked.
TEST_F(MainLoop, ADriverWhoseDisplaysNeverOpenIsNoDeadEnd) {
  GameGlobals& g = Game();
  const Ref<TDisplayDriver> gl = CurrentDisplayDriver(), none = New<TNoDisplayDriver>();
  g.backgroundImage = NewImage(800, 600, 1, -1);
  SetWindowed(true);
  for (const int broken : {0, 1}) {
    SCOPED_TRACE(broken == 0 ? "OpenGL broken" : "DirectX 7 broken");
    g.openGL = broken == 0 ? none : gl;
    g.directX7 = broken == 1 ? none : gl;
    g.driverFlag = broken;
    OpenChosenDisplay();
    EXPECT_EQ(g.driverFlag, 1 - broken);
    SwitchDisplayDriver();
    EXPECT_EQ(CurrentDisplayDriver(), gl);
    EXPECT_TRUE(OpenedDisplay() && g.images.font) << "open, the images loaded again";
    EXPECT_EQ(g.driverFlag, 1 - broken) << "the driver saved is the one that opened";
  }
  g.openGL = g.directX7 = none;
  g.driverFlag = 0;
  EXPECT_THROW(OpenChosenDisplay(), RuntimeError) << "neither opens";
  SetWindowed(false);
  SelectDisplayDriver(gl, DF_BACKBUFFER);
}

TEST_F(MainLoop, ADisplayThatDoesNotOpenStopsTheGameWithAnError) {
  const Ref<TDisplayDriver> gl = CurrentDisplayDriver();
  SelectDisplayDriver(New<TNoDisplayDriver>(), DF_BACKBUFFER);
  for (bool window : {false, true}) {
    SetWindowed(window);
    try {
      OpenGameDisplay(75);
      ADD_FAILURE() << "the game goes on without a display";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), "Failed to open the display!");
    }
  }
  SetWindowed(false);
  SelectDisplayDriver(gl, DF_BACKBUFFER);
}

}  // namespace
