#pragma once
// The single place where the messages of Win32 windows become engine events.
// The display drivers' window procedures call TranslateWindowMessage for every
// message their windows get, before their own handling.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "runtime/object.h"

// Emits at most one event for the message (plus the MouseEnter and MouseLeave
// of the pointer tracking, and the key-up of a Shift let go that Windows did
// not report): keys as virtual-key codes with left and right Shift, Control
// and Alt told apart and auto-repeat dropped, typed
// characters, buttons with the mouse captured while one is held, wheel
// notches, motion, activation as AppResume/AppSuspend and the close request
// as AppTerminate. source is the events' source (null for the display
// windows).
void TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            const Ref<Object>& source);

// What every display window's procedure does after the translation: the
// mouse captured while a button is held (not in full screen, where the window
// covers the screen), Alt alone kept from opening the window menu while
// Alt+F4 still closes, the screen saver and the monitor's power saving kept
// away, and the close request left to the program, which hears of it as
// AppTerminate and may keep its window. True when the message is handled;
// the procedure then returns 0.
bool HandleDisplayWindowMessage(HWND window, UINT message, WPARAM wParam, bool fullScreen);

// The engine's key code of a key message: its virtual-key code, except that
// Shift, Control and Alt become their left or right codes (160..165) by the
// scan code or the extended-key bit of lParam, so the generic codes 16..18
// never reach the events.
int KeyCodeOfMessage(WPARAM wParam, LPARAM lParam);

// Called by the pump before a message is dispatched: a Shift, Control, Alt or
// Windows key message updates the held modifiers from the keyboard state, so
// the event made from that very message carries them.
void NoteModifierKeyMessage(const MSG& message);
