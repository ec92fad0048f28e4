#include "system/x11/x11_keymap.h"

#include <X11/keysym.h>

namespace {

// Keysyms that run in step with their key codes.
struct KeysymRange {
  KeySym first, last;
  int firstCode;
};

constexpr KeysymRange KEYSYM_RANGES[] = {
    {XK_a, XK_z, 65},        // A..Z
    {XK_A, XK_Z, 65},        // layouts whose first level is upper case
    {XK_0, XK_9, 48},        // 0..9
    {XK_F1, XK_F24, 112},    // F1..F24
    {XK_KP_0, XK_KP_9, 96},  // numeric keypad 0..9 (NumLock on)
    {XK_Left, XK_Down, 37},  // Left 37, Up 38, Right 39, Down 40
};

struct KeysymCode {
  KeySym keysym;
  int code;
};

constexpr KeysymCode KEYSYM_CODES[] = {
    {XK_BackSpace, 8},
    {XK_Tab, 9},
    {XK_Return, 13},
    {XK_Pause, 19},
    {XK_Caps_Lock, 20},
    {XK_Escape, 27},
    {XK_space, 32},
    {XK_Prior, 33},
    {XK_Next, 34},
    {XK_End, 35},
    {XK_Home, 36},
    {XK_Print, 44},
    {XK_Insert, 45},
    {XK_Delete, 46},
    {XK_Super_L, 91},
    {XK_Super_R, 92},
    {XK_Menu, 93},
    {XK_Num_Lock, 144},
    {XK_Scroll_Lock, 145},
    {XK_Shift_L, 160},
    {XK_Shift_R, 161},
    {XK_Control_L, 162},
    {XK_Control_R, 163},
    {XK_Alt_L, 164},
    {XK_Alt_R, 165},
    {XK_ISO_Level3_Shift, 165},  // AltGr

    // Punctuation, where a US keyboard has it.
    {XK_semicolon, 186},
    {XK_equal, 187},
    {XK_comma, 188},
    {XK_minus, 189},
    {XK_period, 190},
    {XK_slash, 191},
    {XK_grave, 192},
    {XK_bracketleft, 219},
    {XK_backslash, 220},
    {XK_bracketright, 221},
    {XK_apostrophe, 222},
    {XK_less, 226},  // the extra key of 102-key keyboards

    // Keypad; with NumLock off its digits are the navigation keys.
    {XK_KP_Multiply, 106},
    {XK_KP_Add, 107},
    {XK_KP_Separator, 108},
    {XK_KP_Subtract, 109},
    {XK_KP_Decimal, 110},
    {XK_KP_Divide, 111},
    {XK_KP_Enter, 13},
    {XK_KP_Begin, 12},
    {XK_KP_Prior, 33},
    {XK_KP_Next, 34},
    {XK_KP_End, 35},
    {XK_KP_Home, 36},
    {XK_KP_Left, 37},
    {XK_KP_Up, 38},
    {XK_KP_Right, 39},
    {XK_KP_Down, 40},
    {XK_KP_Insert, 45},
    {XK_KP_Delete, 46},
};

}  // namespace

int KeyCodeOfKeysym(KeySym keysym) {
  for (const KeysymRange& range : KEYSYM_RANGES) {
    if (keysym >= range.first && keysym <= range.last) {
      return range.firstCode + static_cast<int>(keysym - range.first);
    }
  }
  for (const KeysymCode& entry : KEYSYM_CODES) {
    if (entry.keysym == keysym) return entry.code;
  }
  return 0;
}
