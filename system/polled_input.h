#pragma once
// Polled keyboard and mouse input: whether a key or button is held, how often
// it was pressed since last asked, typed characters, the pointer and the
// wheel. One hook on the event hook folds the events into tables; every query
// pumps the window system first, so answers are always up to date.
//
// Key codes are the Windows virtual-key codes 1..255 (left and right Shift,
// Control and Alt are 160..165); buttons are 1 left, 2 right, 3 middle.

#include "runtime/object.h"

enum : int {
  KEY_BACKSPACE = 8,
  KEY_TAB = 9,
  KEY_ENTER = 13,
  KEY_ESCAPE = 27,
  KEY_SPACE = 32,
  KEY_PAGEUP = 33,
  KEY_PAGEDOWN = 34,
  KEY_END = 35,
  KEY_HOME = 36,
  KEY_LEFT = 37,
  KEY_UP = 38,
  KEY_RIGHT = 39,
  KEY_DOWN = 40,
  KEY_INSERT = 45,
  KEY_DELETE = 46,
  KEY_0 = 48,
  KEY_A = 65,
  KEY_LSYS = 91,
  KEY_RSYS = 92,
  KEY_NUM0 = 96,
  KEY_F1 = 112,
  KEY_LSHIFT = 160,
  KEY_RSHIFT = 161,
  KEY_LCONTROL = 162,
  KEY_RCONTROL = 163,
  KEY_LALT = 164,
  KEY_RALT = 165,
};

enum : int { MOUSE_LEFT = 1, MOUSE_RIGHT = 2, MOUSE_MIDDLE = 3 };

void StartPolledInput();
// Takes events from source only (the null object: from every source). Does
// nothing when attached already.
void AttachPolledInput(Ref<Object> source);
void DetachPolledInput();

int IsAppSuspended();
// How often the application was suspended (lost the focus to another one)
// since the last call.
int TakeAppSuspensions();
// Whether the window was asked to close since the last call.
int TakeQuitRequest();
int TakeKeyHits(int key);
int IsKeyDown(int key);
// The next typed character, or 0.
int TakeChar();
void ClearKeys();
int PointerX();
int PointerY();
int WheelPosition();
void ClearMouse();
int TakeMouseHits(int button);
int IsMouseDown(int button);
int WaitForKey();
int WaitForChar();
int WaitForMouse();
