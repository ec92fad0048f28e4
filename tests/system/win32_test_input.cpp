#include "tests/system/win32_test_input.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "system/system_driver.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Wine runs a Unix program named by its path on drive Z:, but gives no
// process handle to wait on: the shell writes the exit status to a file
// (named by the time too: a process of another Wine prefix may have this id).
std::string StatusFile() {
  static int count = 0;
  return "/tmp/zorp-host-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount64()) + "-" + std::to_string(++count);
}

std::string OnDriveZ(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

bool TypingThroughX() {
  const char* way = std::getenv("ZORP_TEST_INPUT");
  return RunningUnderWine() && !(way && std::string_view(way) == "sendinput");
}

// X keycodes are the keyboard's scan codes plus 8, except for the keys with
// an extended (E0) scan code.
struct ExtendedKey {
  int xkey;
  WORD scan;
  WORD vk;
};

constexpr ExtendedKey EXTENDED_KEYS[] = {
    {XKEY_RCONTROL, 0x1D, VK_RCONTROL}, {XKEY_RALT, 0x38, VK_RMENU},  {XKEY_UP, 0x48, VK_UP},
    {XKEY_LEFT, 0x4B, VK_LEFT},         {XKEY_RIGHT, 0x4D, VK_RIGHT}, {XKEY_DOWN, 0x50, VK_DOWN},
};

struct KeyName {
  const char* name;
  int xkey;
};

constexpr KeyName KEY_NAMES[] = {{"Return", XKEY_RETURN}, {"Escape", 9}, {"Tab", XKEY_TAB}};

int XKeyOf(const std::string& word) {
  for (const KeyName& key : KEY_NAMES) {
    if (word == key.name) return key.xkey;
  }
  return std::atoi(word.c_str());
}

// A key going down or up as the keyboard sends it: the scan code, and the
// virtual key the keyboard layout gives it. Zero type for an unknown key.
INPUT KeyInput(const std::string& word, bool up) {
  INPUT input{};
  const int xkey = XKeyOf(word);
  KEYBDINPUT& key = input.ki;
  key.wScan = static_cast<WORD>(xkey - 8);
  for (const ExtendedKey& extended : EXTENDED_KEYS) {
    if (extended.xkey != xkey) continue;
    key.wScan = extended.scan;
    key.wVk = extended.vk;
    key.dwFlags = KEYEVENTF_EXTENDEDKEY;
  }
  if (!key.wVk && xkey > 8)
    key.wVk = static_cast<WORD>(MapVirtualKeyA(key.wScan, MAPVK_VSC_TO_VK_EX));
  // Wine tells the two Shifts apart by the extended flag alone.
  if (xkey == XKEY_RSHIFT && RunningUnderWine()) key.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  if (up) key.dwFlags |= KEYEVENTF_KEYUP;
  if (key.wVk) input.type = INPUT_KEYBOARD;
  return input;
}

struct Button {
  int number;
  DWORD down, up;
  int wheel;
};

constexpr Button BUTTONS[] = {
    {1, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0},
    {2, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0},
    {3, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0},
    {4, 0, 0, WHEEL_DELTA},
    {5, 0, 0, -WHEEL_DELTA},
};

INPUT MouseInput(DWORD flags, LONG dx = 0, LONG dy = 0, int wheel = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.mouseData = static_cast<DWORD>(wheel);
  return input;
}

// The pointer to (x, y) on the primary screen, whose width and height map to
// 65536: rounded up so that Windows' rounding down lands on the pixel.
INPUT MoveInput(int x, int y) {
  const LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  return MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (x * 65536 + width - 1) / width,
                    (y * 65536 + height - 1) / height);
}

// The inputs of the xdotool words that TypeInput takes; empty for words it
// does not know.
std::vector<INPUT> InputsOf(const std::string& actions) {
  std::istringstream words(actions);
  std::vector<INPUT> inputs;
  std::string command, word;
  while (words >> word) {
    if (word == "key" || word == "keydown" || word == "keyup" || word == "mousemove" ||
        word == "mousedown" || word == "mouseup" || word == "click") {
      command = word;
      continue;
    }
    if (word == "--delay") {
      words >> word;
      continue;
    }
    if (command == "mousemove") {
      int y = 0;
      if (!(words >> y)) return {};
      inputs.push_back(MoveInput(std::atoi(word.c_str()), y));
      continue;
    }
    if (command.starts_with("key")) {
      for (bool up : {false, true}) {
        if ((up && command == "keydown") || (!up && command == "keyup")) continue;
        inputs.push_back(KeyInput(word, up));
        if (!inputs.back().type) return {};
      }
      continue;
    }
    const int number = std::atoi(word.c_str());
    const Button* button = nullptr;
    for (const Button& b : BUTTONS) {
      if (b.number == number) button = &b;
    }
    if (!button || command.empty()) return {};
    if (button->wheel) {
      if (command == "click") inputs.push_back(MouseInput(MOUSEEVENTF_WHEEL, 0, 0, button->wheel));
      continue;
    }
    if (command != "mouseup") inputs.push_back(MouseInput(button->down));
    if (command != "mousedown") inputs.push_back(MouseInput(button->up));
  }
  return inputs;
}

}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool HasInteractiveDesktop() {
  // Fails in a service's session, and while the screen is locked (the input
  // then goes to the logon desktop).
  const HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  if (!input) return false;
  // The desktop that takes the input must be the one this program's windows
  // are shown on.
  char inputName[256] = {}, ownName[256] = {};
  const bool named =
      GetUserObjectInformationA(input, UOI_NAME, inputName, sizeof inputName, nullptr) &&
      GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, ownName,
                                sizeof ownName, nullptr);
  CloseDesktop(input);
  return named && std::string_view(inputName) == ownName;
}

bool RunOnHost(const std::string& command) {
  if (!RunningUnderWine()) return false;
  const std::string status = StatusFile();
  std::string line = "Z:\\bin\\sh -c \"" + command + "; echo $? > " + status + ".part; mv " +
                     status + ".part " + status + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  // Nothing to close: the thread handle Wine gives back for a Unix program is
  // none of its own (closing it once closed stdout).
  const std::string file = OnDriveZ(status);
  if (!WaitUntil([&] { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; })) {
    return false;
  }
  std::ifstream in(file);
  int code = -1;
  in >> code;
  in.close();
  DeleteFileA(file.c_str());
  return code == 0;
}

bool XdoTool(const std::string& args) { return RunOnHost("xdotool " + args); }

bool TypeInput(const std::string& actions) {
  if (TypingThroughX()) return XdoTool(actions);
  std::vector<INPUT> inputs = InputsOf(actions);
  if (inputs.empty()) return false;
  for (INPUT& input : inputs) {
    if (SendInput(1, &input, sizeof input) != 1) return false;
  }
  return true;
}

bool FocusWindow(HWND window) {
  if (!TypingThroughX()) return SetForegroundWindow(window);
  // Wine moves the X focus itself only when a window manager asks it to;
  // given the X focus, another thread's window takes the activation too.
  const bool ours = GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
  if (ours && !SetForegroundWindow(window)) return false;
  return XdoTool("windowfocus --sync " + std::to_string(XWindowOf(window)));
}

bool HeldKeysRepeat() { return TypingThroughX(); }

uintptr_t XWindowOf(HWND window) {
  return reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window"));
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMillis) {
  const auto deadline = steady_clock::now() + milliseconds(timeoutMillis);
  while (steady_clock::now() < deadline) {
    PumpEvents();
    if (done()) return true;
    Sleep(1);
  }
  return false;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMillis) {
  const auto deadline = steady_clock::now() + milliseconds(timeoutMillis);
  while (steady_clock::now() < deadline) {
    if (done()) return true;
    Sleep(1);
  }
  return false;
}
