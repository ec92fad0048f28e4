#include "runtime/program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/object.h"
#include "runtime/runtime_error.h"

namespace {
std::vector<std::string> happened;
void RememberNotice(const String& message) { happened.push_back("notice " + message.ToUtf8()); }

// Made on first use, as a module's objects are.
bool witnessGone = false;
struct Witness {
  ~Witness() { witnessGone = true; }
};
void MakeLateWitness() { static Witness witness; }
}  // namespace

// The error actions (a full-screen display closed) come before the notice,
// the exit actions after it; each runs once, newest first.
TEST(Program, ReportsAnEscapingRuntimeErrorAndRunsItsActionsNewestFirst) {
  happened.clear();
  for (const char* name : {"exit 1", "exit 2"}) AddExitAction([=] { happened.push_back(name); });
  for (const char* name : {"error 1", "error 2"}) AddErrorAction([=] { happened.push_back(name); });
  SetErrorNotice(RememberNotice);
  testing::internal::CaptureStderr();
  const int code = RunProgram([]() -> int { throw RuntimeError("Failed to load graphics!"); });
  const std::string printed = testing::internal::GetCapturedStderr();
  SetErrorNotice(nullptr);

  EXPECT_EQ(code, 1);
  EXPECT_EQ(printed, "Failed to load graphics!\n");
  const std::vector<std::string> once{"error 2", "error 1", "notice Failed to load graphics!",
                                      "exit 2", "exit 1"};
  EXPECT_EQ(happened, once);

  // They ran once; the next program end or error has nothing left to run.
  RunExitActions();
  ReportRuntimeError(String("again"));
  EXPECT_EQ(happened.size(), once.size());
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
