#include "system/x11/x11_translate.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <array>

#include "system/event.h"
#include "system/modifier_keys.h"
#include "system/polled_input.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "system/x11/x11_keymap.h"

namespace {

// What each X key (by keycode) was pressed as, so that an auto-repeated press
// is not a new KeyDown and a release gives the code its press gave.
struct HeldKey {
  bool down = false;
  int code = 0;
};
std::array<HeldKey, 256> heldKeys;

// The window the pointer is known to be inside, and the source it was entered with.
Window trackedWindow = None;
Ref<Object> trackedSource;

void Post(int id, const Ref<Object>& source, int data, int x = 0, int y = 0) {
  PostWindowEvent(id, source, data, CurrentModifiers(), x, y, nullptr);
}

void RecomputeModifiers() {
  SetCurrentModifiers(ModifiersWhere([](int code) {
    for (const HeldKey& key : heldKeys) {
      if (key.down && key.code == code) return true;
    }
    return false;
  }));
}

bool IsNumericKeypadKeysym(KeySym keysym) {
  return (keysym >= XK_KP_0 && keysym <= XK_KP_9) || keysym == XK_KP_Decimal ||
         keysym == XK_KP_Separator;
}

int CodeOfKeycode(Display* display, unsigned keycode, unsigned state) {
  KeySym keysym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 0);
  // The keypad's second level holds its digits; NumLock selects them.
  if (state & XkbKeysymToModifiers(display, XK_Num_Lock)) {
    KeySym numeric = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 1);
    if (IsNumericKeypadKeysym(numeric)) keysym = numeric;
  }
  return KeyCodeOfKeysym(keysym);
}

HeldKey* HeldKeyOf(unsigned keycode) {
  return keycode < heldKeys.size() ? &heldKeys[keycode] : nullptr;
}

// Keys go up and down unseen while another window has the focus.
void ResynchroniseKeys(const XFocusChangeEvent& focus) {
  heldKeys.fill({});
  if (focus.type == FocusIn) {
    char keys[32] = {};
    XQueryKeymap(focus.display, keys);
    for (unsigned keycode = 0; keycode < heldKeys.size(); keycode++) {
      if (keys[keycode / 8] & (1 << (keycode % 8))) {
        heldKeys[keycode] = {true, CodeOfKeycode(focus.display, keycode, 0)};
      }
    }
  }
  RecomputeModifiers();
}

void PostTypedCharacters(XKeyEvent& key, const Ref<Object>& source) {
  char text[16];
  KeySym keysym = NoSymbol;
  int length = XLookupString(&key, text, sizeof text, &keysym, nullptr);
  // Delete types nothing on Windows.
  if (keysym == XK_Delete || keysym == XK_KP_Delete) return;
  for (int i = 0; i < length; i++) Post(EVENT_KEYCHAR, source, static_cast<unsigned char>(text[i]));
}

void OnKeyPress(const XKeyEvent& event, const Ref<Object>& source) {
  XKeyEvent key = event;
  HeldKey* held = HeldKeyOf(key.keycode);
  if (held && !held->down) {
    *held = {true, KeyCodeOf(key)};
    if (ModifierOfKey(held->code)) RecomputeModifiers();
    if (held->code) Post(EVENT_KEYDOWN, source, held->code);
  }
  // Auto-repeat types characters but never presses a key again.
  PostTypedCharacters(key, source);
}

void OnKeyRelease(const XKeyEvent& event, const Ref<Object>& source) {
  XKeyEvent key = event;
  HeldKey* held = HeldKeyOf(key.keycode);
  int code = held && held->down ? held->code : KeyCodeOf(key);
  if (held) *held = {};
  if (ModifierOfKey(code)) RecomputeModifiers();
  if (code) Post(EVENT_KEYUP, source, code);
}

// The pointer relative to window, which it may have left by now.
void PointerIn(Window window, int& x, int& y) {
  Window root = None, child = None;
  int rootX = 0, rootY = 0;
  unsigned mask = 0;
  x = y = 0;
  XQueryPointer(X11Display(), window, &root, &child, &rootX, &rootY, &x, &y, &mask);
}

// target is the registered window the pointer is inside now, or None. (x, y)
// is the pointer relative to the event's window.
void TrackPointer(Window target, const Ref<Object>& source, Window eventWindow, int x, int y) {
  if (target == trackedWindow) return;
  int width = 0, height = 0;
  // A window unregistered while tracked is gone: it has nobody to tell.
  if (trackedWindow != None && X11WindowSize(trackedWindow, width, height)) {
    int leaveX = x, leaveY = y;
    if (trackedWindow != eventWindow) PointerIn(trackedWindow, leaveX, leaveY);
    Ref<Object> leftSource = trackedSource;
    trackedWindow = None;
    trackedSource = nullptr;
    PostWindowEvent(EVENT_MOUSELEAVE, leftSource, 0, 0, leaveX, leaveY, nullptr);
  }
  trackedWindow = target;
  trackedSource = target != None ? source : nullptr;
  if (target != None) PostWindowEvent(EVENT_MOUSEENTER, source, 0, 0, x, y, nullptr);
}

void OnMotion(const XMotionEvent& motion, const Ref<Object>& source) {
  int width = 0, height = 0;
  bool inside = X11WindowSize(motion.window, width, height) && motion.x >= 0 && motion.x < width &&
                motion.y >= 0 && motion.y < height;
  TrackPointer(inside ? motion.window : None, source, motion.window, motion.x, motion.y);
  Post(EVENT_MOUSEMOVE, source, 0, motion.x, motion.y);
}

// X numbers the middle button 2 and the right one 3; 0 for the wheel and the rest.
int ButtonOf(unsigned xButton) {
  switch (xButton) {
    case Button1:
      return MOUSE_LEFT;
    case Button2:
      return MOUSE_MIDDLE;
    case Button3:
      return MOUSE_RIGHT;
    default:
      return 0;
  }
}

void OnButtonPress(const XButtonEvent& press, const Ref<Object>& source) {
  if (press.button == Button4 || press.button == Button5) {
    Post(EVENT_MOUSEWHEEL, source, press.button == Button4 ? 1 : -1);
    return;
  }
  int button = ButtonOf(press.button);
  if (!button) return;
  // Like a capture: the window keeps the pointer's events until a release,
  // even outside it.
  XGrabPointer(press.display, press.window, False,
               ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, None, None, press.time);
  Post(EVENT_MOUSEDOWN, source, button, press.x, press.y);
}

void OnButtonRelease(const XButtonEvent& release, const Ref<Object>& source) {
  int button = ButtonOf(release.button);
  if (!button) return;
  XUngrabPointer(release.display, release.time);
  Post(EVENT_MOUSEUP, source, button, release.x, release.y);
}

// Focus moving inside the window, following the pointer, or in and out of a
// keyboard grab (a menu's, say) is no switch of application.
bool IsActivationChange(const XFocusChangeEvent& focus) {
  return focus.mode != NotifyGrab && focus.mode != NotifyUngrab && focus.detail != NotifyInferior &&
         focus.detail != NotifyPointer;
}

void OnFocus(const XFocusChangeEvent& focus, const Ref<Object>& source) {
  ResynchroniseKeys(focus);
  if (!IsActivationChange(focus)) return;
  Post(focus.type == FocusIn ? EVENT_APPRESUME : EVENT_APPSUSPEND, source, 0);
}

void OnClientMessage(const XClientMessageEvent& message, const Ref<Object>& source) {
  if (message.message_type != X11ProtocolsAtom() || message.format != 32) return;
  if (static_cast<Atom>(message.data.l[0]) != X11DeleteWindowAtom()) return;
  Post(EVENT_APPTERMINATE, source, 0);
}

}  // namespace

void TranslateWindowMessage(const XEvent& event, const Ref<Object>& source) {
  switch (event.type) {
    case KeyPress:
      return OnKeyPress(event.xkey, source);
    case KeyRelease:
      return OnKeyRelease(event.xkey, source);
    case ButtonPress:
      return OnButtonPress(event.xbutton, source);
    case ButtonRelease:
      return OnButtonRelease(event.xbutton, source);
    case MotionNotify:
      return OnMotion(event.xmotion, source);
    case LeaveNotify:
      if (event.xcrossing.window == trackedWindow && event.xcrossing.detail != NotifyInferior) {
        TrackPointer(None, nullptr, event.xcrossing.window, event.xcrossing.x, event.xcrossing.y);
      }
      return;
    case FocusIn:
    case FocusOut:
      return OnFocus(event.xfocus, source);
    case ClientMessage:
      return OnClientMessage(event.xclient, source);
    default:
      return;
  }
}

int KeyCodeOf(XKeyEvent& event) { return CodeOfKeycode(event.display, event.keycode, event.state); }
