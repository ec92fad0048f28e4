#pragma once
// A full-screen mode for the Windows tests of display mode changes: one the
// screen lists besides the mode it is in; under Wine, 640 x 480 added to the
// X screen with xrandr.

#include <windows.h>

#include <string>

// The screen's mode now as this process sees it, as "WIDTHxHEIGHT".
std::string ScreenModeNow();

class OtherScreenMode {
 public:
  // Finds or adds the mode; width stays 0 when there is none.
  OtherScreenMode();
  // Gives the screen the mode it had back, and Wine's stored desktop mode.
  ~OtherScreenMode();
  OtherScreenMode(const OtherScreenMode&) = delete;
  OtherScreenMode& operator=(const OtherScreenMode&) = delete;

  // Switches the screen to it as a full-screen program does.
  bool Set() const;
  // Whether the screen is in it now, changed by any process.
  bool IsSet() const;
  std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }

  int width = 0, height = 0;
  // The mode the screen was in.
  std::string desktop;
};
