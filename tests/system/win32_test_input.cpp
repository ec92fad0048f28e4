#include "tests/system/win32_test_input.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

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

bool Send(INPUT input) { return SendInput(1, &input, sizeof input) == 1; }

// X keycodes are the keyboard's scan codes plus 8, but for the keys with an
// extended (E0) scan code.
constexpr int EXTENDED_KEYS[][2] = {{XKEY_RCONTROL, 0x1D}, {XKEY_RALT, 0x38},  {XKEY_UP, 0x48},
                                    {XKEY_LEFT, 0x4B},     {XKEY_RIGHT, 0x4D}, {XKEY_DOWN, 0x50}};

// A key going down or up as the keyboard sends it: the scan code, and the
// virtual key the keyboard layout gives it.
bool SendKey(int xkey, bool up) {
  int scan = xkey - 8;
  DWORD flags = up ? KEYEVENTF_KEYUP : 0;
  for (const auto& [key, extended] : EXTENDED_KEYS) {
    if (key == xkey) scan = 0xE000 | extended, flags |= KEYEVENTF_EXTENDEDKEY;
  }
  // Wine tells the two Shifts apart by the extended flag alone.
  if (xkey == XKEY_RSHIFT && RunningUnderWine()) flags |= KEYEVENTF_EXTENDEDKEY;
  const WORD vk = static_cast<WORD>(MapVirtualKeyA(scan, MAPVK_VSC_TO_VK_EX));
  return Send({INPUT_KEYBOARD, {.ki = {vk, static_cast<WORD>(scan & 0xFF), flags, 0, 0}}});
}

bool SendMouse(DWORD flags, int wheel = 0) {
  return Send({INPUT_MOUSE, {.mi = {0, 0, static_cast<DWORD>(wheel), flags, 0, 0}}});
}

// Types TypeInput's words by SendInput and SetCursorPos; false at one unknown.
bool SendWords(const std::string& actions) {
  // xdotool's buttons 1 to 3: each one's up flag is the bit after its down flag.
  constexpr DWORD BUTTONS[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_RIGHTDOWN};
  std::istringstream words(actions);
  std::string verb, word;
  bool sent = true;
  while (sent && words >> word) {
    const int n = word == "Escape" ? 9 : word == "Return" ? XKEY_RETURN : std::atoi(word.c_str());
    const bool press = !verb.ends_with("up"), release = !verb.ends_with("down");
    if (!n && word != "0") {
      verb = word;
    } else if (verb == "mousemove") {
      int y = 0;
      sent = words >> y && SetCursorPos(n, y);
    } else if (verb.starts_with("key") && n > 8) {
      sent = (!press || SendKey(n, false)) && (!release || SendKey(n, true));
    } else if (verb == "click" && (n == 4 || n == 5)) {  // a wheel notch forward or back
      sent = SendMouse(MOUSEEVENTF_WHEEL, n == 4 ? WHEEL_DELTA : -WHEEL_DELTA);
    } else if (verb.starts_with("mouse") || verb == "click") {
      sent = n >= 1 && n <= 3 && (!press || SendMouse(BUTTONS[n - 1])) &&
             (!release || SendMouse(BUTTONS[n - 1] << 1));
    } else {
      return false;
    }
  }
  return sent;
}

}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool HasInteractiveDesktop() {
  // The input's desktop (none in a service's session or a locked screen) is ours.
  const HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  char inputName[256] = {}, ownName[256] = {};
  const bool named =
      input && GetUserObjectInformationA(input, UOI_NAME, inputName, sizeof inputName, nullptr) &&
      GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, ownName,
                                sizeof ownName, nullptr);
  if (input) CloseDesktop(input);
  return named && std::string_view(inputName) == ownName;
}

bool RunOnHost(const std::string& args) {
  const std::string status = StatusFile();
  std::string command = "Z:\\bin\\sh -c \"" + args + "; echo $? > " + status + ".part; mv " +
                        status + ".part " + status + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
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

bool TypeInput(const std::string& actions) {
  return TypingThroughX() ? RunOnHost("xdotool " + actions) : SendWords(actions);
}

bool FocusWindow(HWND window) {
  if (!TypingThroughX()) return SetForegroundWindow(window);
  // Wine moves the X focus itself only when a window manager asks it to;
  // given the X focus, another thread's window takes the activation too.
  const bool ours = GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
  if (ours && !SetForegroundWindow(window)) return false;
  return RunOnHost("xdotool windowfocus --sync " + std::to_string(XWindowOf(window)));
}

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
