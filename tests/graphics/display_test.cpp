// The graphics context over a recording display driver and the scripted
// system driver, whose clock only moves when something sleeps or when the
// fake driver's flips take time, so pacing is exact.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "graphics/display/graphics.h"
#include "system/event.h"
#include "system/hook.h"
#include "system/polled_input.h"
#include "tests/support/scripted_system_driver.h"

namespace detail {
int NextDisplaySequence(int sequence);
}

namespace {

using Log = std::vector<std::string>;

class TRecordingSystemDriver : public TScriptedSystemDriver {
 public:
  void SleepFor(int ms) override {
    sleeps.push_back(ms);
    TScriptedSystemDriver::SleepFor(ms);
  }
  std::vector<int> sleeps;
};

class TRecordingDisplayDriver;

class TRecordingDisplay : public TDisplay {
 public:
  TRecordingDisplay(Ref<TRecordingDisplayDriver> driver, std::string name, DisplaySettings settings)
      : driver(std::move(driver)), name(std::move(name)), settings(settings) {}
  Ref<TDisplayDriver> Driver() override;
  DisplaySettings GetSettings() override { return settings; }
  void Close() override;

  Ref<TRecordingDisplayDriver> driver;
  std::string name;
  DisplaySettings settings;
};

class TRecordingDisplayDriver : public TDisplayDriver {
 public:
  TRecordingDisplayDriver(std::string name, Ref<TScriptedSystemDriver> clock)
      : name(std::move(name)), clock(std::move(clock)) {}

  std::vector<Ref<TGraphicsMode>> GraphicsModes() override {
    ++modeCalls;
    return modes;
  }
  Ref<TDisplay> Attach(intptr_t window, int flags) override {
    log.push_back("attach " + std::to_string(window) + " " + std::to_string(flags));
    return Make({0, 0, 0, 0, flags});
  }
  Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) override {
    log.push_back("create " + std::to_string(width) + "x" + std::to_string(height) + "x" +
                  std::to_string(depth) + "@" + std::to_string(hz) + " " + std::to_string(flags));
    if (failCreate) return nullptr;
    return Make({width, height, depth, hz, flags});
  }
  void SetDisplay(const Ref<TDisplay>& display) override {
    log.push_back("set " + (display ? Cast<TRecordingDisplay>(display)->name : "null"));
  }
  // A flip that waits for the vertical blank takes the next scripted time.
  void Flip(int sync) override {
    log.push_back("flip " + std::to_string(sync));
    if (sync == 0) return;
    int took = vblank;
    if (!vblanks.empty()) {
      took = vblanks.front();
      vblanks.pop_front();
    }
    clock->Advance(took);
  }

  // Finishing a frame's drawing takes finishing milliseconds.
  void Finish() override {
    log.push_back("finish");
    clock->Advance(finishing);
  }

  Ref<TDisplay> Make(DisplaySettings settings) {
    return New<TRecordingDisplay>(Ref<TRecordingDisplayDriver>(this),
                                  name + "#" + std::to_string(++made), settings);
  }
  int Flips(int sync) const {
    int count = 0;
    for (const auto& entry : log) count += entry == "flip " + std::to_string(sync);
    return count;
  }

  std::string name;
  Ref<TScriptedSystemDriver> clock;
  std::vector<Ref<TGraphicsMode>> modes;
  int modeCalls = 0, made = 0;
  bool failCreate = false;
  bool reportCloses = false;  // on stderr, for a process that exits
  int vblank = 0;
  std::deque<int> vblanks;
  int finishing = 0;
  Log log;
};

Ref<TDisplayDriver> TRecordingDisplay::Driver() { return driver; }
void TRecordingDisplay::Close() {
  driver->log.push_back("close " + name);
  if (driver->reportCloses) std::fprintf(stderr, "close %s\n", name.c_str());
}

std::string Name(const Ref<TDisplay>& display) {
  return display ? Cast<TRecordingDisplay>(display)->name : "null";
}

class DisplayContext : public testing::Test {
 protected:
  void SetUp() override {
    system = New<TRecordingSystemDriver>();
    SetSystemDriver(system);
    driver = NewDriver("gl");
    SelectDisplayDriver(driver, DF_BACKBUFFER);
  }
  void TearDown() override {
    CloseOpenedDisplay();
    DetachPolledInput();
    SelectDisplayDriver(nullptr, 0);
  }
  Ref<TRecordingDisplayDriver> NewDriver(const std::string& name) {
    auto made = New<TRecordingDisplayDriver>(name, system);
    made->modes = {New<TGraphicsMode>(800, 600, 32, 75), New<TGraphicsMode>(800, 600, 16, 60),
                   New<TGraphicsMode>(1024, 768, 32, 60), nullptr};
    return made;
  }
  // Paced flips record only their sleeps; this collects the next count of them.
  std::vector<int> PacedSleeps(int frames) {
    system->sleeps.clear();
    for (int i = 0; i < frames; ++i) FlipDisplay(-1);
    return system->sleeps;
  }

  Ref<TRecordingSystemDriver> system;
  Ref<TRecordingDisplayDriver> driver;
};

TEST(DisplayMode, ReadsAsSizeDepthAndRate) {
  EXPECT_EQ(TGraphicsMode(800, 600, 32, 75).ToString(), String("800,600,32 75Hz"));
  EXPECT_EQ(TGraphicsMode(640, 480, 0, 0).ToString(), String("640,480,0 0Hz"));
}

TEST(DisplaySequence, WrapsFromTheLargestIntToOne) {
  EXPECT_EQ(detail::NextDisplaySequence(0), 1);
  EXPECT_EQ(detail::NextDisplaySequence(41), 42);
  EXPECT_EQ(detail::NextDisplaySequence(INT_MAX), 1);
}

TEST_F(DisplayContext, ModeQueriesReadTheCachedList) {
  EXPECT_EQ(CountDisplayModes(), 4);
  EXPECT_EQ(DisplayModeExists(800, 600, 0, 0), 1);
  EXPECT_EQ(DisplayModeExists(0, 0, 0, 0), 1);
  EXPECT_EQ(DisplayModeExists(0, 768, 32, 60), 1);
  EXPECT_EQ(DisplayModeExists(800, 600, 24, 0), 0);
  EXPECT_EQ(DisplayModeExists(1024, 768, 32, 75), 0);

  int w = -1, h = -1, d = -1, hz = -1;
  GetDisplayMode(1, w, h, d, hz);
  EXPECT_EQ((std::vector{w, h, d, hz}), (std::vector{800, 600, 16, 60}));
  // Outside the list, or a null entry: zeros, never a read past the end.
  for (int index : {-1, 3, 4, INT_MAX}) {
    w = h = d = hz = -1;
    GetDisplayMode(index, w, h, d, hz);
    EXPECT_EQ((std::vector{w, h, d, hz}), (std::vector{0, 0, 0, 0})) << index;
  }

  auto copy = DisplayModes();
  copy.clear();
  EXPECT_EQ(CountDisplayModes(), 4);
  EXPECT_EQ(driver->modeCalls, 1);
}

TEST_F(DisplayContext, SelectingTheSameDriverKeepsTheCacheButForgetsTheDisplay) {
  CountDisplayModes();
  SetCurrentDisplay(CreateDisplay(640, 480, 0, 0, 0));
  ASSERT_EQ(DisplayWidth(), 640);
  driver->log.clear();

  SelectDisplayDriver(driver, DF_BACKBUFFER | DF_DEPTHBUFFER);
  CountDisplayModes();
  EXPECT_EQ(driver->modeCalls, 1);
  EXPECT_EQ(CurrentDisplay(), nullptr);
  EXPECT_EQ(DisplayWidth() | DisplayHeight() | DisplayDepth() | DisplayHz() | DisplayFlags(), 0);
  // Forgotten, not detached or closed.
  EXPECT_EQ(driver->log, Log{});
  // The new default flags apply from now on.
  CreateDisplay(1, 2, 0, 0, DF_ALPHABUFFER);
  AttachDisplay(1234, 0);
  EXPECT_EQ(driver->log, (Log{"create 1x2x0@0 14", "attach 1234 10"}));

  auto other = NewDriver("dx");
  SetCurrentDisplay(CreateDisplay(640, 480, 0, 0, 0));
  driver->log.clear();
  SelectDisplayDriver(other, DF_BACKBUFFER);
  EXPECT_EQ(driver->log, Log{"set null"});
  CountDisplayModes();
  EXPECT_EQ(other->modeCalls, 1);
  SelectDisplayDriver(driver, DF_BACKBUFFER);
  CountDisplayModes();
  EXPECT_EQ(driver->modeCalls, 2);
}

TEST_F(DisplayContext, SetCurrentDisplaySwitchesToTheDisplaysDriver) {
  SetCurrentDisplay(CreateDisplay(800, 600, 32, 75, 0));
  CountDisplayModes();
  auto other = NewDriver("dx");
  const auto display = other->Create(640, 480, 16, 60, DF_STENCILBUFFER);
  driver->log.clear();

  SetCurrentDisplay(display);
  EXPECT_EQ(driver->log, Log{"set null"});
  EXPECT_EQ(other->log.back(), "set dx#1");
  EXPECT_EQ(CurrentDisplayDriver(), other);
  EXPECT_EQ(CurrentDisplay(), display);
  EXPECT_EQ(
      (std::vector{DisplayWidth(), DisplayHeight(), DisplayDepth(), DisplayHz(), DisplayFlags()}),
      (std::vector<int>{640, 480, 16, 60, DF_STENCILBUFFER}));
  CountDisplayModes();
  EXPECT_EQ(other->modeCalls, 1);

  SetCurrentDisplay(nullptr);
  EXPECT_EQ(other->log.back(), "set null");
  EXPECT_EQ(DisplayWidth() | DisplayHeight() | DisplayDepth() | DisplayHz() | DisplayFlags(), 0);
}

TEST_F(DisplayContext, CloseDisplayDetachesTheCurrentAndForgetsTheOpened) {
  const auto kept = CreateDisplay(320, 200, 0, 0, 0);
  SetCurrentDisplay(CreateDisplay(640, 480, 0, 0, 0));
  driver->log.clear();
  CloseDisplay(kept);
  EXPECT_EQ(driver->log, Log{"close gl#1"});
  EXPECT_EQ(DisplayWidth(), 640);

  driver->log.clear();
  CloseDisplay(CurrentDisplay());
  EXPECT_EQ(driver->log, (Log{"set null", "close gl#2"}));
  EXPECT_EQ(CurrentDisplay(), nullptr);
  EXPECT_EQ(DisplayWidth(), 0);

  OpenDisplay(800, 600, 0, 0, 0);
  const int sequence = DisplaySequence();
  driver->log.clear();
  CloseDisplay(OpenedDisplay());
  EXPECT_EQ(driver->log, (Log{"set null", "close gl#3"}));
  EXPECT_EQ(OpenedDisplay(), nullptr);
  // No longer the opened display: nothing is left to close.
  CloseOpenedDisplay();
  EXPECT_EQ(DisplaySequence(), sequence);
  EXPECT_EQ(driver->log.size(), 2u);
}

TEST_F(DisplayContext, OpenDisplayReplacesTheOpenedDisplayAndTakesInput) {
  const int sequence = DisplaySequence();
  OpenDisplay(800, 600, 0, 0, DF_DEPTHBUFFER);
  EXPECT_EQ(driver->log, (Log{"create 800x600x0@0 10", "set gl#1"}));
  EXPECT_EQ(Name(OpenedDisplay()), "gl#1");
  EXPECT_EQ(Name(CurrentDisplay()), "gl#1");
  EXPECT_EQ(DisplayFlags(), DF_BACKBUFFER | DF_DEPTHBUFFER);
  EXPECT_EQ(DisplaySequence(), sequence + 1);
  EXPECT_EQ(system->pointer, (std::vector{400, 300}));
  // Input from any source reaches polled input.
  PostWindowEvent(EVENT_KEYDOWN, New<Object>(), KEY_A, 0, 0, 0, nullptr);
  EXPECT_EQ(IsKeyDown(KEY_A), 1);

  driver->log.clear();
  OpenDisplay(641, 479, 0, 0, 0);
  EXPECT_EQ(driver->log, (Log{"set null", "close gl#1", "create 641x479x0@0 2", "set gl#2"}));
  EXPECT_EQ(DisplaySequence(), sequence + 3);
  EXPECT_EQ(system->pointer, (std::vector{320, 239}));

  driver->log.clear();
  CloseOpenedDisplay();
  EXPECT_EQ(driver->log, (Log{"set null", "close gl#2"}));
  EXPECT_EQ(DisplaySequence(), sequence + 4);
  EXPECT_EQ(CurrentDisplay(), nullptr);
  PostWindowEvent(EVENT_KEYDOWN, nullptr, KEY_ESCAPE, 0, 0, 0, nullptr);
  EXPECT_EQ(IsKeyDown(KEY_ESCAPE), 0);
}

TEST_F(DisplayContext, OpenDisplayThatCannotBeCreatedOnlyClosesTheOldOne) {
  OpenDisplay(800, 600, 0, 60, 0);
  const int sequence = DisplaySequence();
  driver->failCreate = true;
  system->pointer.clear();
  driver->log.clear();

  OpenDisplay(1024, 768, 32, 75, 0);
  EXPECT_EQ(driver->log, (Log{"set null", "close gl#1", "create 1024x768x32@75 2"}));
  EXPECT_EQ(DisplaySequence(), sequence + 1);
  EXPECT_EQ(OpenedDisplay(), nullptr);
  EXPECT_EQ(CurrentDisplay(), nullptr);
  EXPECT_TRUE(system->pointer.empty());
  PostWindowEvent(EVENT_KEYDOWN, nullptr, KEY_A, 0, 0, 0, nullptr);
  EXPECT_EQ(IsKeyDown(KEY_A), 0);
}

TEST_F(DisplayContext, ProcessExitClosesTheOpenedDisplay) {
  // A fresh process, so that its exit actions are its own.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        driver->reportCloses = true;
        OpenDisplay(800, 600, 0, 0, 0);
        OpenDisplay(800, 600, 0, 0, 0);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "close gl#1\nclose gl#2\n");
}

Ref<Object> LogFlipHook(int, const Ref<Object>& data, const Ref<Object>& context) {
  Cast<TRecordingDisplayDriver>(context)->log.push_back("hook");
  return data;
}

TEST_F(DisplayContext, WithoutADriverNothingIsMadeOpenedOrFlipped) {
  SelectDisplayDriver(nullptr, DF_BACKBUFFER);
  EXPECT_EQ(CurrentDisplayDriver(), nullptr);
  EXPECT_EQ(CountDisplayModes(), 0);
  EXPECT_TRUE(DisplayModes().empty());
  EXPECT_EQ(DisplayModeExists(0, 0, 0, 0), 0);
  int w = -1, h = -1, d = -1, hz = -1;
  GetDisplayMode(0, w, h, d, hz);
  EXPECT_EQ((std::vector{w, h, d, hz}), (std::vector{0, 0, 0, 0}));
  EXPECT_EQ(CreateDisplay(800, 600, 0, 0, 0), nullptr);
  EXPECT_EQ(AttachDisplay(1, 0), nullptr);

  const int sequence = DisplaySequence();
  OpenDisplay(800, 600, 32, 75, 0);
  EXPECT_EQ(DisplaySequence(), sequence);
  EXPECT_EQ(OpenedDisplay(), nullptr);
  EXPECT_EQ(CurrentDisplay(), nullptr);
  EXPECT_EQ(DisplayWidth() | DisplayHeight() | DisplayDepth() | DisplayHz() | DisplayFlags(), 0);
  EXPECT_TRUE(system->pointer.empty()) << "the pointer stays where it was";
  PostWindowEvent(EVENT_KEYDOWN, nullptr, KEY_A, 0, 0, 0, nullptr);
  EXPECT_EQ(IsKeyDown(KEY_A), 0) << "polled input is not attached";

  // The hooks still run; the driver deselected above is never asked to flip,
  // and nothing waits for a refresh.
  InsertHook(FlipHookId(), LogFlipHook, driver, 0);
  FlipDisplay(-1);
  FlipDisplay(1);
  RemoveHook(FlipHookId(), LogFlipHook);
  EXPECT_EQ(driver->log, (Log{"hook", "hook"}));
  EXPECT_TRUE(system->sleeps.empty());
  EXPECT_EQ(system->millis, 0);
}

TEST_F(DisplayContext, FlipRunsTheHooksThenFlipsWithTheSyncGiven) {
  // Paced, but not the display that is current.
  OpenDisplay(800, 600, 0, 75, 0);
  SetCurrentDisplay(CreateDisplay(320, 200, 0, 0, 0));
  InsertHook(FlipHookId(), LogFlipHook, driver, 0);
  driver->log.clear();
  FlipDisplay(0);
  FlipDisplay(1);
  FlipDisplay(-1);
  RemoveHook(FlipHookId(), LogFlipHook);
  EXPECT_EQ(driver->log, (Log{"hook", "flip 0", "hook", "flip 1", "hook", "flip 1"}));
  EXPECT_TRUE(system->sleeps.empty());
}

TEST_F(DisplayContext, WithoutARateFlipsWaitForTheVerticalBlank) {
  driver->vblank = 13;
  OpenDisplay(800, 600, 32, 0, 0);
  EXPECT_EQ(driver->Flips(1), 0);  // no calibration
  driver->log.clear();
  EXPECT_TRUE(PacedSleeps(3).empty());
  EXPECT_EQ(driver->log, (Log{"flip 1", "flip 1", "flip 1"}));
}

TEST_F(DisplayContext, FullScreenUsesHardwareSyncWhenFlipsLastOneRefresh) {
  driver->vblank = 13;
  OpenDisplay(800, 600, 32, 75, 0);
  EXPECT_EQ(driver->Flips(1), 3);
  driver->log.clear();
  EXPECT_TRUE(PacedSleeps(2).empty());
  EXPECT_EQ(driver->log, (Log{"flip 1", "flip 1"}));

  // Within a millisecond counts; anything else starts the count again.
  driver->vblanks = {12, 14, 11, 13, 15, 13, 14};
  driver->vblank = 12;
  driver->log.clear();
  OpenDisplay(800, 600, 32, 75, 0);
  EXPECT_EQ(driver->Flips(1), 8);
  EXPECT_EQ(driver->Flips(0), 0);
  driver->log.clear();
  FlipDisplay(-1);
  EXPECT_EQ(driver->log, Log{"flip 1"});
}

TEST_F(DisplayContext, FullScreenPacesBySleepingWhenFlipsDoNotWait) {
  // Flips that do not wait settle the calibration after three of them.
  driver->vblank = 1;
  OpenDisplay(800, 600, 32, 75, 0);
  EXPECT_EQ(driver->Flips(1), 6) << "after three that may fill a queue of frames";
  driver->log.clear();

  // Frame n is due n * 1000 / 75 ms after opening.
  EXPECT_EQ(PacedSleeps(6), (std::vector{13, 13, 14, 13, 13, 14}));
  EXPECT_EQ(driver->Flips(0), 6);
  EXPECT_EQ(driver->Flips(1), 0);

  // A late frame flips at once and the schedule restarts from it.
  system->millis += 50;
  EXPECT_TRUE(PacedSleeps(1).empty());
  EXPECT_EQ(PacedSleeps(3), (std::vector{13, 13, 14}));

  // A clock that steps back would ask for a wait of seconds: restart instead.
  system->millis += 5000;
  EXPECT_TRUE(PacedSleeps(1).empty());
  system->millis -= 3000;
  EXPECT_TRUE(PacedSleeps(1).empty());
  EXPECT_EQ(PacedSleeps(2), (std::vector{13, 13}));
}

TEST_F(DisplayContext, PacedFlipsFinishTheDrawingBeforeTheyWait) {
  driver->vblank = 1;
  OpenDisplay(800, 600, 32, 75, 0);
  driver->log.clear();
  driver->finishing = 5;
  EXPECT_EQ(PacedSleeps(3), (std::vector{8, 8, 9})) << "the drawing's time is part of the wait";
  EXPECT_EQ(driver->log, (Log{"finish", "flip 0", "finish", "flip 0", "finish", "flip 0"}));
  driver->log.clear();
  FlipDisplay(1);
  EXPECT_EQ(driver->log, (Log{"flip 1"})) << "only paced flips finish first";
}

TEST_F(DisplayContext, CalibrationSeesThroughOneQuickFlipAmongRealOnes) {
  // One quick flip (a frame already due) among ones that wait a period.
  driver->vblanks = {1, 13, 1, 1, 13, 13, 13};
  OpenDisplay(800, 600, 32, 75, 0);
  EXPECT_EQ(driver->Flips(1), 7);
  driver->log.clear();
  FlipDisplay(-1);
  EXPECT_EQ(driver->Flips(1), 1) << "hardware sync";
  // A new display's first flips are quick while its queue of frames fills.
  driver->vblanks = {1, 1, 1, 13, 13, 13};
  OpenDisplay(800, 600, 32, 75, 0);
  driver->log.clear();
  FlipDisplay(-1);
  EXPECT_EQ(driver->Flips(1), 1) << "hardware sync";
}

TEST_F(DisplayContext, CalibrationGivesUpOnFlipsThatNeitherWaitNorReturnAtOnce) {
  // Flips of 8 ms at 75 Hz: not a period, not quick; a dozen, not a second.
  driver->vblank = 8;
  OpenDisplay(800, 600, 32, 75, 0);
  EXPECT_EQ(driver->Flips(1), 12);
  driver->log.clear();
  EXPECT_EQ(PacedSleeps(1).size(), 1u) << "paced by the clock";
}

TEST_F(DisplayContext, DesktopWindowWithARatePacesWithoutCalibrating) {
  driver->vblank = 16;
  OpenDisplay(640, 480, 0, 60, 0);
  EXPECT_EQ(driver->Flips(1), 0);
  EXPECT_EQ(PacedSleeps(3), (std::vector{16, 17, 17}));

  // Reopening starts a fresh schedule: nothing carried over from the last one.
  OpenDisplay(640, 480, 0, 75, 0);
  EXPECT_EQ(PacedSleeps(3), (std::vector{13, 13, 14}));
}

TEST_F(DisplayContext, CalibrationAndPacingKeepThePeriodAcrossTheClockWrap) {
  // Just before the clock goes round as an int, and as an unsigned count.
  for (const int start : {INT_MAX - 20, -20}) {
    system->millis = start;
    driver->vblank = 13;
    driver->log.clear();
    OpenDisplay(800, 600, 32, 75, 0);
    EXPECT_EQ(driver->Flips(1), 3) << start;
    driver->log.clear();
    FlipDisplay(-1);
    EXPECT_EQ(driver->log, Log{"flip 1"}) << "hardware sync, " << start;

    system->millis = start;
    driver->vblank = 1;
    OpenDisplay(800, 600, 32, 75, 0);
    // Two seconds of frames: 75 a second, each sleeping 13 or 14 ms.
    const std::vector<int> sleeps = PacedSleeps(150);
    ASSERT_EQ(sleeps.size(), 150u) << start;
    int total = 0;
    for (const int sleep : sleeps) {
      EXPECT_TRUE(sleep == 13 || sleep == 14) << sleep << ", " << start;
      total += sleep;
    }
    EXPECT_EQ(total, 2000) << start;
  }
}

TEST_F(DisplayContext, PacingStaysExactAfterHoursOfFrames) {
  OpenDisplay(640, 480, 0, 75, 0);
  // Nine hours at 75 Hz is past 2^31 millisecond-hertz.
  system->millis += 9 * 3600 * 1000;
  EXPECT_TRUE(PacedSleeps(1).empty());
  EXPECT_EQ(PacedSleeps(3), (std::vector{13, 13, 14}));
}

}  // namespace
