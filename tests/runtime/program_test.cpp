#include "runtime/program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/object.h"
#include "runtime/runtime_error.h"

namespace {
String lastNotice;
int errorActionsBeforeNotice = 0;
std::vector<int> order;
void RememberNotice(const String& message) {
  lastNotice = message;
  errorActionsBeforeNotice = static_cast<int>(order.size());
}

// Made on first use, as a module's objects are.
bool witnessGone = false;
struct Witness {
  ~Witness() { witnessGone = true; }
};
void MakeLateWitness() { static Witness witness; }
}  // namespace

TEST(Program, ReportsAnEscapingRuntimeErrorAndRunsExitActionsNewestFirst) {
  AddExitAction([&] { order.push_back(1); });
  AddExitAction([&] { order.push_back(2); });
  AddErrorAction([&] { order.push_back(3); });
  AddErrorAction([&] { order.push_back(4); });
  SetErrorNotice(RememberNotice);
  testing::internal::CaptureStderr();
  const int code = RunProgram([]() -> int { throw RuntimeError("Failed to load graphics!"); });
  const std::string printed = testing::internal::GetCapturedStderr();
  SetErrorNotice(nullptr);

  EXPECT_EQ(code, 1);
  EXPECT_EQ(printed, "Failed to load graphics!\n");
  EXPECT_EQ(lastNotice, "Failed to load graphics!");
  EXPECT_EQ(order, (std::vector<int>{4, 3, 2, 1})) << "error actions first, before the notice";
  EXPECT_EQ(errorActionsBeforeNotice, 2);

  // They ran once; the next program end has nothing left to run.
  RunExitActions();
  EXPECT_EQ(order.size(), 4u);
}

// A program that never runs RunProgram (a test, a benchmark) has its exit
// actions run as the process exits, before the objects they use go.
TEST(ProgramDeathTest, AtExitActionsRunBeforeWhatTheyUseIsDestroyed) {
  EXPECT_EXIT(
      {
        AddExitAction([] {});
        MakeLateWitness();
        AddExitAction([] { std::fputs(witnessGone ? "gone" : "alive", stderr); });
        std::exit(0);
      },
      testing::ExitedWithCode(0), "^alive$");
}

TEST(Program, ReturnsTheMainRoutinesCode) {
  EXPECT_EQ(RunProgram([] { return 0; }), 0);
  EXPECT_EQ(RunProgram([] { return 3; }), 3);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunProgram([]() -> int { return Ref<Object>()->RefCount(); }), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Null object"), std::string::npos);
}

TEST(Program, ModulesStartOnce) {
  static int starts = 0;
  static bool started = false;
  auto start = [] {
    if (!FirstStart(started)) return;
    ++starts;
  };
  start();
  start();
  EXPECT_EQ(starts, 1);
}
