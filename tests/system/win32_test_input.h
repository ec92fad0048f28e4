#pragma once
// Input for the Windows window tests, typed as a keyboard and a mouse would:
// under Wine through the X server that Wine draws on (xdotool sends raw
// keycodes and pointer actions through XTEST), on Windows itself with
// SendInput.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Whether the tests run under Wine.
bool RunningUnderWine();
// Whether windows can be shown and typed to: under Wine (on its X server),
// or on a Windows desktop that takes input, which a service's session or a
// locked screen does not. The window tests skip without one.
bool HasInteractiveDesktop();
// Runs a command of the Unix system under Wine (through /bin/sh) and waits
// until it has finished; false when it could not run or failed, and always
// on Windows itself.
bool RunOnHost(const std::string& command);
// Runs "xdotool ARGS" on the Unix side (see RunOnHost).
bool XdoTool(const std::string& args);
// Types to the window in the foreground, in xdotool's words: "key",
// "keydown" and "keyup" with X keycodes (see XKEY_ below) or the names
// Return, Escape and Tab; "mousemove X Y" on the screen; "mousedown",
// "mouseup" and "click" with xdotool's buttons (1 left, 2 middle, 3 right,
// 4 and 5 a wheel notch forward and back). Under Wine xdotool types it (or
// SendInput when ZORP_TEST_INPUT is "sendinput", to try the Windows way
// there); on Windows SendInput does. False when it could not be typed.
bool TypeInput(const std::string& actions);
// Whether a key held down by TypeInput repeats by itself: the X server
// repeats it, Windows repeats only a real keyboard's keys (TypeInput then
// presses it again).
bool HeldKeysRepeat();
// Makes window the foreground window with the keyboard focus, as a click on
// it would; false when it did not get it.
bool FocusWindow(HWND window);
// The X window Wine shows a window in (0 on Windows).
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
  XKEY_X = 53,
  XKEY_N = 57,
  XKEY_RSHIFT = 62,
  XKEY_LALT = 64,
  XKEY_SPACE = 65,
  XKEY_F4 = 70,
  XKEY_RCONTROL = 105,
  XKEY_RALT = 108,
  XKEY_UP = 111,
  XKEY_LEFT = 113,
  XKEY_RIGHT = 114,
  XKEY_DOWN = 116,
};
