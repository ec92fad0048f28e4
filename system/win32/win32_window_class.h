#pragma once
// The window classes of the engine's display windows (WGL and DirectX 7):
// the arrow cursor and, where the program file carries one, its icon. Only
// Win32 code includes this header.

#include <windows.h>

// The resource number of the program's icon (ICON 1 in its resource
// script). The first icon of a program file is also what the desktop shows
// for the file.
constexpr int WIN32_PROGRAM_ICON = 1;

// Registers a window class of the program's module whose big and small
// icons are the program's icon at the system's sizes, or none when the
// program has no icon. True when the class is there, registered now or
// before.
bool RegisterWin32WindowClass(const char* name, WNDPROC procedure, UINT style);
