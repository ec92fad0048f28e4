// restorewindow TITLE: brings the minimised top-level window of another
// program with that title back, as a click on its taskbar button would, and
// prints the moment it asked, in milliseconds of the monotonic clock (the
// one the game's frame log starts from). Under Wine without a desktop there
// is no taskbar to click. Exit status 1 when no such window is there.

#include <windows.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: restorewindow TITLE\n", stderr);
    return 2;
  }
  const HWND window = FindWindowA(nullptr, argv[1]);
  if (!window) return 1;
  const auto asked = std::chrono::steady_clock::now().time_since_epoch();
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  std::printf("%.3f\n", std::chrono::duration<double, std::milli>(asked).count());
  return 0;
}
