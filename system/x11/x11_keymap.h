#pragma once
// The engine's key codes are Windows virtual-key codes; this maps X keysyms
// onto them as Windows codes the keys of a US keyboard.

#include <X11/X.h>

// The key code of an unshifted keysym; 0 for keysyms that have none.
int KeyCodeOfKeysym(KeySym keysym);
