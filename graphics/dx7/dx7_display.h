#pragma once
// The DirectX 7 display driver: displays in a window of their own, full
// screen, or drawn into an existing window, all through the one context.

#include "graphics/dx7/dx7_context.h"

class TDX7DisplayDriver;

class TDX7Display : public TDisplay {
 public:
  TDX7Display(Ref<TDX7DisplayDriver> driver, HWND window)
      : window(window), driver(std::move(driver)) {}

  Ref<TDisplayDriver> Driver() override;
  // Width and height only: the client size of an attached window, else the
  // context's.
  DisplaySettings GetSettings() override;
  void Close() override;
  // While its window is minimised, or its surfaces are lost and cannot be
  // got back yet (asking tries).
  bool IsHidden() override;
  // The device, once lost surfaces are back; see TDX7Context::SetListener.
  IDirect3DDevice7* SetListener(TDX7DeviceListener* listener);

  HWND window;  // the attached window; null for the context's own
  Ref<TDX7DisplayDriver> driver;
  bool closed = false;
};

class TDX7DisplayDriver : public TDisplayDriver {
 public:
  explicit TDX7DisplayDriver(Ref<TDX7Context> context) : context(std::move(context)) {}

  std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
  Ref<TDisplay> Attach(intptr_t window, int flags) override;
  Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) override;
  void SetDisplay(const Ref<TDisplay>& display) override;
  void Flip(int sync) override;

  Ref<TDX7Context> context;
  Ref<TDX7Display> current;
  TDX7Display* owner = nullptr;  // the display the context's window is
  int attached = 0;              // open displays in attached windows
};

// The driver of the machine's primary DirectDraw driver, found on first use;
// null when DirectDraw 7 is missing, offers no display mode of more than 15
// bits, or makes no Direct3D device.
Ref<TDX7DisplayDriver> DX7DisplayDriver();
