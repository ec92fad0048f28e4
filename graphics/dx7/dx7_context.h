#pragma once
// A DirectDraw driver of the machine and the one display it drives: the
// DirectDraw and Direct3D objects, the device, the primary surface and the
// back buffer, the window, the display modes, presenting, and the loss of the
// surfaces (to another program taking the screen, a locked session, a change
// of mode) and their return.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <d3d.h>
#include <ddraw.h>

#include <functional>
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

// Told when the display's surfaces are lost and when they are back.
class TDX7DeviceListener {
 public:
  virtual ~TDX7DeviceListener() = default;
  virtual void DeviceLost(TDX7Context& context) = 0;
  // The surfaces are back: restored with the device as it was, or made anew
  // with a new device after DeviceReleased.
  virtual void DeviceRestored(TDX7Context& context) = 0;
  // The device and the surfaces are about to be released: nothing may use
  // them afterwards.
  virtual void DeviceReleased(TDX7Context& context) = 0;
};

// Where the context makes its surfaces and its device: DirectDraw and
// Direct3D themselves, or what a test puts in front of them.
class TDX7Factory {
 public:
  virtual ~TDX7Factory() = default;
  virtual HRESULT CreateSurface(IDirectDraw7& directDraw, DDSURFACEDESC2& desc,
                                IDirectDrawSurface7** surface);
  virtual HRESULT CreateDevice(IDirect3D7& direct3D, REFCLSID type, IDirectDrawSurface7* target,
                               IDirect3DDevice7** device);
};

class TDX7Context : public Object {
 public:
  TDX7Context(const GUID* guid, String name, String description);

  // The device to draw with, the listener kept; none (and the listener not
  // kept) while the surfaces are lost or there is no device.
  IDirect3DDevice7* SetListener(TDX7DeviceListener* listener);
  // Keeps modes of more than 15 bits per pixel.
  void AddMode(int width, int height, int bits, int hz);
  // Makes DirectDraw and Direct3D and lists the display modes; raises an
  // error when either cannot be made.
  void Startup();
  // Whether a Direct3D device can really be made: DirectDraw alone draws
  // nothing, and a machine without 3D acceleration (or a remote session)
  // has it but gives no device. A trial device, released at once, while no
  // display is open.
  bool CanMakeDevice();
  void OnFocus();
  // Full screen gives the screen back to the desktop and waits minimised.
  void OnKillFocus();
  // Gets lost surfaces back once the program may have them again: restored
  // where they can be, else made anew with a new device. True when nothing
  // is lost (any more).
  bool RestoreDevice();
  // A buffer the size of the desktop for drawing into attached windows.
  // Like the two below, it leaves the context closed, the desktop's mode and
  // the window as they were, when it fails: false, or a run-time error.
  bool UseDesktop();
  bool CreateWindowed(int width, int height);
  // False when no display mode near the one asked for can be set.
  bool CreateFullscreen(int width, int height, int depth, int hz);
  void CreateSurfaces();
  void ReleaseSurfaces();
  void CloseContext();
  // Shows the back buffer: flipped in full screen, else copied into the
  // window's client area. While the surfaces are lost it only tries to get
  // them back: what was drawn meanwhile went nowhere.
  void Present(HWND window);
  // Full screen only: 0 flips at once, 1 at the vertical blank, 2 to 4 every
  // so many blanks.
  void SetPresentInterval(int sync);
  // The scene the device draws in, ended for presenting and for GDI; false,
  // doing nothing, while the surfaces are lost.
  bool BeginScene();
  bool EndScene();
  // True, and the surfaces lost from now on, when a result says they are.
  bool SurfacesLost(HRESULT result);

  bool FullScreen() const { return (state & DX7_FULLSCREEN) == DX7_FULLSCREEN; }
  bool Lost() const { return (state & DX7_LOST) != 0; }

  GUID guid{};
  bool primaryDriver = true;  // no GUID: the primary display driver
  String name, description;
  IDirectDraw7* directDraw = nullptr;
  IDirect3D7* direct3D = nullptr;
  IDirect3DDevice7* device = nullptr;
  IDirectDrawSurface7* primarySurface = nullptr;
  IDirectDrawSurface7* backBuffer = nullptr;
  IDirectDrawClipper* clipper = nullptr;
  HWND clipWindow = nullptr;  // the window the clipper is bound to
  std::vector<Ref<TGraphicsMode>> modes;
  int state = DX7_CLOSED;
  bool exclusive = false;  // the full-screen cooperative level is held
  int width = 0, height = 0, depth = 0, hz = 0;
  HWND window = nullptr;  // the window of its own (none for the desktop buffer)
  DWORD presentFlags = DDFLIP_WAIT;
  TDX7DeviceListener* listener = nullptr;  // lives as long as the program
  TDX7Factory* factory;                    // where the surfaces and the device are made

 private:
  void MakeWindow(DWORD style, int x, int y, int outerWidth, int outerHeight);
  // Runs the display's preparation (window, cooperative level, mode) and
  // makes its surfaces; on any failure closes the context again.
  bool Open(int newState, const std::function<bool()>& prepare);
  HRESULT SetMode();
  HRESULT MakeDevice(IDirectDrawSurface7* target, IDirect3DDevice7** made);
  // Copies the back buffer into the window's client area, cut by the
  // clipper to what of it is seen.
  HRESULT CopyToWindow(HWND target);
  void MarkLost();
  // Takes back what the surfaces need: false while the program may not
  // have them yet.
  bool Reclaim();
  bool RestoreSurfaces();
  bool RemakeSurfaces();
  void Tell(bool restored);

  bool restoring = false;  // RestoreDevice is running
};
