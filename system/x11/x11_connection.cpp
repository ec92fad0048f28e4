#include "system/x11/x11_connection.h"

#include <X11/XKBlib.h>

#include <vector>

#include "runtime/program.h"

namespace {

struct Registration {
  Window window = None;
  X11WindowProcedure procedure = nullptr;
  void* context = nullptr;
  int width = 0;
  int height = 0;
};

Display* display = nullptr;
bool openTried = false;
Atom deleteWindowAtom = None;
Atom protocolsAtom = None;
Cursor invisibleCursor = None;
bool pointerVisible = true;
std::vector<Registration> windows;

Registration* FindRegistration(Window window) {
  for (Registration& registration : windows) {
    if (registration.window == window) return &registration;
  }
  return nullptr;
}

void CloseConnection() {
  if (!display) return;
  if (invisibleCursor != None) XFreeCursor(display, invisibleCursor);
  XCloseDisplay(display);
  display = nullptr;
  openTried = false;
  deleteWindowAtom = protocolsAtom = invisibleCursor = None;
  windows.clear();
}

Cursor InvisibleCursor() {
  if (invisibleCursor == None) {
    static const char noBits[1] = {0};
    Pixmap blank = XCreateBitmapFromData(display, DefaultRootWindow(display), noBits, 1, 1);
    XColor black{};
    invisibleCursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display, blank);
  }
  return invisibleCursor;
}

void ApplyPointerVisibility(Window window) {
  if (pointerVisible) {
    XUndefineCursor(display, window);
  } else {
    XDefineCursor(display, window, InvisibleCursor());
  }
}

}  // namespace

Display* X11Display() {
  if (display || openTried) return display;
  openTried = true;
  display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  // Held keys then repeat as presses alone, with no releases in between, so a
  // repeat is told from a new press by the key's previous state.
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(display, True, &detectable);
  deleteWindowAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
  protocolsAtom = XInternAtom(display, "WM_PROTOCOLS", False);
  AddExitAction(CloseConnection);
  return display;
}

Atom X11DeleteWindowAtom() { return X11Display() ? deleteWindowAtom : None; }
Atom X11ProtocolsAtom() { return X11Display() ? protocolsAtom : None; }

void RegisterX11Window(Window window, X11WindowProcedure procedure, void* context) {
  if (window == None || !X11Display()) return;
  UnregisterX11Window(window);
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, window, &attributes);
  windows.push_back({window, procedure, context, attributes.width, attributes.height});
  if (!pointerVisible) ApplyPointerVisibility(window);
}

void UnregisterX11Window(Window window) {
  // The window may be gone already, so it is not touched.
  std::erase_if(windows, [&](const Registration& r) { return r.window == window; });
}

void DispatchX11Event(const XEvent& event) {
  Registration* registration = FindRegistration(event.xany.window);
  if (!registration) return;
  if (event.type == ConfigureNotify && event.xconfigure.window == registration->window) {
    registration->width = event.xconfigure.width;
    registration->height = event.xconfigure.height;
  }
  // The procedure may register or unregister windows, which moves the entries.
  const Registration target = *registration;
  if (target.procedure) target.procedure(event, target.context);
  if (event.type == DestroyNotify && event.xdestroywindow.window == target.window) {
    UnregisterX11Window(target.window);
  }
}

bool X11WindowSize(Window window, int& width, int& height) {
  const Registration* registration = FindRegistration(window);
  if (!registration) return false;
  width = registration->width;
  height = registration->height;
  return true;
}

Window ActiveX11Window() {
  if (windows.empty() || !display) return None;
  Window focus = None;
  int revertTo = 0;
  XGetInputFocus(display, &focus, &revertTo);
  return FindRegistration(focus) ? focus : windows.back().window;
}

void SetX11PointerVisible(bool visible) {
  pointerVisible = visible;
  if (!display) return;
  for (const Registration& registration : windows) ApplyPointerVisibility(registration.window);
  XFlush(display);
}

bool IsX11PointerVisible() { return pointerVisible; }
