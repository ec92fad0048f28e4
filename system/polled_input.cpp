#include "system/polled_input.h"

#include <array>

#include "runtime/program.h"
#include "system/event.h"
#include "system/hook.h"
#include "system/system_driver.h"

namespace {

constexpr int KEYS = 256;
constexpr int BUTTONS = 4;
constexpr int CHAR_RING = 256;

struct InputState {
  std::array<int, KEYS> keyDown{};
  std::array<int, KEYS> keyHits{};
  std::array<int, BUTTONS> mouseDown{};
  std::array<int, BUTTONS> mouseHits{};
  // Pointer x and y, the wheel position, and an unused entry.
  std::array<int, 4> mouseLocation{};
  std::array<int, CHAR_RING> charQueue{};
  unsigned charGet = 0, charPut = 0;
  int suspended = 0;
  int suspensions = 0;
  int quitRequested = 0;
  Ref<Object> attachedSource;
  bool attached = false;
};

InputState input;

// Codes and buttons outside the tables are ignored rather than trusted.
bool IsKey(int key) { return key >= 0 && key < KEYS; }
bool IsButton(int button) { return button >= 0 && button < BUTTONS; }

// A hit counts the change from up to down only.
template <size_t N>
void Press(std::array<int, N>& down, std::array<int, N>& hits, int index) {
  auto& held = down[static_cast<size_t>(index)];
  if (held) return;
  held = 1;
  ++hits[static_cast<size_t>(index)];
}

template <size_t N>
int Take(std::array<int, N>& table, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return 0;
  PumpEvents();
  const int value = table[static_cast<size_t>(index)];
  table[static_cast<size_t>(index)] = 0;
  return value;
}

template <size_t N>
int Read(const std::array<int, N>& table, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return 0;
  PumpEvents();
  return table[static_cast<size_t>(index)];
}

Ref<Object> InputHook(int, const Ref<Object>& data, const Ref<Object>&) {
  const auto event = Cast<TEvent>(data);
  if (!event || (input.attachedSource && input.attachedSource != event->source)) return data;
  const int code = event->data;
  switch (event->id) {
    case EVENT_KEYDOWN:
      if (IsKey(code)) Press(input.keyDown, input.keyHits, code);
      break;
    case EVENT_KEYUP:
      if (IsKey(code)) input.keyDown[static_cast<size_t>(code)] = 0;
      break;
    case EVENT_KEYCHAR:
      if (input.charPut - input.charGet < CHAR_RING) {
        input.charQueue[input.charPut++ % CHAR_RING] = code;
      }
      break;
    case EVENT_MOUSEDOWN:
      if (IsButton(code)) Press(input.mouseDown, input.mouseHits, code);
      break;
    case EVENT_MOUSEUP:
      if (IsButton(code)) input.mouseDown[static_cast<size_t>(code)] = 0;
      break;
    case EVENT_MOUSEMOVE:
      input.mouseLocation[0] = event->x;
      input.mouseLocation[1] = event->y;
      break;
    case EVENT_MOUSEWHEEL:
      input.mouseLocation[2] += code;
      break;
    case EVENT_APPSUSPEND:
    case EVENT_APPRESUME:
      ClearKeys();
      ClearMouse();
      input.suspended = event->id == EVENT_APPSUSPEND;
      input.suspensions += input.suspended;
      break;
    case EVENT_APPTERMINATE:
      input.quitRequested = 1;
      break;
  }
  return data;
}

}  // namespace

void StartPolledInput() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartSystem();
}

void AttachPolledInput(Ref<Object> source) {
  StartPolledInput();
  if (input.attached) return;
  input.attachedSource = std::move(source);
  ClearKeys();
  ClearMouse();
  InsertHook(EventHookId(), InputHook, nullptr, 0);
  input.attached = true;
}

void DetachPolledInput() {
  if (!input.attached) return;
  RemoveHook(EventHookId(), InputHook);
  ClearKeys();
  ClearMouse();
  input.attachedSource = nullptr;
  input.attached = false;
}

int IsAppSuspended() {
  PumpEvents();
  return input.suspended;
}

int TakeAppSuspensions() {
  PumpEvents();
  const int suspensions = input.suspensions;
  input.suspensions = 0;
  return suspensions;
}

int TakeQuitRequest() {
  PumpEvents();
  const int requested = input.quitRequested;
  input.quitRequested = 0;
  return requested;
}

int TakeKeyHits(int key) { return Take(input.keyHits, key); }

int IsKeyDown(int key) { return Read(input.keyDown, key); }

int TakeChar() {
  PumpEvents();
  if (input.charGet == input.charPut) return 0;
  return input.charQueue[input.charGet++ % CHAR_RING];
}

void ClearKeys() {
  PumpEvents();
  input.charGet = input.charPut = 0;
  input.keyDown.fill(0);
  input.keyHits.fill(0);
}

int PointerX() { return Read(input.mouseLocation, 0); }

int PointerY() { return Read(input.mouseLocation, 1); }

int WheelPosition() { return Read(input.mouseLocation, 2); }

void ClearMouse() {
  PumpEvents();
  input.mouseDown.fill(0);
  input.mouseHits.fill(0);
  input.mouseLocation[2] = 0;
}

int TakeMouseHits(int button) { return Take(input.mouseHits, button); }

int IsMouseDown(int button) { return Read(input.mouseDown, button); }

int WaitForKey() {
  ClearKeys();
  for (;;) {
    WaitEvents();
    for (int key = 1; key < KEYS; ++key) {
      if (TakeKeyHits(key)) return key;
    }
  }
}

int WaitForChar() {
  ClearKeys();
  for (;;) {
    WaitEvents();
    if (const int c = TakeChar()) return c;
  }
}

int WaitForMouse() {
  ClearMouse();
  for (;;) {
    WaitEvents();
    for (int button = 1; button < BUTTONS; ++button) {
      if (TakeMouseHits(button)) return button;
    }
  }
}
