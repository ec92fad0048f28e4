#pragma once
// Which keys are modifiers, and the modifier bits held now, which every
// window event carries. The platforms differ in how they learn what is held
// (the X11 driver follows its key events, the Win32 one asks the keyboard
// state), not in what the bits mean.

#include <functional>

// The MODIFIER_ bit of a key code: Shift, Control and Alt by their generic
// and their left and right codes, and either Windows key; 0 for other keys.
int ModifierOfKey(int code);
// The MODIFIER_ bits of every modifier key that isDown reports held.
int ModifiersWhere(const std::function<bool(int code)>& isDown);

// The bits held now, as the platform's driver last worked them out.
int CurrentModifiers();
void SetCurrentModifiers(int modifiers);
