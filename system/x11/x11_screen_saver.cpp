#include "system/x11/x11_screen_saver.h"

#include <X11/extensions/scrnsaver.h>

#include <chrono>

#include "system/x11/x11_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

// As often as desktops look at their idle time, and well within the shortest
// screen saver delay they offer (a minute).
constexpr auto RESET_PERIOD = std::chrono::seconds(30);

bool awake = false;
bool suspended = false;
Clock::time_point lastReset;

void Reset(Display* display) {
  XResetScreenSaver(display);
  XFlush(display);
  lastReset = Clock::now();
}

}  // namespace

void KeepX11ScreenAwake(bool on) {
  Display* display = X11Display();
  if (!display || on == awake) return;
  awake = on;
  // The server counts suspensions per client: one on, one off.
  int event = 0, error = 0;
  if (awake && XScreenSaverQueryExtension(display, &event, &error)) {
    XScreenSaverSuspend(display, True);
    suspended = true;
  } else if (!awake && suspended) {
    XScreenSaverSuspend(display, False);
    suspended = false;
  }
  if (awake) Reset(display);
  XFlush(display);
}

void TickX11ScreenSaver() {
  if (!awake || Clock::now() - lastReset < RESET_PERIOD) return;
  if (Display* display = X11Display()) Reset(display);
}
