#include "system/x11/x11_connection.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>

#include <cmath>
#include <vector>

#include "runtime/program.h"

namespace {

struct Registration {
  Window window = None;
  X11WindowProcedure procedure = nullptr;
  void* context = nullptr;
  int width = 0;
  int height = 0;
  // Where a scaled display shows; areaWidth 0 when it is not scaled.
  int displayWidth = 0, displayHeight = 0;
  int areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0;
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

// Runs as the program ends, and the connection stays closed: objects that
// outlive the exit actions (images held in static storage) must not open a
// new one, whose own exit action could no longer run.
void CloseConnection() {
  if (!display) return;
  if (invisibleCursor != None) XFreeCursor(display, invisibleCursor);
  XCloseDisplay(display);
  display = nullptr;
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
  const bool scaled = registration->areaWidth > 0;
  width = scaled ? registration->displayWidth : registration->width;
  height = scaled ? registration->displayHeight : registration->height;
  return true;
}

void SetX11FixedGeometry(Display* display, Window window, int x, int y, int width, int height) {
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = USPosition | USSize | PPosition | PSize | PMinSize | PMaxSize;
  hints->x = x;
  hints->y = y;
  hints->width = hints->min_width = hints->max_width = width;
  hints->height = hints->min_height = hints->max_height = height;
  XSetWMNormalHints(display, window, hints);
  XFree(hints);
}

void SetX11DisplayArea(Window window, int width, int height, int areaX, int areaY, int areaWidth,
                       int areaHeight) {
  Registration* r = FindRegistration(window);
  if (!r || width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return;
  r->displayWidth = width, r->displayHeight = height;
  r->areaX = areaX, r->areaY = areaY, r->areaWidth = areaWidth, r->areaHeight = areaHeight;
}

void X11WindowToDisplay(Window window, int& x, int& y) {
  const Registration* r = FindRegistration(window);
  if (!r || r->areaWidth <= 0) return;
  x = static_cast<int>(
      std::floor(static_cast<double>(x - r->areaX) * r->displayWidth / r->areaWidth));
  y = static_cast<int>(
      std::floor(static_cast<double>(y - r->areaY) * r->displayHeight / r->areaHeight));
}

void X11DisplayToWindow(Window window, int& x, int& y) {
  const Registration* r = FindRegistration(window);
  if (!r || r->areaWidth <= 0) return;
  // The centre of the display pixel, in window pixels.
  x = r->areaX + static_cast<int>((x + 0.5) * r->areaWidth / r->displayWidth);
  y = r->areaY + static_cast<int>((y + 0.5) * r->areaHeight / r->displayHeight);
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
