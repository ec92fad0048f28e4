#include "system/system_driver.h"

#include <gtest/gtest.h>

#include <climits>
#include <regex>

#include "runtime/program.h"
#include "runtime/runtime_error.h"
#include "system/event.h"
#include "system/hook.h"
#include "tests/support/scripted_system_driver.h"

namespace {

int nestedPumps = 0;

// A hook that pumps again while the pump that called it is running.
Ref<Object> PumpsAgain(int, const Ref<Object>& data, const Ref<Object>&) {
  ++nestedPumps;
  PumpEvents();
  WaitEvents();
  return data;
}

}  // namespace

TEST(SystemDriver, APumpInsideAPumpReturnsAtOnce) {
  auto driver = New<TScriptedSystemDriver>();
  SetSystemDriver(driver);
  InsertHook(EventHookId(), PumpsAgain, nullptr, 0);
  driver->Queue(EVENT_KEYDOWN, 65);
  driver->Queue(EVENT_KEYUP, 65);
  PumpEvents();
  EXPECT_EQ(nestedPumps, 2);
  EXPECT_EQ(driver->pumps, 1);
  EXPECT_EQ(driver->waits, 0);
  RemoveHook(EventHookId(), PumpsAgain);
  PumpEvents();  // the guard is down again
  EXPECT_EQ(driver->pumps, 2);
}

TEST(SystemDriver, FreeFunctionsForwardToTheCurrentDriver) {
  auto driver = New<TScriptedSystemDriver>();
  SetSystemDriver(driver);
  SleepMillis(40);
  EXPECT_EQ(ClockMillis(), 40);
  SetMousePosition(3, 4);
  EXPECT_EQ(driver->pointer, (std::vector<int>{3, 4}));
  HidePointer();
  EXPECT_FALSE(driver->pointerVisible);
  ShowPointer();
  EXPECT_TRUE(driver->pointerVisible);
  driver->answer = -1;
  EXPECT_EQ(AskYesNoCancel("Quit?", false), -1);

  // Run-time errors that reach the program entry show as a notice.
  testing::internal::CaptureStderr();
  RunProgram([]() -> int { throw RuntimeError("Failed to load graphics!"); });
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(driver->notices.size(), 1u);
  EXPECT_EQ(driver->notices[0], "Failed to load graphics!");
}

TEST(SystemDriver, FormatsTheLocalDateAndTime) {
  EXPECT_TRUE(std::regex_match(DateText().ToUtf8(), std::regex(R"(\d\d [A-Z][a-z]{2} \d{4})")))
      << DateText();
  EXPECT_TRUE(std::regex_match(TimeText().ToUtf8(), std::regex(R"(\d\d:\d\d:\d\d)"))) << TimeText();
  EXPECT_FALSE(AppTitle().IsEmpty());
  SetAppTitle("Zorp Test");
  EXPECT_EQ(AppTitle(), "Zorp Test");
}

TEST(SystemDriver, ClockDifferencesAndSumsGoRoundTheWrap) {
  EXPECT_EQ(MillisSince(INT_MAX - 2, INT_MIN + 1), 4);
  EXPECT_EQ(MillisSince(INT_MIN + 1, INT_MAX - 2), -4) << "the earlier time second";
  EXPECT_EQ(MillisSince(-3, 1), 4);
  EXPECT_EQ(MillisSince(100, 100), 0);
  EXPECT_EQ(AddMillis(INT_MAX - 2, 4), INT_MIN + 1);
  EXPECT_EQ(AddMillis(INT_MIN + 1, -4), INT_MAX - 2);
  EXPECT_EQ(AddMillis(-3, 4), 1);
}
