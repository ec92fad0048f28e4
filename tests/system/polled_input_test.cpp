// Polled input over a scripted system driver: its pump emits the events that
// a test queued, as a window system would.
#include "system/polled_input.h"

#include <gtest/gtest.h>

#include "system/event.h"
#include "tests/support/scripted_system_driver.h"

namespace {

class PolledInput : public testing::Test {
 protected:
  void SetUp() override {
    driver = New<TScriptedSystemDriver>();
    SetSystemDriver(driver);
    AttachPolledInput(nullptr);
  }
  void TearDown() override { DetachPolledInput(); }

  Ref<TScriptedSystemDriver> driver;
};

}  // namespace

TEST_F(PolledInput, CountsHitsOnPressesOnly) {
  driver->Queue(EVENT_KEYDOWN, KEY_ESCAPE);
  driver->Queue(EVENT_KEYUP, KEY_ESCAPE);
  driver->Queue(EVENT_KEYDOWN, KEY_ESCAPE);
  driver->Queue(EVENT_KEYDOWN, KEY_ESCAPE);  // already down: no new hit
  EXPECT_EQ(TakeKeyHits(KEY_ESCAPE), 2);
  EXPECT_EQ(TakeKeyHits(KEY_ESCAPE), 0);
  EXPECT_EQ(IsKeyDown(KEY_ESCAPE), 1);

  // Pressed and released between two reads: not down, one hit.
  driver->Queue(EVENT_KEYDOWN, KEY_LEFT);
  driver->Queue(EVENT_KEYUP, KEY_LEFT);
  EXPECT_EQ(IsKeyDown(KEY_LEFT), 0);
  EXPECT_EQ(TakeKeyHits(KEY_LEFT), 1);

  // Codes outside the table are ignored, not trusted.
  driver->Queue(EVENT_KEYDOWN, 300);
  driver->Queue(EVENT_KEYDOWN, -4);
  EXPECT_EQ(IsKeyDown(300), 0);
  EXPECT_EQ(TakeKeyHits(-4), 0);
}

TEST_F(PolledInput, QueuesUpTo256CharactersInOrder) {
  for (int i = 0; i < 300; ++i) driver->Queue(EVENT_KEYCHAR, 1000 + i);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(TakeChar(), 1000 + i);
  EXPECT_EQ(TakeChar(), 0);

  driver->Queue(EVENT_KEYCHAR, KEY_ENTER);
  driver->Queue(EVENT_KEYCHAR, KEY_BACKSPACE);
  EXPECT_EQ(TakeChar(), 13);
  EXPECT_EQ(TakeChar(), 8);

  driver->Queue(EVENT_KEYCHAR, 'a');
  driver->Queue(EVENT_KEYDOWN, KEY_A);
  ClearKeys();  // pumps first, so what arrived before is cleared too
  EXPECT_EQ(TakeChar(), 0);
  EXPECT_EQ(TakeKeyHits(KEY_A), 0);
}

TEST_F(PolledInput, FollowsTheMouse) {
  driver->Queue(EVENT_MOUSEMOVE, 0, 120, 45);
  driver->Queue(EVENT_MOUSEDOWN, MOUSE_RIGHT, 120, 45);
  driver->Queue(EVENT_MOUSEWHEEL, 1);
  driver->Queue(EVENT_MOUSEWHEEL, 1);
  EXPECT_EQ(PointerX(), 120);
  EXPECT_EQ(PointerY(), 45);
  EXPECT_EQ(IsMouseDown(MOUSE_RIGHT), 1);
  EXPECT_EQ(TakeMouseHits(MOUSE_RIGHT), 1);
  EXPECT_EQ(TakeMouseHits(MOUSE_RIGHT), 0);
  EXPECT_EQ(WheelPosition(), 2);
  driver->Queue(EVENT_MOUSEWHEEL, -3);
  driver->Queue(EVENT_MOUSEUP, MOUSE_RIGHT);
  EXPECT_EQ(WheelPosition(), -1);  // accumulates across reads
  EXPECT_EQ(IsMouseDown(MOUSE_RIGHT), 0);

  ClearMouse();
  EXPECT_EQ(WheelPosition(), 0);
  EXPECT_EQ(PointerX(), 120);  // the position stays
}

TEST_F(PolledInput, SuspendingClearsEverythingAndQuitIsReadOnce) {
  driver->Queue(EVENT_KEYDOWN, KEY_RSHIFT);
  driver->Queue(EVENT_MOUSEDOWN, MOUSE_LEFT);
  driver->Queue(EVENT_MOUSEWHEEL, 4);
  driver->Queue(EVENT_APPSUSPEND);
  EXPECT_EQ(IsAppSuspended(), 1);
  EXPECT_EQ(IsKeyDown(KEY_RSHIFT), 0);
  EXPECT_EQ(TakeKeyHits(KEY_RSHIFT), 0);
  EXPECT_EQ(IsMouseDown(MOUSE_LEFT), 0);
  EXPECT_EQ(WheelPosition(), 0);
  driver->Queue(EVENT_APPRESUME);
  EXPECT_EQ(IsAppSuspended(), 0);

  driver->Queue(EVENT_APPTERMINATE);
  EXPECT_EQ(TakeQuitRequest(), 1);
  EXPECT_EQ(TakeQuitRequest(), 0);
}

TEST_F(PolledInput, AttachingTwiceKeepsStateAndOneHook) {
  driver->Queue(EVENT_KEYDOWN, KEY_SPACE);
  EXPECT_EQ(IsKeyDown(KEY_SPACE), 1);
  AttachPolledInput(nullptr);
  EXPECT_EQ(IsKeyDown(KEY_SPACE), 1);
  driver->Queue(EVENT_KEYUP, KEY_SPACE);
  driver->Queue(EVENT_KEYDOWN, KEY_SPACE);
  EXPECT_EQ(TakeKeyHits(KEY_SPACE), 2);  // one hook: one hit per press

  DetachPolledInput();
  driver->Queue(EVENT_KEYDOWN, KEY_ENTER);
  EXPECT_EQ(IsKeyDown(KEY_SPACE), 0);  // detaching clears
  EXPECT_EQ(IsKeyDown(KEY_ENTER), 0);  // and nothing is taken any more
}

TEST_F(PolledInput, TakesEventsOfTheAttachedSourceOnly) {
  DetachPolledInput();
  Ref<Object> window = New<Object>();
  AttachPolledInput(window);
  driver->queued.push_back(NewEvent(EVENT_KEYDOWN, window, KEY_UP, 0, 0, 0, nullptr));
  driver->queued.push_back(NewEvent(EVENT_KEYDOWN, New<Object>(), KEY_DOWN, 0, 0, 0, nullptr));
  EXPECT_EQ(IsKeyDown(KEY_UP), 1);
  EXPECT_EQ(IsKeyDown(KEY_DOWN), 0);
}

TEST_F(PolledInput, WaitsForTheFirstKeyCharOrButton) {
  driver->Queue(EVENT_KEYDOWN, KEY_A);  // before the wait: cleared by it
  driver->Arrive(EVENT_MOUSEMOVE);      // not a key: the wait goes on
  driver->Arrive(EVENT_KEYDOWN, KEY_F1 + 2);
  EXPECT_EQ(WaitForKey(), KEY_F1 + 2);
  EXPECT_EQ(driver->waits, 2);

  driver->Queue(EVENT_KEYCHAR, 'q');
  driver->Arrive(EVENT_KEYCHAR, 'z');
  EXPECT_EQ(WaitForChar(), 'z');
  driver->Arrive(EVENT_MOUSEDOWN, MOUSE_MIDDLE);
  EXPECT_EQ(WaitForMouse(), MOUSE_MIDDLE);
}
