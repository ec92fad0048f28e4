// The Win32 system driver under Wine on an X server: keys and pointer
// actions go in through XTEST, through Wine's window messages, the pump and
// the translation, and are read back as the events that reach the event
// hook.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "runtime/program.h"
#include "system/event.h"
#include "system/hook.h"
#include "system/system_driver.h"
#include "system/win32/win32_translate.h"
#include "tests/system/event_record.h"
#include "tests/system/win32_test_input.h"

namespace {

using namespace eventrecord;
Ref<Object> source = New<Object>();

bool PumpUntilSeen(const std::string& name, size_t count = 1) {
  return PumpUntil([&] { return DataOf(name).size() >= count; });
}

// A window like a display's: every message is translated first; the close
// request and the system keys other than Alt+F4 go no further.
LRESULT CALLBACK TestWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TranslateWindowMessage(window, message, wParam, lParam, source);
  if (message == WM_CLOSE) return 0;
  if (message == WM_SYSKEYDOWN && wParam != VK_F4) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenWindow(int x, int y, int width, int height) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "ZorpTestWindow";
    registered = RegisterClassA(&windowClass) != 0;
  }
  return CreateWindowExA(0, "ZorpTestWindow", "test", WS_POPUP | WS_VISIBLE, x, y, width, height,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

using Events = std::vector<std::string>;

// Key messages made up as Windows sends them, with the keyboard state that
// GetKeyState reads set to match: no window or typing needed.
TEST(Win32Translate, KeyMessagesGiveTheirSidesAndDropAutoRepeat) {
  StartSystem();
  InsertHook(EventHookId(), Record, nullptr, 0);
  constexpr LPARAM EXT = 1 << 24, REP = 1 << 30;
  auto key = [](int scan, LPARAM flags = 0) { return 1 | (LPARAM(scan) << 16) | flags; };
  enum : unsigned { LS = 1, RS = 2, LC = 4, RC = 8 };  // from VK_LSHIFT on
  const struct {
    UINT message;
    WPARAM vk;
    LPARAM lParam;
    unsigned held;  // the sides down once Windows has sent it
    Events events;
  } steps[] = {
      {WM_KEYDOWN, 'A', key(0x1E), 0, {"KeyDown 65"}},
      {WM_KEYDOWN, 'A', key(0x1E, REP), 0, {}},
      {WM_KEYDOWN, VK_SHIFT, key(0x2A), LS, {"KeyDown 160"}},
      // Marked as a repeat, since a Shift was down already.
      {WM_KEYDOWN, VK_SHIFT, key(0x36, REP), LS | RS, {"KeyDown 161"}},
      {WM_KEYDOWN, VK_SHIFT, key(0x36, REP), LS | RS, {}},
      // Windows sent nothing as the left one was let go.
      {WM_KEYUP, VK_SHIFT, key(0x36, REP), 0, {"KeyUp 160", "KeyUp 161"}},
      {WM_KEYDOWN, VK_SHIFT, key(0x36, EXT), RS, {"KeyDown 161"}},
      // The Shift let go while the window was not told.
      {WM_KEYDOWN, VK_CONTROL, key(0x1D), LC, {"KeyUp 161", "KeyDown 162"}},
      {WM_KEYDOWN, VK_CONTROL, key(0x1D, EXT | REP), LC | RC, {"KeyDown 163"}},
      {WM_KEYUP, VK_CONTROL, key(0x1D, REP), RC, {"KeyUp 162"}},
      {WM_KEYUP, VK_CONTROL, key(0x1D, EXT | REP), 0, {"KeyUp 163"}},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    BYTE state[256] = {};
    for (int side = 0; side < 6; ++side)
      state[VK_LSHIFT + side] = steps[i].held >> side & 1 ? 0x80 : 0;
    SetKeyboardState(state);
    seen.clear();
    TranslateWindowMessage(nullptr, steps[i].message, steps[i].vk, steps[i].lParam, nullptr);
    EXPECT_EQ(seen, steps[i].events) << "step " << i;
  }
  RemoveHook(EventHookId(), Record);
}

class Win32DriverTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasInteractiveDesktop()) GTEST_SKIP() << "No desktop to type to";
    StartSystem();
    ASSERT_TRUE(TypeInput("mousemove 799 599"));
    window = OpenWindow(100, 50, 400, 300);
    ASSERT_TRUE(window);
    ASSERT_TRUE(FocusWindow(window));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == window; }));
    windowSource = source.Get();
    InsertHook(EventHookId(), Record, nullptr, 0);
    PumpEvents();
    seen.clear();  // the set-up's own events
  }

  void TearDown() override {
    RemoveHook(EventHookId(), Record);
    if (window) DestroyWindow(window);
    PumpEvents();
    seen.clear();
  }

  static std::string Keys(const std::vector<int>& keycodes) {
    std::string keys = "key";
    for (int keycode : keycodes) keys += " " + std::to_string(keycode);
    return keys;
  }

  HWND window = nullptr;
};

TEST_F(Win32DriverTest, KeysGiveVirtualKeyCodesCharactersAndSides) {
  ASSERT_TRUE(TypeInput(Keys({XKEY_A, XKEY_Z, XKEY_1, XKEY_LEFT, XKEY_UP, XKEY_RIGHT, XKEY_DOWN,
                              XKEY_RETURN, XKEY_BACKSPACE, XKEY_TAB, XKEY_LSHIFT, XKEY_RSHIFT,
                              XKEY_LCONTROL, XKEY_RCONTROL, XKEY_LALT, XKEY_RALT})));
  const std::vector<int> codes = {65, 90, 49,  37,  38,  39,  40,  13,
                                  8,  9,  160, 161, 162, 163, 164, 165};
  ASSERT_TRUE(PumpUntilSeen("KeyUp", codes.size())) << testing::PrintToString(seen);
  EXPECT_EQ(DataOf("KeyDown"), codes);
  EXPECT_EQ(DataOf("KeyUp"), codes);
  EXPECT_EQ(Typed(), "az1\r\b\t");
}

TEST_F(Win32DriverTest, ModifiersHeldAreInEveryEventIncludingTheirOwn) {
  ASSERT_TRUE(TypeInput("keydown 50 key 10 keydown 105 keydown 62 keyup 50 keyup 62 keyup 105"));
  ASSERT_TRUE(PumpUntilSeen("KeyUp", 4)) << testing::PrintToString(seen);
  EXPECT_EQ(seen, (Events{"KeyDown 160 m1", "KeyDown 49 m1", "KeyChar 33 m1", "KeyUp 49 m1",
                          "KeyDown 163 m3", "KeyDown 161 m3", "KeyUp 160 m3", "KeyUp 161 m2",
                          "KeyUp 163"}));
}

TEST_F(Win32DriverTest, AHeldKeyIsPressedOnceAndTypesRepeatedly) {
  // Pressed again while down, as the keyboard's auto-repeat does.
  ASSERT_TRUE(TypeInput("keydown 38 keydown 38 keydown 38"));
  const bool repeated = PumpUntil([] { return Typed().size() >= 3; });
  ASSERT_TRUE(TypeInput("keyup 38"));
  ASSERT_TRUE(repeated) << testing::PrintToString(seen);
  ASSERT_TRUE(PumpUntilSeen("KeyUp"));
  EXPECT_EQ(DataOf("KeyDown"), std::vector<int>{65});
  EXPECT_EQ(DataOf("KeyUp"), std::vector<int>{65});
  EXPECT_EQ(Typed(), std::string(Typed().size(), 'a'));
}

TEST_F(Win32DriverTest, ButtonsWheelAndThePointerEnteringAndLeaving) {
  ASSERT_TRUE(TypeInput("mousemove 130 90 click 1 click 3 click 2 click 4 click 5"));
  ASSERT_TRUE(PumpUntil([] { return DataOf("MouseWheel").size() == 2; }))
      << testing::PrintToString(seen);
  EXPECT_EQ(seen,
            (Events{"MouseEnter 0 @30,40", "MouseMove 0 @30,40", "MouseDown 1 @30,40",
                    "MouseUp 1 @30,40", "MouseDown 2 @30,40", "MouseUp 2 @30,40",
                    "MouseDown 3 @30,40", "MouseUp 3 @30,40", "MouseWheel 1", "MouseWheel -1"}));

  // Held down, the button keeps the pointer's motion for the window, outside
  // it too; the pointer leaves and enters on the way.
  seen.clear();
  ASSERT_TRUE(TypeInput("mousedown 1 mousemove 600 90"));
  ASSERT_TRUE(PumpUntilSeen("MouseMove")) << testing::PrintToString(seen);
  ASSERT_TRUE(TypeInput("mousemove 140 100 mouseup 1"));
  ASSERT_TRUE(PumpUntilSeen("MouseUp")) << testing::PrintToString(seen);
  EXPECT_EQ(seen, (Events{"MouseDown 1 @30,40", "MouseLeave 0 @500,40", "MouseMove 0 @500,40",
                          "MouseEnter 0 @40,50", "MouseMove 0 @40,50", "MouseUp 1 @40,50"}));

  // Without a button it leaves for good, told by Windows' own tracking.
  seen.clear();
  ASSERT_TRUE(TypeInput("mousemove 700 500"));
  ASSERT_TRUE(PumpUntilSeen("MouseLeave")) << testing::PrintToString(seen);
  EXPECT_EQ(seen, Events{"MouseLeave 0 @600,450"});

  // A high-resolution wheel's half notch is no notch.
  seen.clear();
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0);
  EXPECT_EQ(seen, (Events{"MouseWheel 0", "MouseWheel -2"}));
}

TEST_F(Win32DriverTest, FocusGoingElsewhereSuspendsAndComingBackResumes) {
  // Another thread's window: activation moves between threads as between
  // programs. The X server moves the focus to it, as a window manager would.
  HWND other = nullptr;
  DWORD otherThread = 0;
  std::thread owner([&] {
    other = CreateWindowExA(0, "ZorpTestWindow", "other", WS_POPUP, 600, 400, 100, 100, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(other, SW_SHOWNOACTIVATE);
    otherThread = GetCurrentThreadId();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    DestroyWindow(other);
  });
  ASSERT_TRUE(WaitUntil([&] { return otherThread != 0; }));
  ASSERT_TRUE(FocusWindow(other));
  ASSERT_TRUE(PumpUntilSeen("AppSuspend")) << testing::PrintToString(seen);
  // Back by the program's own hand: without a window manager Wine takes no
  // activation from the X focus.
  SetForegroundWindow(window);
  ASSERT_TRUE(PumpUntilSeen("AppResume")) << testing::PrintToString(seen);
  PostThreadMessageA(otherThread, WM_QUIT, 0, 0);
  owner.join();
  EXPECT_EQ(seen, (Events{"AppSuspend 0", "AppResume 0"}));
}

TEST_F(Win32DriverTest, AltF4AsksToTerminate) {
  ASSERT_TRUE(TypeInput("keydown 64 key 70 keyup 64"));
  ASSERT_TRUE(PumpUntilSeen("AppTerminate")) << testing::PrintToString(seen);
  EXPECT_EQ(seen, (Events{"KeyDown 164 m4", "KeyDown 115 m4", "AppTerminate 0 m4", "KeyUp 115 m4",
                          "KeyUp 164"}));
  EXPECT_TRUE(IsWindow(window)) << "the window itself decides to close";
}

TEST_F(Win32DriverTest, AnEndingSessionRunsTheExitActionsAndEndsTheProgram) {
  // A session that goes on after all changes nothing.
  SendMessageA(window, WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EXIT(
      {
        AddExitAction([] { std::fputs("saved", stderr); });
        SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        std::fputs(" and went on", stderr);
        std::exit(1);
      },
      testing::ExitedWithCode(0), "^saved$");
}

TEST_F(Win32DriverTest, TheScreenIsKeptAwakeWhileAsked) {
  // SetThreadExecutionState answers the state it replaces.
  auto stateNow = [] { return SetThreadExecutionState(ES_CONTINUOUS); };
  SystemDriver()->KeepScreenAwake(true);
  EXPECT_EQ(stateNow(), ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
  SystemDriver()->KeepScreenAwake(true);
  SystemDriver()->KeepScreenAwake(false);
  EXPECT_EQ(stateNow(), ES_CONTINUOUS);
}

TEST_F(Win32DriverTest, ThePointerIsShownOrHiddenNotCounted) {
  // ShowCursor answers the display counter it leaves: 0 shown, -1 hidden.
  auto counter = [] {
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
  };
  HidePointer();
  HidePointer();
  EXPECT_EQ(counter(), -1);
  ShowPointer();
  EXPECT_EQ(counter(), 0);
  ShowPointer();
  EXPECT_EQ(counter(), 0);
}

TEST_F(Win32DriverTest, SetMousePositionIsRelativeToTheActiveWindow) {
  SetMousePosition(10, 20);
  POINT at{};
  GetCursorPos(&at);
  EXPECT_EQ(at.x, 110);
  EXPECT_EQ(at.y, 70);
}

TEST_F(Win32DriverTest, WaitEventsWakesForInputAlreadySeen) {
  // A message a peek has seen but left queued is no longer new; the wait
  // must not sleep on it.
  PostMessageA(window, WM_KEYDOWN, 'B', 0x00300001);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  std::thread rescue([&] {
    Sleep(20000);
    PostMessageA(window, WM_NULL, 0, 0);
  });
  const DWORD start = GetTickCount();
  WaitEvents();
  const DWORD waited = GetTickCount() - start;
  rescue.detach();
  EXPECT_LT(waited, 10000u);
  EXPECT_EQ(DataOf("KeyDown"), std::vector<int>{66});
}

TEST(Win32Clock, FollowsSleepsAndANegativeSleepReturns) {
  StartSystem();
  const int start = ClockMillis();
  SleepMillis(30);
  EXPECT_GE(MillisSince(start, ClockMillis()), 30);
  SleepMillis(-1);  // at once, rather than forever
  SleepMillis(0);
}

}  // namespace
