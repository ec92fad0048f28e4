#include "system/win32/win32_translate.h"

#include <windowsx.h>

#include <algorithm>
#include <iterator>

#include "runtime/program.h"
#include "system/event.h"
#include "system/modifier_keys.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace {

enum class Action {
  CLOSE,
  END_SESSION,
  ACTIVATE,
  KEY_DOWN,
  KEY_UP,
  CHARACTER,
  MOVE,
  PRESS,
  RELEASE,
  WHEEL,
  LEAVE
};

struct MessageAction {
  UINT message;
  Action action;
  int button;
};

constexpr MessageAction MESSAGE_ACTIONS[] = {
    {WM_CLOSE, Action::CLOSE, 0},
    {WM_ENDSESSION, Action::END_SESSION, 0},
    {WM_ACTIVATEAPP, Action::ACTIVATE, 0},
    {WM_KEYDOWN, Action::KEY_DOWN, 0},
    {WM_SYSKEYDOWN, Action::KEY_DOWN, 0},
    {WM_KEYUP, Action::KEY_UP, 0},
    {WM_SYSKEYUP, Action::KEY_UP, 0},
    {WM_CHAR, Action::CHARACTER, 0},
    {WM_SYSCHAR, Action::CHARACTER, 0},
    {WM_MOUSEMOVE, Action::MOVE, 0},
    {WM_LBUTTONDOWN, Action::PRESS, MOUSE_LEFT},
    {WM_RBUTTONDOWN, Action::PRESS, MOUSE_RIGHT},
    {WM_MBUTTONDOWN, Action::PRESS, MOUSE_MIDDLE},
    {WM_LBUTTONUP, Action::RELEASE, MOUSE_LEFT},
    {WM_RBUTTONUP, Action::RELEASE, MOUSE_RIGHT},
    {WM_MBUTTONUP, Action::RELEASE, MOUSE_MIDDLE},
    {WM_MOUSEWHEEL, Action::WHEEL, 0},
    {WM_MOUSELEAVE, Action::LEAVE, 0},
};

// Shift, Control and Alt come with one virtual-key code for both sides.
struct SidedKey {
  WPARAM generic;
  int left, right;
};

constexpr SidedKey SIDED_KEYS[] = {
    {VK_SHIFT, KEY_LSHIFT, KEY_RSHIFT},
    {VK_CONTROL, KEY_LCONTROL, KEY_RCONTROL},
    {VK_MENU, KEY_LALT, KEY_RALT},
};

constexpr int RIGHT_SHIFT_SCAN = 0x36;

constexpr LPARAM PREVIOUSLY_DOWN = 1 << 30;
constexpr LPARAM EXTENDED_KEY = 1 << 24;
constexpr int WHEEL_NOTCH = 120;

// System commands a display window refuses: the window menu that Alt,
// Alt+Space or Alt and a letter would open (it would stop the game and take
// the next keys), the screen saver, and the monitor's power saving.
constexpr WPARAM REFUSED_COMMANDS[] = {SC_KEYMENU, SC_SCREENSAVE, SC_MONITORPOWER};

// The left and right Shift, Control and Alt keys reported down, one bit each
// from KEY_LSHIFT.
unsigned sidesDown = 0;

// The window the pointer is known to be inside, and the source it was entered with.
HWND trackedWindow = nullptr;
Ref<Object> trackedSource;

void Post(int id, const Ref<Object>& source, int data, int x = 0, int y = 0) {
  PostWindowEvent(id, source, data, CurrentModifiers(), x, y, nullptr);
}

bool IsKeyMessage(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
         message == WM_SYSKEYUP;
}

bool IsKeyCode(WPARAM wParam) { return wParam >= 1 && wParam <= 255; }

// The bit of a left or right Shift, Control or Alt in sidesDown; 0 for
// other keys.
unsigned SideBit(int code) {
  return code >= KEY_LSHIFT && code <= KEY_RALT ? 1u << (code - KEY_LSHIFT) : 0;
}

// Windows sends no key-up for a Shift let go while the other Shift is held,
// since the Shift it reports stays down. Every key message brings the
// keyboard state that GetKeyState reads up to date: a side reported down that
// it shows up gets its key-up then (except the one the message is about).
void ReleaseSidesLetGo(const Ref<Object>& source, int messageCode) {
  for (int code = KEY_LSHIFT; code <= KEY_RALT; ++code) {
    if (code == messageCode || !(sidesDown & SideBit(code)) || GetKeyState(code) < 0) continue;
    sidesDown &= ~SideBit(code);
    Post(EVENT_KEYUP, source, code);
  }
}

// Auto-repeat presses no key again. The second Shift (or Control, or Alt)
// pressed while the first is held comes marked as a repeat too, since the
// key Windows reports was down already: a side not reported down is pressed
// now.
bool IsNewPress(int code, LPARAM lParam) {
  if (!(lParam & PREVIOUSLY_DOWN)) return true;
  const unsigned side = SideBit(code);
  return side && !(sidesDown & side);
}

void OnKey(bool down, WPARAM wParam, LPARAM lParam, const Ref<Object>& source) {
  if (!IsKeyCode(wParam)) return;
  const int code = KeyCodeOfMessage(wParam, lParam);
  ReleaseSidesLetGo(source, code);
  if (down && !IsNewPress(code, lParam)) return;
  if (down) {
    sidesDown |= SideBit(code);
  } else {
    sidesDown &= ~SideBit(code);
  }
  Post(down ? EVENT_KEYDOWN : EVENT_KEYUP, source, code);
}

// target is the window the pointer is inside now, or null.
void TrackPointer(HWND target, const Ref<Object>& source, int x, int y) {
  if (target == trackedWindow) return;
  const HWND left = trackedWindow;
  const Ref<Object> leftSource = trackedSource;
  trackedWindow = target;
  trackedSource = target ? source : nullptr;
  // A window destroyed while tracked is gone: it has nobody to tell.
  if (left && IsWindow(left)) {
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(left, &at);
    PostWindowEvent(EVENT_MOUSELEAVE, leftSource, 0, 0, at.x, at.y, nullptr);
  }
  if (!target) return;
  PostWindowEvent(EVENT_MOUSEENTER, source, 0, 0, x, y, nullptr);
  // Windows then tells us when the pointer leaves, with WM_MOUSELEAVE.
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = target;
  track.dwHoverTime = 0;
  TrackMouseEvent(&track);
}

// Outside the client area (possible only while a button holds the capture)
// the pointer leaves, and enters again on the way back.
void OnMove(HWND window, int x, int y, const Ref<Object>& source) {
  RECT client{};
  GetClientRect(window, &client);
  const bool inside = x >= 0 && y >= 0 && x < client.right && y < client.bottom;
  TrackPointer(inside ? window : nullptr, source, x, y);
  Post(EVENT_MOUSEMOVE, source, 0, x, y);
}

const MessageAction* ActionOf(UINT message) {
  for (const MessageAction& entry : MESSAGE_ACTIONS) {
    if (entry.message == message) return &entry;
  }
  return nullptr;
}

}  // namespace

int KeyCodeOfMessage(WPARAM wParam, LPARAM lParam) {
  for (const SidedKey& key : SIDED_KEYS) {
    if (key.generic != wParam) continue;
    // The right Shift has a scan code of its own (some input methods add the
    // extended-key flag to it); the right Control and Alt are the extended
    // forms of the left ones.
    const bool right = wParam == VK_SHIFT ? ((lParam >> 16) & 0x7F) == RIGHT_SHIFT_SCAN
                                          : (lParam & EXTENDED_KEY) != 0;
    return right ? key.right : key.left;
  }
  return static_cast<int>(wParam);
}

void NoteModifierKeyMessage(const MSG& message) {
  if (!IsKeyMessage(message.message) || !IsKeyCode(message.wParam)) return;
  if (!ModifierOfKey(static_cast<int>(message.wParam))) return;
  SetCurrentModifiers(ModifiersWhere([](int code) { return GetKeyState(code) < 0; }));
}

void TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            const Ref<Object>& source) {
  const MessageAction* entry = ActionOf(message);
  if (!entry) return;
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (entry->action) {
    case Action::CLOSE:
      return Post(EVENT_APPTERMINATE, source, 0);
    case Action::END_SESSION:
      // The session ends (unless wParam says it goes on), and Windows ends
      // the process once this returns, with no event read any more: the
      // program ends here, its exit actions saving what it keeps.
      if (!wParam) return;
      RunExitActions();
      ExitProcess(0);
    case Action::ACTIVATE:
      return Post(wParam ? EVENT_APPRESUME : EVENT_APPSUSPEND, source, 0);
    case Action::KEY_DOWN:
      return OnKey(true, wParam, lParam, source);
    case Action::KEY_UP:
      return OnKey(false, wParam, lParam, source);
    case Action::CHARACTER:
      return Post(EVENT_KEYCHAR, source, static_cast<int>(wParam));
    case Action::MOVE:
      return OnMove(window, x, y, source);
    case Action::PRESS:
      // The window keeps the pointer's messages until the release, even outside it.
      SetCapture(window);
      return Post(EVENT_MOUSEDOWN, source, entry->button, x, y);
    case Action::RELEASE:
      ReleaseCapture();
      return Post(EVENT_MOUSEUP, source, entry->button, x, y);
    case Action::WHEEL:
      return Post(EVENT_MOUSEWHEEL, source, GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_NOTCH);
    case Action::LEAVE:
      if (window == trackedWindow) TrackPointer(nullptr, nullptr, x, y);
      return;
  }
}

bool HandleDisplayWindowMessage(HWND window, UINT message, WPARAM wParam, bool fullScreen) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!fullScreen) SetCapture(window);
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (!fullScreen) ReleaseCapture();
      return true;
    case WM_SYSKEYDOWN:
      return wParam != VK_F4;
    case WM_SYSCOMMAND:
      return std::ranges::find(REFUSED_COMMANDS, wParam & 0xFFF0) != std::end(REFUSED_COMMANDS);
    case WM_CLOSE:
      return true;
    default:
      return false;
  }
}
