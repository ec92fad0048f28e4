#include "system/win32/win32_translate.h"

#include <windowsx.h>

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

// Scan codes with the extended-key flag as bit 7: the right Control and Alt
// keys are the extended forms of the left ones.
struct ScanCode {
  int scan;
  int code;
};

constexpr ScanCode SIDED_SCAN_CODES[] = {
    {0x2A, KEY_LSHIFT},   {0x36, KEY_RSHIFT}, {0x1D, KEY_LCONTROL},
    {0x9D, KEY_RCONTROL}, {0x38, KEY_LALT},   {0xB8, KEY_RALT},
};

constexpr LPARAM PREVIOUSLY_DOWN = 1 << 30;
constexpr LPARAM EXTENDED_KEY = 1 << 24;
constexpr int WHEEL_NOTCH = 120;

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
  const int scan = static_cast<int>((lParam >> 16) & 0x7F) | ((lParam & EXTENDED_KEY) ? 0x80 : 0);
  for (const ScanCode& entry : SIDED_SCAN_CODES) {
    if (entry.scan == scan) return entry.code;
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
      // Auto-repeat presses no key again.
      if ((lParam & PREVIOUSLY_DOWN) || !IsKeyCode(wParam)) return;
      return Post(EVENT_KEYDOWN, source, KeyCodeOfMessage(wParam, lParam));
    case Action::KEY_UP:
      if (!IsKeyCode(wParam)) return;
      return Post(EVENT_KEYUP, source, KeyCodeOfMessage(wParam, lParam));
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
    case WM_CLOSE:
      return true;
    default:
      return false;
  }
}
