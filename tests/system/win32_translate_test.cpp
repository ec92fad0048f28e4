// The translation of Win32 key messages, fed messages made up as Windows
// sends them, with the keyboard state that GetKeyState reads set to match:
// no window and no typing, so it runs wherever the program runs.

#include "system/win32/win32_translate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/event.h"
#include "system/hook.h"
#include "system/modifier_keys.h"
#include "system/system_driver.h"
#include "tests/system/event_record.h"

namespace {

using namespace eventrecord;
using Events = std::vector<std::string>;

enum : int { SCAN_A = 0x1E, SCAN_LSHIFT = 0x2A, SCAN_RSHIFT = 0x36, SCAN_CONTROL = 0x1D };
enum : int { SCAN_ALT = 0x38 };
constexpr LPARAM EXTENDED = 1 << 24;
constexpr LPARAM REPEAT = 1 << 30;

// A key message's lParam: one press, the scan code, and flags.
LPARAM Key(int scan, LPARAM flags = 0) { return 1 | (LPARAM(scan) << 16) | flags; }

struct Step {
  const char* what;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::vector<int> held;  // virtual keys down once Windows has sent the message
  Events events;
};

void SetHeld(const std::vector<int>& keys) {
  BYTE state[256] = {};
  for (int key : keys) state[key] = 0x80;
  SetKeyboardState(state);
}

TEST(Win32Translate, KeyMessagesBecomeKeyEventsWithTheirSides) {
  StartSystem();
  SetCurrentModifiers(0);
  windowSource = nullptr;
  BYTE before[256] = {};
  GetKeyboardState(before);
  InsertHook(EventHookId(), Record, nullptr, 0);
  const std::vector<int> leftShift = {VK_SHIFT, VK_LSHIFT};
  const std::vector<int> bothShifts = {VK_SHIFT, VK_LSHIFT, VK_RSHIFT};
  const Step steps[] = {
      {"A", WM_KEYDOWN, 'A', Key(SCAN_A), {'A'}, {"KeyDown 65"}},
      {"A repeated", WM_KEYDOWN, 'A', Key(SCAN_A, REPEAT), {'A'}, {}},
      {"A up", WM_KEYUP, 'A', Key(SCAN_A, REPEAT), {}, {"KeyUp 65"}},
      {"no key", WM_KEYDOWN, 0, Key(0), {}, {}},
      {"past 255", WM_KEYUP, 256, Key(0), {}, {}},
      {"left Shift", WM_KEYDOWN, VK_SHIFT, Key(SCAN_LSHIFT), leftShift, {"KeyDown 160"}},
      {"left Shift repeated", WM_KEYDOWN, VK_SHIFT, Key(SCAN_LSHIFT, REPEAT), leftShift, {}},
      // Windows marks it as a repeat: its Shift was down already.
      {"right Shift too",
       WM_KEYDOWN,
       VK_SHIFT,
       Key(SCAN_RSHIFT, REPEAT),
       bothShifts,
       {"KeyDown 161"}},
      {"right Shift repeated", WM_KEYDOWN, VK_SHIFT, Key(SCAN_RSHIFT, REPEAT), bothShifts, {}},
      // The left one let go sent nothing; the right one's key-up brings both.
      {"right Shift up",
       WM_KEYUP,
       VK_SHIFT,
       Key(SCAN_RSHIFT, REPEAT),
       {},
       {"KeyUp 160", "KeyUp 161"}},
      {"right Shift, extended",
       WM_KEYDOWN,
       VK_SHIFT,
       Key(SCAN_RSHIFT, EXTENDED),
       {VK_SHIFT, VK_RSHIFT},
       {"KeyDown 161"}},
      // Let go while the window was not told (it had lost the focus, say).
      {"a key after", WM_KEYDOWN, 'A', Key(SCAN_A), {'A'}, {"KeyUp 161", "KeyDown 65"}},
      {"A up again", WM_KEYUP, 'A', Key(SCAN_A, REPEAT), {}, {"KeyUp 65"}},
      {"left Control",
       WM_KEYDOWN,
       VK_CONTROL,
       Key(SCAN_CONTROL),
       {VK_CONTROL, VK_LCONTROL},
       {"KeyDown 162"}},
      {"right Control too",
       WM_KEYDOWN,
       VK_CONTROL,
       Key(SCAN_CONTROL, EXTENDED | REPEAT),
       {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
       {"KeyDown 163"}},
      {"left Control up",
       WM_KEYUP,
       VK_CONTROL,
       Key(SCAN_CONTROL, REPEAT),
       {VK_CONTROL, VK_RCONTROL},
       {"KeyUp 162"}},
      {"right Control up",
       WM_KEYUP,
       VK_CONTROL,
       Key(SCAN_CONTROL, EXTENDED | REPEAT),
       {},
       {"KeyUp 163"}},
      {"left Alt", WM_SYSKEYDOWN, VK_MENU, Key(SCAN_ALT), {VK_MENU, VK_LMENU}, {"KeyDown 164"}},
      {"left Alt up", WM_SYSKEYUP, VK_MENU, Key(SCAN_ALT, REPEAT), {}, {"KeyUp 164"}},
      {"right Alt",
       WM_SYSKEYDOWN,
       VK_MENU,
       Key(SCAN_ALT, EXTENDED),
       {VK_MENU, VK_RMENU},
       {"KeyDown 165"}},
      {"right Alt up", WM_SYSKEYUP, VK_MENU, Key(SCAN_ALT, EXTENDED | REPEAT), {}, {"KeyUp 165"}},
  };
  for (const Step& step : steps) {
    seen.clear();
    SetHeld(step.held);
    TranslateWindowMessage(nullptr, step.message, step.wParam, step.lParam, nullptr);
    EXPECT_EQ(seen, step.events) << step.what;
  }
  RemoveHook(EventHookId(), Record);
  SetKeyboardState(before);
  seen.clear();
}

}  // namespace
