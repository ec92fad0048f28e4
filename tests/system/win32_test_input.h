#pragma once
// Input for the Windows window tests, typed as a keyboard and a mouse would:
// under Wine through the X server that Wine draws on (xdotool sends raw
// keycodes and pointer actions through XTEST), on Windows with SendInput.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Whether the tests run under Wine, the only place where they can type
// through an X server.
bool RunningUnderWine();
// Whether windows can be shown and typed to: under Wine, or on a Windows
// desktop that takes input (not a service's, nor a locked screen).
bool HasInteractiveDesktop();
// Runs a Unix shell command under Wine and waits until it has finished;
// false when it could not run or failed.
bool RunOnHost(const std::string& command);
// Types to the foreground window in xdotool's words (X keycodes, Return and
// Escape by name, buttons 1 to 5): by xdotool under Wine unless
// ZORP_TEST_INPUT is "sendinput", else by SendInput (moves by SetCursorPos);
// false when not typed.
bool TypeInput(const std::string& actions);
// Makes window the foreground window with the keyboard focus, or false.
bool FocusWindow(HWND window);
// The X window Wine shows a window in.
uintptr_t XWindowOf(HWND window);
// Pumps the system driver until done() holds; false after timeoutMillis.
bool PumpUntil(const std::function<bool()>& done, int timeoutMillis = 10000);
// Polls done() without pumping (for a second thread); false after timeoutMillis.
bool WaitUntil(const std::function<bool()>& done, int timeoutMillis = 10000);

// X keycodes (evdev, pc105, us). xdotool reads a one-digit number as a
// digit key, so Escape (9) goes by its name.
enum : int {
  XKEY_1 = 10,
  XKEY_BACKSPACE = 22,
  XKEY_TAB = 23,
  XKEY_A = 38,
  XKEY_RETURN = 36,
  XKEY_LCONTROL = 37,
  XKEY_LSHIFT = 50,
  XKEY_Z = 52,
  XKEY_N = 57,
  XKEY_RSHIFT = 62,
  XKEY_LALT = 64,
  XKEY_F4 = 70,
  XKEY_RCONTROL = 105,
  XKEY_RALT = 108,
  XKEY_UP = 111,
  XKEY_LEFT = 113,
  XKEY_RIGHT = 114,
  XKEY_DOWN = 116,
};
