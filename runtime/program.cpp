#include "runtime/program.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "runtime/runtime_error.h"

namespace {

ErrorNotice errorNotice = nullptr;
std::vector<std::function<void()>>* exitActions = nullptr;

std::vector<std::function<void()>>& ErrorActions() {
  static std::vector<std::function<void()>> actions;
  return actions;
}

// Runs each action once, newest first; one that fails is reported and the
// rest still run.
void RunActions(std::vector<std::function<void()>>& actions) {
  while (!actions.empty()) {
    std::function<void()> action = std::move(actions.back());
    actions.pop_back();
    try {
      action();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
  }
}

std::vector<std::function<void()>>& ExitActions() {
  if (!exitActions) {
    static std::vector<std::function<void()>> actions;
    exitActions = &actions;
  }
  return *exitActions;
}

}  // namespace

void SetErrorNotice(ErrorNotice notice) { errorNotice = notice; }

void ReportRuntimeError(const String& message) {
  std::fprintf(stderr, "%s\n", message.ToUtf8().c_str());
  std::fflush(stderr);
  RunActions(ErrorActions());
  if (errorNotice) errorNotice(message);
}

void AddErrorAction(std::function<void()> action) { ErrorActions().push_back(std::move(action)); }

void AddExitAction(std::function<void()> action) {
  ExitActions().push_back(std::move(action));
  // At the process's exit they run from the latest of these registrations,
  // so before any object made until now is destroyed: an action may use what
  // its module made before adding it. (The earlier registrations find
  // nothing left to run.)
  std::atexit(RunExitActions);
}

void RunExitActions() {
  if (!exitActions) return;
  // An action may add others; they run too, still newest first.
  RunActions(*exitActions);
}

int RunProgram(const std::function<int()>& main) {
  int code = 1;
  try {
    code = main();
  } catch (const RuntimeError& e) {
    ReportRuntimeError(e.Message());
  } catch (const std::exception& e) {
    ReportRuntimeError(String::FromBytes(e.what()));
  }
  RunExitActions();
  return code;
}
