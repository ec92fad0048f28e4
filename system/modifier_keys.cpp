#include "system/modifier_keys.h"

#include "system/event.h"

namespace {

struct ModifierKey {
  int code;
  int bit;
};

// Windows virtual-key codes: the generic Shift, Control and Alt (16..18), the
// Windows keys (91, 92), and left and right Shift, Control and Alt (160..165).
constexpr ModifierKey MODIFIER_KEYS[] = {
    {16, MODIFIER_SHIFT},    {17, MODIFIER_CONTROL}, {18, MODIFIER_ALT},    {91, MODIFIER_SYSTEM},
    {92, MODIFIER_SYSTEM},   {160, MODIFIER_SHIFT},  {161, MODIFIER_SHIFT}, {162, MODIFIER_CONTROL},
    {163, MODIFIER_CONTROL}, {164, MODIFIER_ALT},    {165, MODIFIER_ALT},
};

int modifiersHeld = 0;

}  // namespace

int ModifierOfKey(int code) {
  for (const ModifierKey& key : MODIFIER_KEYS) {
    if (key.code == code) return key.bit;
  }
  return 0;
}

int ModifiersWhere(const std::function<bool(int code)>& isDown) {
  int bits = 0;
  for (const ModifierKey& key : MODIFIER_KEYS) {
    if (!(bits & key.bit) && isDown(key.code)) bits |= key.bit;
  }
  return bits;
}

int CurrentModifiers() { return modifiersHeld; }
void SetCurrentModifiers(int modifiers) { modifiersHeld = modifiers; }
