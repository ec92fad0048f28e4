// The X11 system driver against a real X server: input is injected with
// XTEST, goes through the server, the pump and the translation, and is read
// back as the events that reach the event hook.

#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros (None, Bool) would replace.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/program.h"
#include "system/event.h"
#include "system/hook.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "system/x11/x11_translate.h"
#include "tests/system/event_record.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

using namespace eventrecord;

Ref<Object> PumpFromHook(int, const Ref<Object>& data, const Ref<Object>&) {
  if (Cast<TEvent>(data)->id != EVENT_KEYDOWN) return data;
  PumpEvents();
  WaitEvents();
  seen.push_back("nested pump returned");
  return data;
}

void Translate(const XEvent& event, void* source) {
  TranslateWindowMessage(event, *static_cast<Ref<Object>*>(source));
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMillis = 2000) {
  const auto deadline = steady_clock::now() + milliseconds(timeoutMillis);
  while (steady_clock::now() < deadline) {
    PumpEvents();
    if (done()) return true;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return false;
}

bool PumpUntilSeen(const std::string& name, size_t count = 1) {
  return PumpUntil([&] { return DataOf(name).size() >= count; });
}

class X11DriverTest : public testing::Test {
 protected:
  void SetUp() override {
    StartSystem();
    display = X11Display();
    if (!display) GTEST_SKIP() << "No X server could be opened; set DISPLAY to one (an Xvfb)";
    int unused[4];
    if (!XTestQueryExtension(display, &unused[0], &unused[1], &unused[2], &unused[3])) {
      GTEST_SKIP() << "The X server has no XTEST extension";
    }
    MovePointer(799, 599);
    window = OpenWindow(0, 0, 800, 600, true);
    Focus(window);
    windowSource = source.Get();
    InsertHook(EventHookId(), Record, nullptr, 0);
    PumpFor(50);
    seen.clear();  // the set-up's own events
  }

  void TearDown() override {
    if (!display) return;
    RemoveHook(EventHookId(), Record);
    RemoveHook(EventHookId(), PumpFromHook);
    for (Window w : windows) {
      UnregisterX11Window(w);
      XDestroyWindow(display, w);
    }
    PumpEvents();
    seen.clear();
  }

  Window OpenWindow(int x, int y, int width, int height, bool registered) {
    Window w =
        XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, width, height, 0, 0, 0);
    windows.push_back(w);
    XSelectInput(display, w, X11_INPUT_EVENT_MASK);
    if (registered) RegisterX11Window(w, Translate, &source);
    XMapWindow(display, w);  // at once, with no window manager
    XSync(display, False);
    return w;
  }

  // Requests reach the server in order; the pump flushes them.
  void Focus(Window w) { XSetInputFocus(display, w, RevertToPointerRoot, CurrentTime); }
  void MovePointer(int x, int y) { XTestFakeMotionEvent(display, -1, x, y, CurrentTime); }
  void Key(unsigned keycode, bool down) { XTestFakeKeyEvent(display, keycode, down, 0); }
  void Button(unsigned button, bool down) { XTestFakeButtonEvent(display, button, down, 0); }
  void Tap(unsigned keycode) {
    Key(keycode, true);
    Key(keycode, false);
  }
  unsigned KeycodeOf(KeySym keysym) { return XKeysymToKeycode(display, keysym); }
  void PumpFor(int millis) {
    PumpUntil([] { return false; }, millis);
  }

  Display* display = nullptr;
  Window window = None;
  std::vector<Window> windows;
  Ref<Object> source = New<Object>();
};

using Events = std::vector<std::string>;

TEST_F(X11DriverTest, KeysGiveWindowsCodesAndCharacters) {
  for (KeySym keysym :
       {XK_a,      XK_z,         XK_0,     XK_1,      XK_Left,       XK_Up,      XK_Right,
        XK_Down,   XK_semicolon, XK_slash, XK_grave,  XK_apostrophe, XK_F1,      XK_KP_End,
        XK_Return, XK_BackSpace, XK_Tab,   XK_Escape, XK_Delete,     XK_KP_Enter}) {
    Tap(KeycodeOf(keysym));
  }
  // Raw keycodes: a keysym's first keycode would be the left key.
  for (unsigned keycode : {50, 62, 37, 105, 64, 108}) Tap(keycode);
  // NumLock turns the keypad's End into its 1.
  for (KeySym keysym : {XK_Num_Lock, XK_KP_End, XK_Num_Lock}) Tap(KeycodeOf(keysym));

  const std::vector<int> codes = {65,  90,  48,  49,  37,  38,  39,  40, 186, 191,
                                  192, 222, 112, 35,  13,  8,   9,   27, 46,  13,
                                  160, 161, 162, 163, 164, 165, 144, 97, 144};
  ASSERT_TRUE(PumpUntilSeen("KeyUp", codes.size()));
  EXPECT_EQ(DataOf("KeyDown"), codes);
  EXPECT_EQ(DataOf("KeyUp"), codes);
  EXPECT_EQ(Typed(), "az01;/`'\r\b\t\x1b\r1");  // Delete types nothing
}

TEST_F(X11DriverTest, ModifiersHeldAreInEveryEventIncludingTheirOwn) {
  Key(50, true);  // left Shift
  Tap(KeycodeOf(XK_1));
  Key(105, true);  // right Control
  Button(1, true);
  Button(1, false);
  Key(62, true);   // right Shift too
  Key(50, false);  // one Shift is still held
  Key(62, false);
  Key(105, false);
  ASSERT_TRUE(PumpUntilSeen("KeyUp", 4));
  EXPECT_EQ(seen, (Events{"KeyDown 160 m1", "KeyDown 49 m1", "KeyChar 33 m1", "KeyUp 49 m1",
                          "KeyDown 163 m3", "MouseDown 1 m3 @799,599", "MouseUp 1 m3 @799,599",
                          "KeyDown 161 m3", "KeyUp 160 m3", "KeyUp 161 m2", "KeyUp 163"}));
}

TEST_F(X11DriverTest, AHeldKeyIsPressedOnceAndTypesRepeatedly) {
  const unsigned a = KeycodeOf(XK_a);
  Key(a, true);
  PumpFor(800);  // past the server's auto-repeat delay
  Key(a, false);
  ASSERT_TRUE(PumpUntilSeen("KeyUp"));
  EXPECT_EQ(DataOf("KeyDown"), std::vector<int>{65});
  EXPECT_EQ(DataOf("KeyUp"), std::vector<int>{65});
  EXPECT_GE(Typed().size(), 2u);
  EXPECT_EQ(Typed(), std::string(Typed().size(), 'a'));
}

TEST_F(X11DriverTest, ButtonsAndWheelNotches) {
  MovePointer(30, 40);
  for (unsigned button : {1, 3, 2, 4, 5, 6, 7}) {
    Button(button, true);
    Button(button, false);
  }
  PumpFor(100);
  EXPECT_EQ(seen,
            (Events{"MouseEnter 0 @30,40", "MouseMove 0 @30,40", "MouseDown 1 @30,40",
                    "MouseUp 1 @30,40", "MouseDown 2 @30,40", "MouseUp 2 @30,40",
                    "MouseDown 3 @30,40", "MouseUp 3 @30,40", "MouseWheel 1", "MouseWheel -1"}));
}

TEST_F(X11DriverTest, ThePointerEntersAndLeaves) {
  Events expected;
  auto move = [&](int x, int y, const Events& events) {
    MovePointer(x, y);
    expected.insert(expected.end(), events.begin(), events.end());
    PumpUntil([&] { return seen.size() >= expected.size(); });
  };
  move(100, 100, {"MouseEnter 0 @100,100", "MouseMove 0 @100,100"});
  // Onto another window lying over ours: it leaves by the crossing event.
  Window cover = OpenWindow(400, 0, 400, 600, false);
  move(500, 50, {"MouseLeave 0 @500,50"});
  move(200, 60, {"MouseEnter 0 @200,60", "MouseMove 0 @200,60"});
  XUnmapWindow(display, cover);

  // While a button is held the window has the motion outside it too, and the
  // tracking knows the window's new size.
  XResizeWindow(display, window, 400, 600);
  PumpFor(50);
  Button(1, true);
  expected.push_back("MouseDown 1 @200,60");
  move(600, 70, {"MouseLeave 0 @600,70", "MouseMove 0 @600,70"});
  move(300, 80, {"MouseEnter 0 @300,80", "MouseMove 0 @300,80"});
  Button(1, false);
  expected.push_back("MouseUp 1 @300,80");
  PumpUntilSeen("MouseUp");
  EXPECT_EQ(seen, expected);
}

TEST_F(X11DriverTest, LosingTheFocusSuspendsAndForgetsHeldKeys) {
  Window other = OpenWindow(0, 0, 10, 10, false);
  const unsigned a = KeycodeOf(XK_a);
  Key(a, true);
  Focus(other);
  Key(a, false);  // goes to the other window
  Focus(window);
  Tap(a);
  ASSERT_TRUE(PumpUntilSeen("KeyUp"));
  EXPECT_EQ(seen, (Events{"KeyDown 65", "KeyChar 97", "AppSuspend 0", "AppResume 0", "KeyDown 65",
                          "KeyChar 97", "KeyUp 65"}));
}

TEST_F(X11DriverTest, TheCloseRequestTerminates) {
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = X11ProtocolsAtom();
  message.xclient.format = 32;
  for (Atom protocol : {XInternAtom(display, "WM_TAKE_FOCUS", False), X11DeleteWindowAtom()}) {
    message.xclient.data.l[0] = static_cast<long>(protocol);
    XSendEvent(display, window, False, NoEventMask, &message);
  }
  ASSERT_TRUE(PumpUntilSeen("AppTerminate"));
  EXPECT_EQ(seen, Events{"AppTerminate 0"});
}

TEST_F(X11DriverTest, ThePointerIsShownOrHiddenNotCounted) {
  HidePointer();
  HidePointer();
  EXPECT_FALSE(IsX11PointerVisible());
  ShowPointer();
  EXPECT_TRUE(IsX11PointerVisible());
}

TEST_F(X11DriverTest, SetMousePositionIsRelativeToTheFocusedWindow) {
  Window second = OpenWindow(300, 200, 200, 200, true);  // registered last
  auto pointer = [&] {
    Window root, child;
    int x, y, windowX, windowY;
    unsigned mask;
    XQueryPointer(display, window, &root, &child, &x, &y, &windowX, &windowY, &mask);
    return std::to_string(x) + "," + std::to_string(y);
  };
  SetMousePosition(10, 20);
  EXPECT_EQ(pointer(), "10,20");
  Focus(second);
  SetMousePosition(10, 20);
  EXPECT_EQ(pointer(), "310,220");
}

TEST_F(X11DriverTest, PumpingInsideAHookReturnsAtOnce) {
  InsertHook(EventHookId(), PumpFromHook, nullptr, -1);  // after Record
  Tap(KeycodeOf(XK_a));  // both events are waiting when the KeyDown is handled
  ASSERT_TRUE(PumpUntilSeen("KeyUp"));
  EXPECT_EQ(seen, (Events{"KeyDown 65", "nested pump returned", "KeyChar 97", "KeyUp 65"}));
}

TEST_F(X11DriverTest, WaitEventsSleepsUntilInputArrives) {
  const unsigned a = KeycodeOf(XK_a), b = KeycodeOf(XK_b);
  std::thread later([b] {
    std::this_thread::sleep_for(milliseconds(300));
    Display* other = XOpenDisplay(nullptr);
    XTestFakeKeyEvent(other, b, True, CurrentTime);
    XTestFakeKeyEvent(other, b, False, CurrentTime);
    XCloseDisplay(other);
  });
  const auto start = steady_clock::now();
  auto elapsed = [&] { return steady_clock::now() - start; };

  Tap(a);
  XSync(display, False);  // which reads the events into Xlib's queue
  WaitEvents();
  EXPECT_LT(elapsed(), milliseconds(200));
  EXPECT_EQ(DataOf("KeyDown"), std::vector<int>{65});

  int waits = 0;
  for (; DataOf("KeyUp").size() < 2 && elapsed() < milliseconds(3000); waits++) WaitEvents();
  later.join();
  EXPECT_EQ(DataOf("KeyUp"), (std::vector<int>{65, 66}));
  EXPECT_GE(elapsed(), milliseconds(250));
  EXPECT_LT(waits, 10) << "WaitEvents spins instead of sleeping";
}

// The server's screen saver, set to start after a second: it keeps away
// while the driver keeps the screen awake, and starts once it no longer does.
TEST_F(X11DriverTest, TheScreenSaverKeepsAwayWhileTheScreenIsKeptAwake) {
  int timeout = 0, interval = 0, blanking = 0, exposures = 0;
  XGetScreenSaver(display, &timeout, &interval, &blanking, &exposures);
  XSetScreenSaver(display, 1, 0, DontPreferBlanking, AllowExposures);
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  const auto query = [&] {
    XScreenSaverQueryInfo(display, DefaultRootWindow(display), info);
    return info;
  };

  KeepScreenAwake(true);
  // Idle for over twice the delay: the saver would have started by now.
  EXPECT_TRUE(PumpUntil([&] { return query()->idle >= 2500; }, 30000));
  EXPECT_NE(query()->state, ScreenSaverOn);
  KeepScreenAwake(false);
  EXPECT_TRUE(PumpUntil([&] { return query()->state == ScreenSaverOn; }, 30000));

  XFree(info);
  XForceScreenSaver(display, ScreenSaverReset);
  XSetScreenSaver(display, timeout, interval, blanking, exposures);
  XSync(display, False);
}

// Needs no X server.
TEST(X11ClockTest, FollowsSleeps) {
  StartSystem();
  const int start = ClockMillis();
  SleepMillis(50);
  const int slept = MillisSince(start, ClockMillis());
  EXPECT_GE(slept, 50);
  EXPECT_LE(slept, 80);
  SleepMillis(-1);  // returns at once rather than sleeping ~49 days
  SleepMillis(0);
  EXPECT_LE(MillisSince(start, ClockMillis()) - slept, 10);
}

TEST(X11ConnectionTest, StaysClosedOnceTheProgramHasEnded) {
  if (!X11Display()) GTEST_SKIP() << "No X server could be opened; set DISPLAY to one (an Xvfb)";
  // A fresh process, so that its exit actions are its own.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const bool opened = X11Display() != nullptr;
        RunExitActions();
        std::exit(opened && !X11Display() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
