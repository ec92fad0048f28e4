#include "graphics/display/graphics.h"

#include <climits>
#include <cstdint>

#include "runtime/program.h"
#include "system/hook.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace detail {

// Wraps from the largest int to 1, so a sequence of 0 never matches.
int NextDisplaySequence(int sequence) { return sequence == INT_MAX ? 1 : sequence + 1; }

}  // namespace detail

namespace {

struct GraphicsContext {
  Ref<TDisplayDriver> driver;
  int defaultFlags = 0;
  std::vector<Ref<TGraphicsMode>> modes;
  Ref<TDisplay> display;
  DisplaySettings settings;
  Ref<TDisplay> opened;
  bool softSync = false;
  int syncHz = 0;
  // Frame n of the schedule is due n * 1000 / syncHz ms after syncStart. The
  // start moves on a second at a time, so the numbers stay small however
  // long the display stays open.
  int syncStart = 0;
  int syncFrames = 0;
  int sequence = 0;
  int flipHookId = -1;
  bool exitActionAdded = false;
  void (*displayChanged)(const Ref<TDisplay>&) = nullptr;
};

GraphicsContext context;

// Stops rendering to the current display, if any, on the driver that owns it.
void ReleaseCurrentDisplay() {
  if (context.driver && context.display) context.driver->SetDisplay(nullptr);
  context.display = nullptr;
  context.settings = {};
  if (context.displayChanged) context.displayChanged(nullptr);
}

void MakeDriverCurrent(const Ref<TDisplayDriver>& driver) {
  if (driver == context.driver) return;
  ReleaseCurrentDisplay();
  context.modes.clear();
  context.driver = driver;
}

const std::vector<Ref<TGraphicsMode>>& Modes() {
  if (context.modes.empty() && context.driver) context.modes = context.driver->GraphicsModes();
  return context.modes;
}

void AdvanceSequence() { context.sequence = detail::NextDisplaySequence(context.sequence); }

// Hardware sync is trusted only after three flips in a row last one refresh
// period, give or take a millisecond; a driver that ignores the vertical
// blank keeps the clock pacing. Three flips in a row that take under half a
// period settle it at once, so a display without sync opens quickly; but the
// first flips of a new display may return at once while its queue of
// frames fills, so they are no proof. Flips that do neither (a driver that
// waits, but not for this rate) are given up on after a dozen, not a second.
bool FlipsFollowRefresh(int hz) {
  constexpr int MOST_FLIPS = 12;
  constexpr int FILLING_FLIPS = 3;
  const int period = 1000 / hz;
  const int start = ClockMillis();
  int matches = 0, quick = 0;
  for (int flips = 0; flips < MOST_FLIPS && MillisSince(start, ClockMillis()) < 1000; ++flips) {
    const int before = ClockMillis();
    context.driver->Flip(1);
    const int took = MillisSince(before, ClockMillis());
    quick = took < period / 2 && flips >= FILLING_FLIPS ? quick + 1 : 0;
    if (quick == 3) return false;
    if (took - period >= -1 && took - period <= 1) {
      if (++matches == 3) return true;
    } else {
      matches = 0;
    }
  }
  return false;
}

void StartSchedule(int now) {
  context.syncStart = now;
  context.syncFrames = 0;
}

void PacedFlip() {
  // The frame is drawn before the wait, so that only presenting it is left
  // for the due time, however long drawing took.
  context.driver->Finish();
  const int now = ClockMillis();
  const int64_t due = int64_t{++context.syncFrames} * 1000 / context.syncHz;
  const int64_t wait = due - MillisSince(context.syncStart, now);
  if (wait > 0 && wait < 1000) {
    SleepMillis(static_cast<int>(wait));
  } else {
    // Late, or a wait too long to be a frame: start the schedule again from now.
    StartSchedule(now);
  }
  if (context.syncFrames == context.syncHz) {
    StartSchedule(AddMillis(context.syncStart, 1000));
  }
  context.driver->Flip(0);
}

}  // namespace

void StartGraphics() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartHooks();
  StartPolledInput();
  context.flipHookId = NewHookId();
}

void SelectDisplayDriver(const Ref<TDisplayDriver>& driver, int defaultFlags) {
  StartGraphics();
  MakeDriverCurrent(driver);
  context.defaultFlags = defaultFlags;
  // Forgotten, not closed: whoever made the display still owns it.
  context.display = nullptr;
  context.settings = {};
}

Ref<TDisplayDriver> CurrentDisplayDriver() { return context.driver; }

std::vector<Ref<TGraphicsMode>> DisplayModes() { return Modes(); }

int CountDisplayModes() { return static_cast<int>(Modes().size()); }

void GetDisplayMode(int index, int& width, int& height, int& depth, int& hz) {
  width = height = depth = hz = 0;
  const auto& modes = Modes();
  if (index < 0 || index >= static_cast<int>(modes.size())) return;
  const auto& mode = modes[static_cast<size_t>(index)];
  if (!mode) return;
  width = mode->width;
  height = mode->height;
  depth = mode->depth;
  hz = mode->hz;
}

int DisplayModeExists(int width, int height, int depth, int hz) {
  const auto matches = [](int wanted, int value) { return wanted == 0 || wanted == value; };
  for (const auto& mode : Modes()) {
    if (mode && matches(width, mode->width) && matches(height, mode->height) &&
        matches(depth, mode->depth) && matches(hz, mode->hz)) {
      return 1;
    }
  }
  return 0;
}

Ref<TDisplay> CreateDisplay(int width, int height, int depth, int hz, int flags) {
  if (!context.driver) return nullptr;
  return context.driver->Create(width, height, depth, hz, flags | context.defaultFlags);
}

Ref<TDisplay> AttachDisplay(intptr_t window, int flags) {
  if (!context.driver) return nullptr;
  return context.driver->Attach(window, flags | context.defaultFlags);
}

void CloseDisplay(const Ref<TDisplay>& display) {
  if (!display) return;
  // Held here so that forgetting it below cannot release it before Close.
  const Ref<TDisplay> closing = display;
  if (closing == context.opened) context.opened = nullptr;
  if (closing == context.display) SetCurrentDisplay(nullptr);
  closing->Close();
}

void SetCurrentDisplay(const Ref<TDisplay>& display) {
  if (!display) {
    ReleaseCurrentDisplay();
    return;
  }
  const Ref<TDisplay> selected = display;
  const Ref<TDisplayDriver> driver = selected->Driver();
  if (!driver) ThrowNullObjectError();
  MakeDriverCurrent(driver);
  context.settings = selected->GetSettings();
  driver->SetDisplay(selected);
  context.display = selected;
  if (context.displayChanged) context.displayChanged(selected);
}

void SetDisplayChangeAction(void (*action)(const Ref<TDisplay>& display)) {
  context.displayChanged = action;
}

Ref<TDisplay> CurrentDisplay() { return context.display; }

int DisplayWidth() { return context.settings.width; }
int DisplayHeight() { return context.settings.height; }
int DisplayDepth() { return context.settings.depth; }
int DisplayHz() { return context.settings.hz; }
int DisplayFlags() { return context.settings.flags; }

void OpenDisplay(int width, int height, int depth, int hz, int flags) {
  StartGraphics();
  CloseOpenedDisplay();
  const Ref<TDisplay> display =
      CreateDisplay(width, height, depth, hz, flags | context.defaultFlags);
  if (!display) return;
  AdvanceSequence();
  SetCurrentDisplay(display);

  // Full screen can wait for the vertical blank if the hardware really does;
  // a desktop window always paces by the clock.
  context.softSync = hz != 0;
  if (hz != 0 && depth != 0 && FlipsFollowRefresh(hz)) context.softSync = false;

  context.syncHz = hz;
  // A schedule left from an earlier display would stall the first frames.
  StartSchedule(ClockMillis());
  context.opened = display;

  AttachPolledInput(nullptr);
  SetMousePosition(width / 2, height / 2);
  KeepScreenAwake(true);
  if (!context.exitActionAdded) {
    context.exitActionAdded = true;
    AddExitAction(CloseOpenedDisplay);
    // A full-screen display would hide the error's message, or keep the
    // screen in its mode under it.
    AddErrorAction(CloseOpenedDisplay);
  }
}

void CloseOpenedDisplay() {
  if (!context.opened) return;
  AdvanceSequence();
  DetachPolledInput();
  KeepScreenAwake(false);
  CloseDisplay(context.opened);
}

Ref<TDisplay> OpenedDisplay() { return context.opened; }

void FlipDisplay(int sync) {
  CallHooks(FlipHookId(), nullptr);
  if (!context.driver) return;
  if (sync != -1) {
    context.driver->Flip(sync);
    return;
  }
  const bool paced = context.softSync && context.syncHz != 0 && context.opened &&
                     context.display == context.opened;
  if (!paced) {
    context.driver->Flip(1);
    return;
  }
  PacedFlip();
}

int IsDisplayHidden() { return context.display && context.display->IsHidden() ? 1 : 0; }

int DisplaySequence() { return context.sequence; }

int FlipHookId() {
  StartGraphics();
  return context.flipHookId;
}
