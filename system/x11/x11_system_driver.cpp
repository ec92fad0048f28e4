#include "system/x11/x11_system_driver.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>

#include "system/x11/x11_connection.h"
#include "system/x11/x11_screen_saver.h"

void TX11SystemDriver::Pump() {
  Display* display = X11Display();
  if (!display) return;
  TickX11ScreenSaver();
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    DispatchX11Event(event);
  }
}

namespace {

// Blocks until the X connection has something to read or timeout (ms; -1
// for none) has passed, then pumps.
void WaitOnConnection(TX11SystemDriver& driver, int timeout) {
  Display* display = X11Display();
  if (!display) {
    driver.SleepFor(timeout < 0 ? 10 : std::min(timeout, 10));
    return;
  }
  // Events Xlib has read already would not wake the poll. XPending also
  // flushes our requests, which the server must see before we block.
  if (XPending(display) == 0) {
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (poll(&connection, 1, timeout) < 0 && errno == EINTR) {
    }
  }
  driver.Pump();
}

}  // namespace

void TX11SystemDriver::Wait() { WaitOnConnection(*this, -1); }

void TX11SystemDriver::WaitFor(int millis) { WaitOnConnection(*this, std::max(millis, 0)); }

bool TX11SystemDriver::HasDesktop() { return X11Display() != nullptr; }

int TX11SystemDriver::Millis() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t millis =
      static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<int32_t>(static_cast<uint32_t>(millis));
}

void TX11SystemDriver::SleepFor(int millis) {
  // A negative time would be a near-endless sleep as an unsigned count.
  if (millis <= 0) return;
  timespec remaining{millis / 1000, (millis % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) < 0 && errno == EINTR) {
  }
}

void TX11SystemDriver::MovePointer(int x, int y) {
  Display* display = X11Display();
  if (!display) return;
  Window window = ActiveX11Window();
  if (window == None) window = DefaultRootWindow(display);
  X11DisplayToWindow(window, x, y);
  // The protocol carries 16-bit coordinates; the server keeps the pointer on screen.
  x = std::clamp(x, INT16_MIN, INT16_MAX);
  y = std::clamp(y, INT16_MIN, INT16_MAX);
  XWarpPointer(display, None, window, 0, 0, 0, 0, x, y);
  XFlush(display);
}

void TX11SystemDriver::SetPointerVisible(bool visible) { SetX11PointerVisible(visible); }

void TX11SystemDriver::KeepScreenAwake(bool awake) { KeepX11ScreenAwake(awake); }

Ref<TSystemDriver> CreatePlatformSystemDriver() { return New<TX11SystemDriver>(); }
