#include "tests/system/win32_test_input.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "system/system_driver.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Wine runs a Unix program named by its path on drive Z:, but gives no
// process handle to wait on: the shell writes the exit status to a file.
std::string StatusFile() {
  static int count = 0;
  return "/tmp/zorp-xdotool-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++count);
}

std::string OnDriveZ(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool XdoTool(const std::string& args) {
  const std::string status = StatusFile();
  std::string command = "Z:\\bin\\sh -c \"xdotool " + args + "; echo $? > " + status +
                        ".part; mv " + status + ".part " + status + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
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
