#pragma once
// The program entry, exit actions and module start-up.

#include <functional>

#include "runtime/string.h"

// Runs the program's main routine. A run-time error (or any other exception)
// that escapes it is reported and ends the program with exit code 1. The exit
// actions run in both cases before this returns.
int RunProgram(const std::function<int()>& main);

// Shows a run-time error to the user; it is always printed on standard error
// first. The system driver installs its message box here.
using ErrorNotice = void (*)(const String& message);
void SetErrorNotice(ErrorNotice notice);
// Runs the error actions, then shows the message.
void ReportRuntimeError(const String& message);
// Error actions run once, newest first, before a run-time error is shown:
// they give the desktop back (a full-screen display closed, the screen's
// mode restored) so that the message can be seen and answered.
void AddErrorAction(std::function<void()> action);

// Exit actions run once, newest first, when the program ends: at the end of
// RunProgram or, failing that, when the process exits.
void AddExitAction(std::function<void()> action);
void RunExitActions();

// Every module has a StartXxx() function that starts the modules it needs and
// then does its own start-up, once. It begins with
//     if (!FirstStart(started)) return;
// where started is a static flag of its own.
inline bool FirstStart(bool& started) {
  if (started) return false;
  started = true;
  return true;
}
