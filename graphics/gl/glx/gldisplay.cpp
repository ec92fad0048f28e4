// The OpenGL window-system layer on GLX and Xlib.
//
// Full screen never changes the monitor's mode: a full-screen display is a
// borderless window over the monitor the pointer is on. The game renders into
// the bottom-left width x height area of its back buffer; when the monitor is
// bigger, each flip copies that area into a texture and draws it scaled over
// the window, aspect kept, with black bars.

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "graphics/display/display.h"
#include "graphics/gl/gl_platform.h"
#include "runtime/program.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "system/x11/x11_translate.h"
#include "system/x11/x11_window_identity.h"

enum : int {
  KIND_SHARED = 0,
  KIND_ATTACHED = 1,
  KIND_DESKTOP = 2,
  KIND_FULLSCREEN = 3,
};

struct GLDisplayRecord {
  int kind = KIND_SHARED;
  int width = 0, height = 0;
  int depth = 0;
  int hz = 0;
  int flags = 0;
  Window window = 0;
  Colormap colormap = 0;  // ours to free; 0 for attached windows
  GLXContext context = nullptr;
  bool doubleBuffered = false;
  // Per drawable, since that is what the swap-interval extensions set; -1
  // until the first flip sets it.
  int swapInterval = -1;
  // Scaled presentation (full screen on a bigger monitor).
  bool scaled = false;
  int windowWidth = 0, windowHeight = 0;
  int areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0;  // GL window coordinates
  GLuint presentTexture = 0;
  int textureWidth = 0, textureHeight = 0;
  bool viewportSet = false;
  // Unmapped since it was shown: iconified by the window manager, say.
  bool unmapped = false;
};

namespace {

using SwapIntervalEXT = void (*)(Display*, GLXDrawable, int);
using SwapIntervalInt = int (*)(int);  // the MESA and SGI forms

enum class SwapControl { NONE, EXT, MESA, SGI };

std::vector<std::unique_ptr<GLDisplayRecord>> records;  // newest last
GLDisplayRecord* current = nullptr;
std::unique_ptr<GLDisplayRecord> shared;
int sharedGeneration = 0;  // of the shared context now, or of the last one
SwapControl swapControl = SwapControl::NONE;

Display* XConnection() { return X11Display(); }

// Traps the X errors of a few requests on a window that is not ours, so a
// bad handle fails the call instead of ending the process.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    failed_ = false;
    previous_ = XSetErrorHandler(OnError);
  }
  ~XErrorTrap() { XSetErrorHandler(previous_); }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  bool Failed() {
    XSync(display_, False);
    return failed_;
  }

 private:
  static int OnError(Display*, XErrorEvent*) {
    failed_ = true;
    return 0;
  }
  static inline bool failed_ = false;
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*);
};

bool HasExtension(const char* list, const char* name) {
  const size_t length = std::strlen(name);
  for (const char* p = list; p && (p = std::strstr(p, name)) != nullptr; p += length) {
    const bool starts = p == list || p[-1] == ' ';
    const bool ends = p[length] == ' ' || p[length] == '\0';
    if (starts && ends) return true;
  }
  return false;
}

// Only what the server-side list promises works: Mesa's client string names
// swap controls that fail when called.
SwapControl FindSwapControl(Display* display) {
  const char* list = glXQueryExtensionsString(display, DefaultScreen(display));
  if (HasExtension(list, "GLX_EXT_swap_control")) return SwapControl::EXT;
  if (HasExtension(list, "GLX_MESA_swap_control")) return SwapControl::MESA;
  if (HasExtension(list, "GLX_SGI_swap_control")) return SwapControl::SGI;
  return SwapControl::NONE;
}

void SetSwapInterval(Display* display, GLDisplayRecord& record, int interval) {
  switch (swapControl) {
    case SwapControl::EXT:
      if (auto set = reinterpret_cast<SwapIntervalEXT>(gldisplay_proc("glXSwapIntervalEXT"))) {
        set(display, record.window, interval);
      }
      break;
    case SwapControl::MESA:
      if (auto set = reinterpret_cast<SwapIntervalInt>(gldisplay_proc("glXSwapIntervalMESA"))) {
        set(interval);
      }
      break;
    case SwapControl::SGI:
      // SGI's control cannot turn waiting off.
      if (interval == 0) break;
      if (auto set = reinterpret_cast<SwapIntervalInt>(gldisplay_proc("glXSwapIntervalSGI"))) {
        set(interval);
      }
      break;
    case SwapControl::NONE:
      break;
  }
  record.swapInterval = interval;
}

std::vector<int> VisualAttributes(int flags) {
  std::vector<int> a = {GLX_RGBA, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE,
                        1,        GLX_LEVEL,    0};
  if (flags & DF_BACKBUFFER) a.push_back(GLX_DOUBLEBUFFER);
  if (flags & DF_ALPHABUFFER) a.insert(a.end(), {GLX_ALPHA_SIZE, 1});
  if (flags & DF_DEPTHBUFFER) a.insert(a.end(), {GLX_DEPTH_SIZE, 1});
  if (flags & DF_STENCILBUFFER) a.insert(a.end(), {GLX_STENCIL_SIZE, 1});
  if (flags & DF_ACCUMBUFFER) {
    a.insert(a.end(), {GLX_ACCUM_RED_SIZE, 1, GLX_ACCUM_GREEN_SIZE, 1, GLX_ACCUM_BLUE_SIZE, 1});
  }
  a.push_back(0);  // None
  return a;
}

struct VisualDeleter {
  void operator()(XVisualInfo* info) const { XFree(info); }
};
using VisualPtr = std::unique_ptr<XVisualInfo, VisualDeleter>;

VisualPtr ChooseVisual(Display* display, int flags) {
  std::vector<int> attributes = VisualAttributes(flags);
  return VisualPtr(glXChooseVisual(display, DefaultScreen(display), attributes.data()));
}

// Whether an existing visual gives every buffer the flags ask for.
bool VisualFits(Display* display, XVisualInfo* visual, int flags) {
  const auto get = [&](int attribute) {
    int value = 0;
    return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
  };
  if (!get(GLX_USE_GL) || !get(GLX_RGBA) || get(GLX_LEVEL) != 0) return false;
  if (static_cast<bool>(flags & DF_BACKBUFFER) != static_cast<bool>(get(GLX_DOUBLEBUFFER))) {
    return false;
  }
  if ((flags & DF_ALPHABUFFER) && get(GLX_ALPHA_SIZE) < 1) return false;
  if ((flags & DF_DEPTHBUFFER) && get(GLX_DEPTH_SIZE) < 1) return false;
  if ((flags & DF_STENCILBUFFER) && get(GLX_STENCIL_SIZE) < 1) return false;
  if ((flags & DF_ACCUMBUFFER) && get(GLX_ACCUM_RED_SIZE) < 1) return false;
  return true;
}

void CloseAll();

// The hidden 1 x 1 context whose names every display shares.
bool EnsureShared(Display* display) {
  if (shared) return true;
  VisualPtr visual = ChooseVisual(display, 0);
  if (!visual) return false;
  auto record = std::make_unique<GLDisplayRecord>();
  Window root = RootWindow(display, visual->screen);
  record->colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = record->colormap;
  record->window = XCreateWindow(display, root, 0, 0, 1, 1, 0, visual->depth, InputOutput,
                                 visual->visual, CWColormap, &attributes);
  record->context = glXCreateContext(display, visual.get(), nullptr, True);
  if (!record->context) {
    XDestroyWindow(display, record->window);
    XFreeColormap(display, record->colormap);
    return false;
  }
  record->width = record->height = 1;
  shared = std::move(record);
  if (++sharedGeneration <= 0) sharedGeneration = 1;
  swapControl = FindSwapControl(display);
  // Before the connection's own exit action, which was added earlier.
  AddExitAction(CloseAll);
  return true;
}

GLDisplayRecord* Find(const GLDisplayRecord* record) {
  for (const auto& r : records) {
    if (r.get() == record) return r.get();
  }
  return nullptr;
}

// Whether the thread's current context is the shared one or a display's.
bool OursCurrent() {
  const GLXContext now = glXGetCurrentContext();
  if (!now) return false;
  if (shared && now == shared->context) return true;
  return std::any_of(records.begin(), records.end(),
                     [&](const auto& r) { return r->context == now; });
}

GLDisplayRecord* FindByWindow(Window window) {
  for (const auto& r : records) {
    if (r->window == window) return r.get();
  }
  return nullptr;
}

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

bool Contains(const Rect& r, int x, int y) {
  return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

struct ResourcesDeleter {
  void operator()(XRRScreenResources* r) const { XRRFreeScreenResources(r); }
};
struct CrtcDeleter {
  void operator()(XRRCrtcInfo* c) const { XRRFreeCrtcInfo(c); }
};
struct OutputDeleter {
  void operator()(XRROutputInfo* o) const { XRRFreeOutputInfo(o); }
};

struct Monitor {
  Rect rect;
  int hz = 0;               // 0 when unknown
  std::vector<Rect> modes;  // sizes the monitor offers
};

int RateOf(const XRRModeInfo& mode) {
  const double pixels = static_cast<double>(mode.hTotal) * mode.vTotal;
  if (pixels <= 0 || mode.dotClock == 0) return 0;
  return static_cast<int>(std::lround(static_cast<double>(mode.dotClock) / pixels));
}

const XRRModeInfo* ModeById(const XRRScreenResources& resources, RRMode id) {
  for (int i = 0; i < resources.nmode; i++) {
    if (resources.modes[i].id == id) return &resources.modes[i];
  }
  return nullptr;
}

// The monitor under the pointer, from XRandR; the whole screen without it.
Monitor PointerMonitor(Display* display) {
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  Monitor whole{{0, 0, XDisplayWidth(display, screen), XDisplayHeight(display, screen)}, 0, {}};
  int eventBase = 0, errorBase = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase)) return whole;
  std::unique_ptr<XRRScreenResources, ResourcesDeleter> resources(
      XRRGetScreenResourcesCurrent(display, root));
  if (!resources) return whole;

  Window rootReturn = 0, child = 0;
  int pointerX = 0, pointerY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display, root, &rootReturn, &child, &pointerX, &pointerY, &x, &y, &mask);

  Monitor best;
  bool found = false;
  for (int i = 0; i < resources->ncrtc; i++) {
    std::unique_ptr<XRRCrtcInfo, CrtcDeleter> crtc(
        XRRGetCrtcInfo(display, resources.get(), resources->crtcs[i]));
    if (!crtc || crtc->mode == 0 || crtc->width == 0 || crtc->height == 0) continue;
    Monitor m;
    m.rect = {crtc->x, crtc->y, static_cast<int>(crtc->width), static_cast<int>(crtc->height)};
    if (const XRRModeInfo* mode = ModeById(*resources, crtc->mode)) m.hz = RateOf(*mode);
    for (int o = 0; o < crtc->noutput; o++) {
      std::unique_ptr<XRROutputInfo, OutputDeleter> output(
          XRRGetOutputInfo(display, resources.get(), crtc->outputs[o]));
      if (!output) continue;
      for (int k = 0; k < output->nmode; k++) {
        if (const XRRModeInfo* mode = ModeById(*resources, output->modes[k])) {
          m.modes.push_back({0, 0, static_cast<int>(mode->width), static_cast<int>(mode->height)});
        }
      }
    }
    const bool under = Contains(m.rect, pointerX, pointerY);
    if (!found || under) {
      best = std::move(m);
      found = true;
      if (under) break;
    }
  }
  return found ? best : whole;
}

void DisplayWindowProcedure(const XEvent& event, void*) {
  GLDisplayRecord* record = FindByWindow(event.xany.window);
  if (record && (event.type == MapNotify || event.type == UnmapNotify)) {
    record->unmapped = event.type == UnmapNotify;
  }
  if (!record || !record->scaled) {
    TranslateWindowMessage(event, nullptr);
  } else {
    XEvent mapped = event;
    switch (event.type) {
      case MotionNotify:
        X11WindowToDisplay(record->window, mapped.xmotion.x, mapped.xmotion.y);
        break;
      case ButtonPress:
      case ButtonRelease:
        X11WindowToDisplay(record->window, mapped.xbutton.x, mapped.xbutton.y);
        break;
      case EnterNotify:
      case LeaveNotify:
        X11WindowToDisplay(record->window, mapped.xcrossing.x, mapped.xcrossing.y);
        break;
      default:
        break;
    }
    TranslateWindowMessage(mapped, nullptr);
  }
  // Coming back to a full-screen display puts it on top again; losing the
  // focus leaves it alone so the desktop stays usable. The event's hooks may
  // have closed the display meanwhile.
  if (event.type != FocusIn) return;
  record = FindByWindow(event.xany.window);
  if (record && record->kind == KIND_FULLSCREEN) {
    XRaiseWindow(event.xany.display, record->window);
  }
}

// Waits (briefly; a window manager may take its time) until the window is
// mapped, without taking the event from the queue.
bool WaitUntilMapped(Display* display, Window window) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  do {
    XWindowAttributes attributes{};
    XSync(display, False);
    if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

void SetTitle(Display* display, Window window) {
  const std::string title = AppTitle().ToUtf8();
  XStoreName(display, window, title.c_str());
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
}

void AskForFullScreen(Display* display, Window window) {
  // Motif hints: decorations off.
  const long motif[5] = {2, 0, 0, 0, 0};
  const Atom motifAtom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, window, motifAtom, motifAtom, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(motif), 5);
  const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&fullscreen), 1);
}

void FitArea(GLDisplayRecord& r) {
  const double scale = std::min(static_cast<double>(r.windowWidth) / r.width,
                                static_cast<double>(r.windowHeight) / r.height);
  r.areaWidth = std::min(r.windowWidth, static_cast<int>(std::lround(r.width * scale)));
  r.areaHeight = std::min(r.windowHeight, static_cast<int>(std::lround(r.height * scale)));
  r.areaX = (r.windowWidth - r.areaWidth) / 2;
  r.areaY = (r.windowHeight - r.areaHeight) / 2;
}

int PowerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

// Makes record current if it is not; returns what was current before.
struct CurrentBinding {
  GLXContext context;
  GLXDrawable drawable;
};

CurrentBinding Bind(Display* display, const GLDisplayRecord& record) {
  CurrentBinding before{glXGetCurrentContext(), glXGetCurrentDrawable()};
  if (before.context != record.context) glXMakeCurrent(display, record.window, record.context);
  return before;
}

void Restore(Display* display, const CurrentBinding& before) {
  if (glXGetCurrentContext() == before.context) return;
  glXMakeCurrent(display, before.context ? before.drawable : 0, before.context);
}

// Copies the drawing area into a texture and draws it over the whole window,
// bars black. Every piece of state touched is the 2D driver's, so all of it
// is put back.
void PresentScaled(GLDisplayRecord& r) {
  glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT |
               GL_SCISSOR_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT | GL_PIXEL_MODE_BIT |
               GL_POLYGON_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_FOG_BIT |
               GL_LIGHTING_BIT);
  for (GLenum mode : {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE}) {
    glMatrixMode(mode);
    glPushMatrix();
    glLoadIdentity();
  }

  if (!r.presentTexture) {
    // Power-of-two sizes keep to OpenGL 1.1.
    r.textureWidth = PowerOfTwoAtLeast(r.width);
    r.textureHeight = PowerOfTwoAtLeast(r.height);
    glGenTextures(1, &r.presentTexture);
    glBindTexture(GL_TEXTURE_2D, r.presentTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, r.textureWidth, r.textureHeight, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, nullptr);
  } else {
    glBindTexture(GL_TEXTURE_2D, r.presentTexture);
  }
  const GLenum buffer = r.doubleBuffered ? GL_BACK : GL_FRONT;
  glReadBuffer(buffer);
  glDrawBuffer(buffer);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, r.width, r.height);

  for (GLenum cap : {GL_SCISSOR_TEST, GL_BLEND, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_STENCIL_TEST,
                     GL_CULL_FACE, GL_LIGHTING, GL_FOG, GL_TEXTURE_1D, GL_TEXTURE_GEN_S,
                     GL_TEXTURE_GEN_T, GL_COLOR_LOGIC_OP, GL_DITHER}) {
    glDisable(cap);
  }
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  // Only the bars: the quad covers the rest, and a full clear costs as much
  // as the copy on a software renderer.
  const Rect bars[] = {
      {0, 0, r.areaX, r.windowHeight},
      {r.areaX + r.areaWidth, 0, r.windowWidth - r.areaX - r.areaWidth, r.windowHeight},
      {r.areaX, 0, r.areaWidth, r.areaY},
      {r.areaX, r.areaY + r.areaHeight, r.areaWidth, r.windowHeight - r.areaY - r.areaHeight},
  };
  glClearColor(0, 0, 0, 0);
  glEnable(GL_SCISSOR_TEST);
  for (const Rect& bar : bars) {
    if (bar.width <= 0 || bar.height <= 0) continue;
    glScissor(bar.x, bar.y, bar.width, bar.height);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);

  glViewport(r.areaX, r.areaY, r.areaWidth, r.areaHeight);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColor4f(1, 1, 1, 1);
  // From texel centre to texel centre, so nothing outside the copied area
  // (the texture is bigger) is ever sampled.
  const float u0 = 0.5f / r.textureWidth, v0 = 0.5f / r.textureHeight;
  const float u1 = (r.width - 0.5f) / r.textureWidth, v1 = (r.height - 0.5f) / r.textureHeight;
  glBegin(GL_QUADS);
  glTexCoord2f(u0, v0);
  glVertex2f(-1, -1);
  glTexCoord2f(u1, v0);
  glVertex2f(1, -1);
  glTexCoord2f(u1, v1);
  glVertex2f(1, 1);
  glTexCoord2f(u0, v1);
  glVertex2f(-1, 1);
  glEnd();

  for (GLenum mode : {GL_TEXTURE, GL_MODELVIEW, GL_PROJECTION}) {
    glMatrixMode(mode);
    glPopMatrix();
  }
  glPopAttrib();
}

GLXContext NewContext(Display* display, XVisualInfo* visual) {
  return glXCreateContext(display, visual, shared->context, True);
}

// Kinds 2 and 3: a window of our own with the visual's colormap.
std::unique_ptr<GLDisplayRecord> CreateWindowRecord(Display* display, const Rect& geometry,
                                                    int flags) {
  VisualPtr visual = ChooseVisual(display, flags);
  if (!visual) return nullptr;
  auto record = std::make_unique<GLDisplayRecord>();
  const Window root = RootWindow(display, visual->screen);
  record->colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = record->colormap;
  attributes.background_pixel = BlackPixel(display, visual->screen);
  attributes.border_pixel = 0;
  attributes.event_mask = X11_INPUT_EVENT_MASK | EnterWindowMask;
  record->window = XCreateWindow(
      display, root, geometry.x, geometry.y, static_cast<unsigned>(geometry.width),
      static_cast<unsigned>(geometry.height), 0, visual->depth, InputOutput, visual->visual,
      CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  record->context = NewContext(display, visual.get());
  if (!record->window || !record->context) {
    if (record->context) glXDestroyContext(display, record->context);
    if (record->window) XDestroyWindow(display, record->window);
    XFreeColormap(display, record->colormap);
    return nullptr;
  }
  record->doubleBuffered = flags & DF_BACKBUFFER;
  record->windowWidth = geometry.width;
  record->windowHeight = geometry.height;
  SetTitle(display, record->window);
  SetX11WindowIdentity(display, record->window);
  SetX11FixedGeometry(display, record->window, geometry.x, geometry.y, geometry.width,
                      geometry.height);
  Atom protocols[1] = {X11DeleteWindowAtom()};
  XSetWMProtocols(display, record->window, protocols, 1);
  return record;
}

void DestroyRecord(Display* display, GLDisplayRecord& record) {
  if (record.presentTexture) {
    // The name lives in the shared name space, past this context.
    const CurrentBinding before = Bind(display, record);
    glDeleteTextures(1, &record.presentTexture);
    Restore(display, before);
  }
  if (glXGetCurrentContext() == record.context) glXMakeCurrent(display, 0, nullptr);
  glXDestroyContext(display, record.context);
  if (record.kind != KIND_ATTACHED) {
    UnregisterX11Window(record.window);
    XDestroyWindow(display, record.window);
  }
  if (record.colormap) XFreeColormap(display, record.colormap);
  XFlush(display);
}

void CloseAll() {
  Display* display = XConnection();
  if (!display) return;
  while (!records.empty()) gldisplay_close(records.back().get());
  if (shared) {
    if (glXGetCurrentContext() == shared->context) glXMakeCurrent(display, 0, nullptr);
    glXDestroyContext(display, shared->context);
    XDestroyWindow(display, shared->window);
    XFreeColormap(display, shared->colormap);
    shared.reset();
  }
  XFlush(display);
}

}  // namespace

int gldisplay_modes(int* out, int max) {
  Display* display = XConnection();
  if (!display || max <= 0) return 0;
  const Monitor monitor = PointerMonitor(display);
  const int hz = monitor.hz > 0 ? monitor.hz : 60;
  static const Rect common[] = {{0, 0, 640, 480},   {0, 0, 800, 600},  {0, 0, 1024, 768},
                                {0, 0, 1280, 720},  {0, 0, 1280, 800}, {0, 0, 1280, 1024},
                                {0, 0, 1366, 768},  {0, 0, 1600, 900}, {0, 0, 1920, 1080},
                                {0, 0, 2560, 1440}, {0, 0, 3840, 2160}};
  std::vector<Rect> sizes = monitor.modes;
  sizes.insert(sizes.end(), std::begin(common), std::end(common));
  sizes.push_back(monitor.rect);
  // Only what fits on the monitor can be shown without changing its mode.
  std::erase_if(sizes, [&](const Rect& s) {
    return s.width < 1 || s.height < 1 || s.width > monitor.rect.width ||
           s.height > monitor.rect.height;
  });
  std::sort(sizes.begin(), sizes.end(), [](const Rect& a, const Rect& b) {
    return a.width != b.width ? a.width < b.width : a.height < b.height;
  });
  sizes.erase(std::unique(sizes.begin(), sizes.end(),
                          [](const Rect& a, const Rect& b) {
                            return a.width == b.width && a.height == b.height;
                          }),
              sizes.end());
  int count = 0;
  for (const Rect& s : sizes) {
    if (count == max) break;
    int* entry = out + static_cast<ptrdiff_t>(count) * 4;
    // A 24-bit X screen stores 32 bits per pixel.
    entry[0] = s.width;
    entry[1] = s.height;
    entry[2] = 32;
    entry[3] = hz;
    count++;
  }
  return count;
}

GLDisplayRecord* gldisplay_attach(intptr_t window, int flags) {
  Display* display = XConnection();
  if (!display || window <= 0 || !EnsureShared(display)) return nullptr;
  const Window handle = static_cast<Window>(window);
  XWindowAttributes attributes{};
  {
    XErrorTrap trap(display);
    const Status status = XGetWindowAttributes(display, handle, &attributes);
    if (trap.Failed() || !status) return nullptr;
  }
  // A GLX context renders only into windows of its own visual.
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = XScreenNumberOfScreen(attributes.screen);
  int count = 0;
  VisualPtr visual(XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count));
  if (!visual || count < 1 || !VisualFits(display, visual.get(), flags)) return nullptr;
  auto record = std::make_unique<GLDisplayRecord>();
  record->context = NewContext(display, visual.get());
  if (!record->context) return nullptr;
  record->kind = KIND_ATTACHED;
  record->window = handle;
  record->width = record->windowWidth = attributes.width;
  record->height = record->windowHeight = attributes.height;
  record->flags = flags;
  record->doubleBuffered = flags & DF_BACKBUFFER;
  records.push_back(std::move(record));
  return records.back().get();
}

GLDisplayRecord* gldisplay_create(int width, int height, int depth, int hz, int flags) {
  Display* display = XConnection();
  if (!display || width < 1 || height < 1 || !EnsureShared(display)) return nullptr;
  const bool fullScreen = depth != 0;
  Rect geometry{32, 32, width, height};
  if (fullScreen) {
    geometry = PointerMonitor(display).rect;
    // An area bigger than the monitor cannot be scaled down into its back
    // buffer; such a window shows its top-left part unscaled.
    if (width > geometry.width || height > geometry.height) {
      geometry.width = width;
      geometry.height = height;
    }
  }
  std::unique_ptr<GLDisplayRecord> record = CreateWindowRecord(display, geometry, flags);
  if (!record) return nullptr;
  record->kind = fullScreen ? KIND_FULLSCREEN : KIND_DESKTOP;
  record->width = width;
  record->height = height;
  record->depth = fullScreen ? depth : 0;
  record->hz = hz;
  record->flags = flags;
  record->scaled = geometry.width != width || geometry.height != height;
  if (record->scaled) FitArea(*record);
  if (fullScreen) AskForFullScreen(display, record->window);

  GLDisplayRecord* made = record.get();
  records.push_back(std::move(record));
  RegisterX11Window(made->window, DisplayWindowProcedure, nullptr);
  if (made->scaled) {
    // The system driver's events and pointer warps then speak display pixels;
    // the area is kept in GL's bottom-left coordinates here.
    const int top = made->windowHeight - made->areaY - made->areaHeight;
    SetX11DisplayArea(made->window, width, height, made->areaX, top, made->areaWidth,
                      made->areaHeight);
  }
  XMapRaised(display, made->window);
  if (WaitUntilMapped(display, made->window) && fullScreen) {
    XErrorTrap trap(display);
    XSetInputFocus(display, made->window, RevertToPointerRoot, CurrentTime);
    trap.Failed();
  }
  return made;
}

void gldisplay_settings(GLDisplayRecord* record, int& width, int& height, int& depth, int& hz,
                        int& flags) {
  width = height = depth = hz = flags = 0;
  Display* display = XConnection();
  if (!display || !Find(record)) return;
  if (record->kind == KIND_ATTACHED) {
    XWindowAttributes attributes{};
    XErrorTrap trap(display);
    const Status status = XGetWindowAttributes(display, record->window, &attributes);
    if (!trap.Failed() && status) {
      record->width = record->windowWidth = attributes.width;
      record->height = record->windowHeight = attributes.height;
    }
  }
  width = record->width;
  height = record->height;
  depth = record->depth;
  hz = record->hz;
  flags = record->flags;
}

void gldisplay_close(GLDisplayRecord* record) {
  Display* display = XConnection();
  if (!display || !Find(record)) return;
  if (record == current) gldisplay_make_current(nullptr);
  DestroyRecord(display, *record);
  std::erase_if(records, [&](const auto& r) { return r.get() == record; });
}

bool gldisplay_hidden(GLDisplayRecord* record) {
  record = Find(record);
  return record && record->unmapped;
}

void gldisplay_make_current(GLDisplayRecord* record) {
  Display* display = XConnection();
  if (!display) return;
  if (record && !Find(record)) record = nullptr;
  // Also after ToggleSharedContext left the shared context current.
  if (record == current && glXGetCurrentContext() == (record ? record->context : nullptr)) return;
  current = record;
  if (!record) {
    glXMakeCurrent(display, 0, nullptr);
    return;
  }
  glXMakeCurrent(display, record->window, record->context);
  if (record->scaled && !record->viewportSet) {
    // A new context's viewport is the whole window; the display's is its area.
    glViewport(0, 0, record->width, record->height);
    glScissor(0, 0, record->width, record->height);
    record->viewportSet = true;
  }
}

void gldisplay_flip(int sync) {
  Display* display = XConnection();
  if (!display || !current) return;
  const int interval = sync ? 1 : 0;
  if (interval != current->swapInterval) SetSwapInterval(display, *current, interval);
  if (current->scaled) PresentScaled(*current);
  glXSwapBuffers(display, current->window);
}

void gldisplay_toggle_shared() {
  Display* display = XConnection();
  if (!display || !shared) return;
  if (glXGetCurrentContext() != shared->context) {
    glXMakeCurrent(display, shared->window, shared->context);
  } else if (current) {
    glXMakeCurrent(display, current->window, current->context);
  } else {
    glXMakeCurrent(display, 0, nullptr);
  }
}

int gldisplay_share_group() { return shared ? sharedGeneration : 0; }

void gldisplay_delete_textures(int group, int count, const unsigned* names) {
  // First of all: at exit the shared context and the connection close before
  // the last images go, and asking for the connection would open it again.
  if (count < 1 || group == 0 || group != gldisplay_share_group()) return;
  Display* display = XConnection();
  if (!display) return;
  if (OursCurrent()) {
    glDeleteTextures(count, names);
    return;
  }
  const CurrentBinding before = Bind(display, *shared);
  glDeleteTextures(count, names);
  Restore(display, before);
}

GLFunction gldisplay_proc(const char* name) {
  return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}
