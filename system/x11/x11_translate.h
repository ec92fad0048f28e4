#pragma once
// The single place where X events become engine events.

#include <X11/Xlib.h>

#include "runtime/object.h"

// Emits at most one event for the X event of a registered window (plus the
// MouseEnter and MouseLeave of the pointer tracking): keys as Windows
// virtual-key codes, typed characters, buttons with the pointer grabbed while
// one is held, wheel notches, motion, focus as AppResume/AppSuspend and the
// window manager's close request as AppTerminate. source is the events'
// source (null for the graphics windows).
void TranslateWindowMessage(const XEvent& event, const Ref<Object>& source);

// The events TranslateWindowMessage reads; a window whose events it translates
// selects them (ClientMessage needs no mask).
constexpr long X11_INPUT_EVENT_MASK = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                      ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                                      FocusChangeMask | StructureNotifyMask;

// The engine's key code for an X key event: the Windows virtual-key code of
// its unshifted keysym, left and right modifiers told apart; 0 for keys that
// have none.
int KeyCodeOf(XKeyEvent& event);
