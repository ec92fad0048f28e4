#include "system/win32/win32_desktop_mode.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "runtime/program.h"

namespace {

bool kept = false;
DEVMODEA desktopMode{};

// Fails (dmSize 0) where there is no display to ask.
DEVMODEA CurrentMode() {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) mode.dmSize = 0;
  return mode;
}

bool IsDesktopMode(const DEVMODEA& mode) {
  return mode.dmPelsWidth == desktopMode.dmPelsWidth &&
         mode.dmPelsHeight == desktopMode.dmPelsHeight &&
         mode.dmBitsPerPel == desktopMode.dmBitsPerPel &&
         mode.dmDisplayFrequency == desktopMode.dmDisplayFrequency;
}

bool InDesktopMode() {
  const DEVMODEA now = CurrentMode();
  return !now.dmSize || IsDesktopMode(now);
}

}  // namespace

void KeepDesktopMode() {
  if (kept) return;
  desktopMode = CurrentMode();
  if (!desktopMode.dmSize) return;
  kept = true;
  AddExitAction(RestoreDesktopMode);
  AddErrorAction(RestoreDesktopMode);
}

void RestoreDesktopMode() {
  if (!kept || InDesktopMode()) return;
  // The mode stored for the desktop ends a full-screen program's temporary
  // change as Windows itself would.
  ChangeDisplaySettingsA(nullptr, 0);
  if (InDesktopMode()) return;
  // The stored mode is not the one the desktop had: another program had
  // changed it before this one started, or (under Wine) the temporary mode
  // was stored as the desktop's when the X screen changed to it. The mode
  // noted, for this session only.
  DEVMODEA mode = desktopMode;
  ChangeDisplaySettingsA(&mode, 0);
}
