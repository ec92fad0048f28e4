#pragma once
// The display driver in use, remembered in config.ini (four bytes: the
// driver flag as a little-endian int; 0 OpenGL, anything else DirectX 7),
// switching drivers, and the refresh rate chosen at start.

#include <vector>

#include "runtime/string.h"

// Selects the driver config.ini names when it is available, else (also when
// the file is missing or cannot be read) DirectX 7 when available, else
// OpenGL; sets driverFlag to match.
void ChooseDisplayDriver(const String& path);
// False when the file could not be written (said on standard error).
bool WriteSettings(const String& path);
// Opens the game's display on the chosen driver at the rate chosen from its
// modes. When it does not open there, it is opened on the other driver,
// which driverFlag then names (said in one line on standard error); the
// first driver's error is raised when neither opens.
void OpenChosenDisplay();
// Closes the display, selects the other driver, opens the display again and
// loads every image again. When the other driver does not open, the display
// opens again on the driver in use, which driverFlag still names.
void SwitchDisplayDriver();
// The highest rate not above preferred among those of up to 16 800 x 600
// modes at the game's depth, else the lowest; preferred when there is none.
// Unknown rates (0 or 1) do not count.
int ChooseRefreshRate(int preferred);
int ChooseRefreshRate(std::vector<int> rates, int preferred);
