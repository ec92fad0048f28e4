// The OpenGL window-system layer on WGL and Win32.
//
// A full-screen display is a pop-up window over the screen that switches the
// screen to its mode while it has the input focus, and gives the desktop its
// own mode back (and minimises itself) when the focus goes.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "graphics/display/display.h"
#include "graphics/gl/gl_platform.h"
#include "graphics/gl/wgl/wgl_pixel_format.h"
#include "runtime/program.h"
#include "runtime/runtime_error.h"
#include "system/system_driver.h"
#include "system/win32/win32_desktop_mode.h"
#include "system/win32/win32_translate.h"
#include "system/win32/win32_window_class.h"
// After windows.h, which it needs.
#include <GL/gl.h>

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
  HDC dc = nullptr;
  HWND window = nullptr;
  HGLRC context = nullptr;
  // Set as the record is closed: its window no longer takes the screen.
  bool closing = false;
};

namespace {

using SwapIntervalEXT = BOOL(WINAPI*)(int interval);

constexpr char WINDOW_CLASS[] = "ZorpGLDisplay";
constexpr char MODE_FAILED[] = "GLGraphicsDriver failed to set display mode";

std::vector<std::unique_ptr<GLDisplayRecord>> records;
GLDisplayRecord* current = nullptr;
std::unique_ptr<GLDisplayRecord> shared;
int sharedGeneration = 0;  // of the shared context now, or of the last one
bool classRegistered = false;
// The full-screen window whose mode the screen is in, if any.
HWND screenHolder = nullptr;
// The swap interval last set for the current record's window; -1 for none
// (before the first flip, and after another record became current, whose
// window has an interval of its own).
int swapInterval = -1;
// A mode change that failed inside the window procedure, where an error
// cannot be raised (it would unwind through the system's frames): it is
// raised by the next create or flip instead.
bool modeChangeFailed = false;

void Complain(const char* what) { std::fprintf(stderr, "GLGraphicsDriver: %s\n", what); }

GLDisplayRecord* Find(const GLDisplayRecord* record) {
  for (const auto& r : records) {
    if (r.get() == record) return r.get();
  }
  return nullptr;
}

GLDisplayRecord* FindByWindow(HWND window) {
  for (const auto& r : records) {
    if (r->window == window) return r.get();
  }
  return nullptr;
}

// Whether the thread's current context is the shared one or a display's.
bool OursCurrent() {
  const HGLRC now = wglGetCurrentContext();
  if (!now) return false;
  if (shared && now == shared->context) return true;
  return std::any_of(records.begin(), records.end(),
                     [&](const auto& r) { return r->context == now; });
}

struct CurrentBinding {
  HDC dc;
  HGLRC context;
};

CurrentBinding Bind(const GLDisplayRecord& record) {
  CurrentBinding before{wglGetCurrentDC(), wglGetCurrentContext()};
  if (before.context != record.context) wglMakeCurrent(record.dc, record.context);
  return before;
}

void Restore(const CurrentBinding& before) {
  if (wglGetCurrentContext() == before.context) return;
  wglMakeCurrent(before.context ? before.dc : nullptr, before.context);
}

// Looked up on every use: the extension belongs to the context that is
// current, and may be missing altogether.
void SetSwapInterval(GLDisplayRecord& record, int interval) {
  const CurrentBinding before = Bind(record);
  const auto set = reinterpret_cast<SwapIntervalEXT>(gldisplay_proc("wglSwapIntervalEXT"));
  if (set) set(interval);
  Restore(before);
  if (&record == current) swapInterval = interval;
}

PIXELFORMATDESCRIPTOR FormatRequest(int flags) {
  PIXELFORMATDESCRIPTOR request{};
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  if (flags & DF_BACKBUFFER) request.dwFlags |= PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  // At least one bit of each; the closest format the system has wins.
  request.cColorBits = 1;
  request.cAlphaBits = (flags & DF_ALPHABUFFER) ? 1 : 0;
  request.cDepthBits = (flags & DF_DEPTHBUFFER) ? 1 : 0;
  request.cStencilBits = (flags & DF_STENCILBUFFER) ? 1 : 0;
  request.cAccumBits = (flags & DF_ACCUMBUFFER) ? 1 : 0;
  request.iLayerType = PFD_MAIN_PLANE;
  return request;
}

// The device context's pixel formats, numbered from 1 (entry 0 is unused).
std::vector<PIXELFORMATDESCRIPTOR> PixelFormats(HDC dc) {
  const int count = DescribePixelFormat(dc, 1, sizeof(PIXELFORMATDESCRIPTOR), nullptr);
  std::vector<PIXELFORMATDESCRIPTOR> formats(count > 0 ? count + 1 : 1);
  for (int i = 1; i < static_cast<int>(formats.size()); ++i) {
    if (!DescribePixelFormat(dc, i, sizeof formats[i], &formats[i])) formats[i] = {};
  }
  return formats;
}

// Gives the window's device context a pixel format for the flags. A window
// keeps the first format it is given, so one it has already must fit.
bool SetFormat(HDC dc, int flags) {
  const std::vector<PIXELFORMATDESCRIPTOR> formats = PixelFormats(dc);
  if (const int existing = GetPixelFormat(dc)) {
    return existing < static_cast<int>(formats.size()) && WglFormatFits(formats[existing], flags);
  }
  const PIXELFORMATDESCRIPTOR request = FormatRequest(flags);
  const int format = WglPreferredFormat(formats, ChoosePixelFormat(dc, &request), flags);
  return format && SetPixelFormat(dc, format, &request);
}

// A context whose textures and display lists are the shared context's.
HGLRC NewContext(HDC dc) {
  const HGLRC context = wglCreateContext(dc);
  if (!context) return nullptr;
  if (shared && !wglShareLists(shared->context, context)) {
    wglDeleteContext(context);
    return nullptr;
  }
  return context;
}

// Gives the desktop its own mode back. The window is minimised (and stops
// waiting for the vertical blank) when the focus went elsewhere; one being
// closed or destroyed is left alone.
void ReleaseScreen(GLDisplayRecord& record, bool minimise) {
  if (screenHolder != record.window) return;
  screenHolder = nullptr;
  RestoreDesktopMode();
  if (!minimise || record.closing) return;
  ShowWindow(record.window, SW_MINIMIZE);
  SetSwapInterval(record, 0);
}

// Switches the screen to the display's mode, with its refresh rate when it
// has one, else (or when that fails) with whatever rate the mode has.
void TakeScreen(GLDisplayRecord& record) {
  if (record.kind != KIND_FULLSCREEN || record.closing || screenHolder == record.window) return;
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = static_cast<DWORD>(record.width);
  mode.dmPelsHeight = static_cast<DWORD>(record.height);
  mode.dmBitsPerPel = static_cast<DWORD>(record.depth);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
  // Held from before the change: Windows tells every window of the change
  // while it is made, and a focus lost meanwhile must find the screen held
  // to give it back.
  screenHolder = record.window;
  bool withRate = false;
  if (record.hz != 0) {
    mode.dmDisplayFrequency = static_cast<DWORD>(record.hz);
    mode.dmFields |= DM_DISPLAYFREQUENCY;
    withRate = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    mode.dmFields &= ~static_cast<DWORD>(DM_DISPLAYFREQUENCY);
  }
  if (!withRate && ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
    if (screenHolder == record.window) screenHolder = nullptr;
    modeChangeFailed = true;
    return;
  }
  // Given back already, or the focus went while the mode changed.
  if (screenHolder != record.window) return;
  if (GetFocus() != record.window) return ReleaseScreen(record, true);
  // Waiting for the vertical blank only where the rate asked for is in force.
  SetSwapInterval(record, withRate ? 1 : 0);
}

void RaiseFailedModeChange() {
  if (!modeChangeFailed) return;
  modeChangeFailed = false;
  throw RuntimeError(MODE_FAILED);
}

LRESULT CALLBACK DisplayWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GLDisplayRecord* record = FindByWindow(window);
  if (!record) return DefWindowProcA(window, message, wParam, lParam);
  TranslateWindowMessage(window, message, wParam, lParam, nullptr);
  if (HandleDisplayWindowMessage(window, message, wParam, screenHolder != nullptr)) return 0;
  switch (message) {
    case WM_SETFOCUS:
      TakeScreen(*record);
      return 0;
    case WM_KILLFOCUS:
      ReleaseScreen(*record, true);
      return 0;
    case WM_DESTROY:
      ReleaseScreen(*record, false);
      return 0;
    case WM_PAINT:
      // OpenGL draws the whole window on every flip.
      ValidateRect(window, nullptr);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
  if (classRegistered) return true;
  if (!RegisterWin32WindowClass(WINDOW_CLASS, DisplayWindowProcedure,
                                CS_OWNDC | CS_HREDRAW | CS_VREDRAW)) {
    Complain("the window class could not be registered");
    return false;
  }
  classRegistered = true;
  return true;
}

HWND NewWindow(DWORD style, const RECT& rect) {
  return CreateWindowExA(0, WINDOW_CLASS, AppTitle().ToBytes().c_str(), style, rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void DestroyRecord(GLDisplayRecord& record) {
  if (wglGetCurrentContext() == record.context) wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(record.context);
  if (record.kind == KIND_ATTACHED) {
    ReleaseDC(record.window, record.dc);
  } else {
    DestroyWindow(record.window);
  }
}

void CloseAll() {
  while (!records.empty()) gldisplay_close(records.back().get());
  if (screenHolder) RestoreDesktopMode();
  screenHolder = nullptr;
  if (shared) {
    DestroyRecord(*shared);
    shared.reset();
  }
}

// The hidden 1 x 1 context whose names every display shares.
bool EnsureShared() {
  if (shared) return true;
  if (!RegisterWindowClass()) return false;
  auto record = std::make_unique<GLDisplayRecord>();
  record->window = NewWindow(WS_POPUP, RECT{0, 0, 1, 1});
  if (!record->window) {
    Complain("no window for the shared context could be made");
    return false;
  }
  record->dc = GetDC(record->window);
  if (!record->dc || !SetFormat(record->dc, 0) || !(record->context = NewContext(record->dc))) {
    Complain("no OpenGL context could be made; OpenGL displays cannot open");
    DestroyWindow(record->window);
    return false;
  }
  record->kind = KIND_SHARED;
  record->width = record->height = 1;
  shared = std::move(record);
  if (++sharedGeneration <= 0) sharedGeneration = 1;
  AddExitAction(CloseAll);
  return true;
}

GLDisplayRecord* Link(std::unique_ptr<GLDisplayRecord> record) {
  records.push_back(std::move(record));
  return records.back().get();
}

}  // namespace

int gldisplay_modes(int* out, int max) {
  int count = 0;
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; count < max && EnumDisplaySettingsA(nullptr, i, &mode); i++) {
    if (mode.dmBitsPerPel < 16) continue;
    int* entry = out + static_cast<ptrdiff_t>(count) * 4;
    entry[0] = static_cast<int>(mode.dmPelsWidth);
    entry[1] = static_cast<int>(mode.dmPelsHeight);
    entry[2] = static_cast<int>(mode.dmBitsPerPel);
    entry[3] = static_cast<int>(mode.dmDisplayFrequency);
    count++;
  }
  return count;
}

GLDisplayRecord* gldisplay_attach(intptr_t window, int flags) {
  const HWND handle = reinterpret_cast<HWND>(window);
  if (!handle || !IsWindow(handle) || !EnsureShared()) return nullptr;
  const HDC dc = GetDC(handle);
  if (!dc) return nullptr;
  const HGLRC context = SetFormat(dc, flags) ? NewContext(dc) : nullptr;
  if (!context) {
    Complain("the window has no pixel format for these flags");
    ReleaseDC(handle, dc);
    return nullptr;
  }
  auto record = std::make_unique<GLDisplayRecord>();
  record->kind = KIND_ATTACHED;
  record->dc = dc;
  record->window = handle;
  record->context = context;
  RECT client{};
  GetClientRect(handle, &client);
  record->width = client.right;
  record->height = client.bottom;
  record->flags = flags;
  return Link(std::move(record));
}

GLDisplayRecord* gldisplay_create(int width, int height, int depth, int hz, int flags) {
  if (width < 1 || height < 1 || !EnsureShared()) return nullptr;
  const bool fullScreen = depth != 0;
  const DWORD style = fullScreen ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  // The client area of a desktop window lies at (32, 32).
  RECT rect = fullScreen ? RECT{0, 0, width, height} : RECT{32, 32, 32 + width, 32 + height};
  AdjustWindowRect(&rect, style, FALSE);
  const HWND window = NewWindow(style, rect);
  if (!window) return nullptr;
  const HDC dc = GetDC(window);
  const HGLRC context = dc && SetFormat(dc, flags) ? NewContext(dc) : nullptr;
  if (!context) {
    Complain("no pixel format or context for these flags");
    DestroyWindow(window);
    return nullptr;
  }
  auto record = std::make_unique<GLDisplayRecord>();
  record->kind = fullScreen ? KIND_FULLSCREEN : KIND_DESKTOP;
  record->width = width;
  record->height = height;
  record->depth = fullScreen ? depth : 0;
  record->hz = hz;
  record->flags = flags;
  record->dc = dc;
  record->window = window;
  record->context = context;
  GLDisplayRecord* made = Link(std::move(record));
  // The full-screen mode is set as the window gets the focus.
  ShowWindow(window, SW_SHOW);
  if (fullScreen) SetForegroundWindow(window);
  if (modeChangeFailed) {
    gldisplay_close(made);
    RaiseFailedModeChange();
  }
  return made;
}

void gldisplay_settings(GLDisplayRecord* record, int& width, int& height, int& depth, int& hz,
                        int& flags) {
  width = height = depth = hz = flags = 0;
  if (!Find(record)) return;
  if (record->kind == KIND_ATTACHED) {
    RECT client{};
    if (GetClientRect(record->window, &client)) {
      record->width = client.right;
      record->height = client.bottom;
    }
  }
  width = record->width;
  height = record->height;
  depth = record->depth;
  hz = record->hz;
  flags = record->flags;
}

void gldisplay_close(GLDisplayRecord* record) {
  if (!Find(record)) return;
  if (record == current) gldisplay_make_current(nullptr);
  // The desktop gets its mode back before the window goes, and the focus
  // that moves as it goes (or comes back to it) changes the mode no more.
  record->closing = true;
  ReleaseScreen(*record, false);
  DestroyRecord(*record);
  std::erase_if(records, [&](const auto& r) { return r.get() == record; });
}

bool gldisplay_hidden(GLDisplayRecord* record) { return Find(record) && IsIconic(record->window); }

void gldisplay_make_current(GLDisplayRecord* record) {
  if (record && !Find(record)) record = nullptr;
  // Also after gldisplay_toggle_shared left the shared context current.
  if (record == current && wglGetCurrentContext() == (record ? record->context : nullptr)) return;
  if (record != current) swapInterval = -1;
  current = record;
  if (record) {
    wglMakeCurrent(record->dc, record->context);
  } else {
    wglMakeCurrent(nullptr, nullptr);
  }
}

void gldisplay_flip(int sync) {
  RaiseFailedModeChange();
  if (!current) return;
  const int interval = sync ? 1 : 0;
  if (interval != swapInterval) SetSwapInterval(*current, interval);
  SwapBuffers(current->dc);
}

void gldisplay_toggle_shared() {
  if (!shared) return;
  if (wglGetCurrentContext() != shared->context) {
    wglMakeCurrent(shared->dc, shared->context);
  } else if (current) {
    wglMakeCurrent(current->dc, current->context);
  } else {
    wglMakeCurrent(nullptr, nullptr);
  }
}

int gldisplay_share_group() { return shared ? sharedGeneration : 0; }

void gldisplay_delete_textures(int group, int count, const unsigned* names) {
  if (count < 1 || group == 0 || group != gldisplay_share_group()) return;
  if (OursCurrent()) {
    glDeleteTextures(count, names);
    return;
  }
  const CurrentBinding before = Bind(*shared);
  glDeleteTextures(count, names);
  Restore(before);
}

GLFunction gldisplay_proc(const char* name) {
  // Some drivers answer 1, 2, 3 or -1 for a name they do not know.
  const auto address = reinterpret_cast<intptr_t>(wglGetProcAddress(name));
  if (address >= -1 && address <= 3) return nullptr;
  // Through an integer, which every function type converts from.
  return reinterpret_cast<GLFunction>(address);
}
