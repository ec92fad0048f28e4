#pragma once
// What the desktop shows of the program beside a window's title: its class
// (WM_CLASS, which desktop entries match) and its icon (_NET_WM_ICON). Only
// X11 code includes this header.

#include <X11/Xlib.h>

// Gives a window of the program its WM_CLASS (the instance name is the
// program file's name, the class the program's title) and, when the program
// has an icon (AppIcon), its _NET_WM_ICON.
void SetX11WindowIdentity(Display* display, Window window);
