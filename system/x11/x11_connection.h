#pragma once
// The process's one connection to the X server, and the windows whose events
// the pump hands to a window procedure of their own (the display windows, a
// test's window). Only X11 code includes this header.

#include <X11/Xlib.h>

// Opened on first need, with detectable auto-repeat; null when no X server can
// be reached (tried once, so a pump without a server stays cheap). Closed by an
// exit action.
Display* X11Display();

// Called for every event of a registered window during a pump. A display
// window's procedure calls TranslateWindowMessage first, then does its own
// handling.
using X11WindowProcedure = void (*)(const XEvent& event, void* context);
// Registering a window again replaces its procedure. A window is unregistered
// by its DestroyNotify, if it selects StructureNotifyMask, or explicitly.
void RegisterX11Window(Window window, X11WindowProcedure procedure, void* context);
void UnregisterX11Window(Window window);
// Hands an event to its window's procedure; events of other windows are dropped.
void DispatchX11Event(const XEvent& event);

// The WM_DELETE_WINDOW and WM_PROTOCOLS atoms of the connection.
Atom X11DeleteWindowAtom();
Atom X11ProtocolsAtom();

// The client-area size of a registered window, kept up to date from its
// ConfigureNotify events; false for other windows.
bool X11WindowSize(Window window, int& width, int& height);
// The registered window that has the keyboard focus, else the one registered
// last; None when no window is registered.
Window ActiveX11Window();

// Asks the window manager to keep the window at (x, y) with this size,
// neither moved nor resized.
void SetX11FixedGeometry(Display* display, Window window, int x, int y, int width, int height);

// A window that shows a display of width x height scaled into the rectangle
// (areaX, areaY, areaWidth, areaHeight) of its client area, top left origin.
// X11WindowSize then reports the display's size, and positions convert with
// the two functions below, so events and pointer warps speak display pixels.
void SetX11DisplayArea(Window window, int width, int height, int areaX, int areaY, int areaWidth,
                       int areaHeight);
// Window pixels to the pixels of the display the window shows, and back;
// unchanged for a window without a display area.
void X11WindowToDisplay(Window window, int& x, int& y);
void X11DisplayToWindow(Window window, int& x, int& y);
// Hides or shows the pointer over every registered window, and over the
// windows registered while it is hidden.
void SetX11PointerVisible(bool visible);
bool IsX11PointerVisible();
