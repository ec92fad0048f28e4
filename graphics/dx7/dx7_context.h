#pragma once
// A DirectDraw driver of the machine and the one display it drives: the
// DirectDraw and Direct3D objects, the device, the primary surface and the
// back buffer, the window, the display modes, presenting, and the loss of the
// device when a full-screen display loses the focus.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <d3d.h>
#include <ddraw.h>

#include <vector>

#include "graphics/display/display.h"

// Context states; full screen is both of its bits.
enum : int {
  DX7_CLOSED = 0,
  DX7_FULLSCREEN = 1 | 8,
  DX7_WINDOWED = 2,
  DX7_DESKTOP = 4,
  DX7_LOST = 16,
};

class TDX7Context;

// 32-bit pixels with alpha, blue in the lowest byte (PIXFMT_BGRA32): the
// format of textures and of pixels handed to GDI.
DDPIXELFORMAT Bgra32PixelFormat();

// A function of the system's DirectDraw library, loaded on first use; null
// when the library or the function is missing.
void (*DirectDrawFunction(const char* name))();

// Told when a full-screen display loses its device to another program and
// when it has it back.
class TDX7DeviceListener {
 public:
  virtual ~TDX7DeviceListener() = default;
  virtual void DeviceLost(TDX7Context& context) = 0;
  virtual void DeviceRestored(TDX7Context& context) = 0;
  // The device and the surfaces are about to be released: nothing may use
  // them afterwards.
  virtual void DeviceReleased(TDX7Context& context) = 0;
};

class TDX7Context : public Object {
 public:
  TDX7Context(const GUID* guid, String name, String description);

  // The device to draw with, the listener kept; none (and the listener not
  // kept) while the device is lost or there is none.
  IDirect3DDevice7* SetListener(TDX7DeviceListener* listener);
  // Keeps modes of more than 15 bits per pixel.
  void AddMode(int width, int height, int bits, int hz);
  // Makes DirectDraw and Direct3D and lists the display modes; raises an
  // error when either cannot be made.
  void Startup();
  void OnFocus();
  void OnKillFocus();
  void RestoreDevice();
  // A buffer the size of the desktop for drawing into attached windows.
  void UseDesktop();
  void CreateWindowed(int width, int height);
  void CreateFullscreen(int width, int height, int depth, int hz);
  void CreateSurfaces();
  void ReleaseSurfaces();
  void CloseContext();
  // Shows the back buffer: flipped in full screen, else copied into the
  // window's client area.
  void Present();
  // Full screen only: 0 flips at once, 1 at the vertical blank, 2 to 4 every
  // so many blanks.
  void SetPresentInterval(int sync);
  // Copies the top-left width x height of the back buffer into the window's
  // client area, as far as it lies on the screen.
  void CopyToWindow(HWND window, int width, int height);

  bool FullScreen() const { return (state & DX7_FULLSCREEN) == DX7_FULLSCREEN; }

  GUID guid{};
  bool primaryDriver = true;  // no GUID: the primary display driver
  String name, description;
  IDirectDraw7* directDraw = nullptr;
  IDirect3D7* direct3D = nullptr;
  IDirect3DDevice7* device = nullptr;
  IDirectDrawSurface7* primarySurface = nullptr;
  IDirectDrawSurface7* backBuffer = nullptr;
  IDirectDrawClipper* clipper = nullptr;
  std::vector<Ref<TGraphicsMode>> modes;
  int state = DX7_CLOSED;
  int width = 0, height = 0, depth = 0, hz = 0;
  HWND window = nullptr;
  DWORD presentFlags = DDFLIP_WAIT;
  TDX7DeviceListener* listener = nullptr;  // lives as long as the program

 private:
  void MakeWindow(DWORD style, int x, int y, int outerWidth, int outerHeight);
  void Tell(bool restored);
};
