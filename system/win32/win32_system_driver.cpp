#include "system/win32/win32_system_driver.h"

#include "runtime/program.h"
#include "system/win32/win32_desktop_mode.h"
#include "system/win32/win32_translate.h"
// After windows.h, which it needs.
#include <mmsystem.h>

namespace {

bool timerPeriodRaised = false;

// A child window that takes the focus by Tab: a control of a dialog.
bool IsDialogControl(HWND window) {
  constexpr LONG CONTROL = WS_CHILD | WS_TABSTOP;
  return (GetWindowLongA(window, GWL_STYLE) & CONTROL) == CONTROL;
}

// The dialog whose keyboard handling (Tab, Enter, Escape, mnemonics) a
// message to window belongs to; null when window is no dialog control.
HWND DialogOf(HWND window) {
  if (!window || !IsDialogControl(window)) return nullptr;
  HWND parent = GetParent(window);
  while (parent && IsDialogControl(parent)) parent = GetParent(parent);
  return parent;
}

void RestoreTimerPeriod() {
  if (!timerPeriodRaised) return;
  timeEndPeriod(1);
  timerPeriodRaised = false;
}

}  // namespace

TWin32SystemDriver::TWin32SystemDriver() {
  KeepDesktopMode();
  if (timerPeriodRaised) return;
  // The clock, Sleep and the audio device's multimedia timer then all run
  // at 1 ms.
  timeBeginPeriod(1);
  timerPeriodRaised = true;
  AddExitAction(RestoreTimerPeriod);
}

void TWin32SystemDriver::Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    NoteModifierKeyMessage(message);
    const HWND dialog = DialogOf(message.hwnd);
    if (dialog && IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void TWin32SystemDriver::Wait() { WaitFor(-1); }

void TWin32SystemDriver::WaitFor(int millis) {
  // MWMO_INPUTAVAILABLE: input that a peek has already seen but left queued
  // wakes the wait too, rather than leaving it asleep on a full queue.
  const DWORD timeout = millis < 0 ? INFINITE : static_cast<DWORD>(millis);
  MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLEVENTS, MWMO_INPUTAVAILABLE);
  Pump();
}

int TWin32SystemDriver::Millis() { return static_cast<int>(timeGetTime()); }

void TWin32SystemDriver::SleepFor(int millis) {
  // A negative time would be INFINITE, or close to 50 days, as a DWORD.
  Sleep(millis > 0 ? static_cast<DWORD>(millis) : 0);
}

void TWin32SystemDriver::MovePointer(int x, int y) {
  POINT at{x, y};
  if (const HWND active = GetActiveWindow()) ClientToScreen(active, &at);
  SetCursorPos(at.x, at.y);
}

// The display counter stays at 0 (shown) or -1 (hidden): repeated hides or
// shows do not pile up.
void TWin32SystemDriver::SetPointerVisible(bool visible) {
  const int count = ShowCursor(visible ? TRUE : FALSE);
  if (count != 0 && count != -1) ShowCursor(visible ? FALSE : TRUE);
}

void TWin32SystemDriver::KeepScreenAwake(bool awake) {
  // Continuous: in force until it is changed again, not a single nudge of
  // the idle timers.
  SetThreadExecutionState(awake ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED
                                : ES_CONTINUOUS);
}

Ref<TSystemDriver> CreatePlatformSystemDriver() { return New<TWin32SystemDriver>(); }
