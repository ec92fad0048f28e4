#pragma once
// Displays and display drivers: the window or full-screen surface that
// drawing goes to, the driver that makes it, and the graphics modes a driver
// offers. Every driver implements these interfaces; the 2D drawing drivers
// extend them.

#include <cstdint>
#include <vector>

#include "runtime/object.h"
#include "runtime/string.h"

// Display flags: buffers asked for; they stay recorded with the display.
enum : int {
  DF_BACKBUFFER = 2,
  DF_ALPHABUFFER = 4,
  DF_DEPTHBUFFER = 8,
  DF_STENCILBUFFER = 16,
  DF_ACCUMBUFFER = 32,
};

class TGraphicsMode : public Object {
 public:
  TGraphicsMode(int width, int height, int depth, int hz)
      : width(width), height(height), depth(depth), hz(hz) {}
  // "800,600,32 75Hz"
  String ToString() const;

  int width, height;
  int depth;  // bits per pixel
  int hz;     // refresh rate; 0 when not given
};

class TDisplayDriver;

struct DisplaySettings {
  int width = 0, height = 0, depth = 0, hz = 0, flags = 0;
};

class TDisplay : public Object {
 public:
  virtual Ref<TDisplayDriver> Driver() = 0;
  virtual DisplaySettings GetSettings() = 0;
  // Releases the window, context and surfaces; a second Close does nothing.
  virtual void Close() = 0;
  // True while nothing drawn can be seen: the window is minimised, or its
  // surfaces are lost until the program is active again (a driver may try
  // to get them back when asked). Drawing and presenting can wait meanwhile.
  virtual bool IsHidden() { return false; }
};

class TDisplayDriver : public Object {
 public:
  // A new list each call.
  virtual std::vector<Ref<TGraphicsMode>> GraphicsModes() = 0;
  // A display that renders into an existing window, or null.
  virtual Ref<TDisplay> Attach(intptr_t window, int flags) = 0;
  // A new display, or null; depth 0 asks for a window on the desktop, any
  // other value for a full-screen display in that mode.
  virtual Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) = 0;
  // Makes the display the target of rendering (null: no target).
  virtual void SetDisplay(const Ref<TDisplay>& display) = 0;
  // Presents the back buffer; a nonzero sync waits for the vertical blank
  // where the platform can.
  virtual void Flip(int sync) = 0;
  // Completes the drawing of the frame, so that the Flip that follows only
  // has to present it: paced flips do this before they wait, so that the
  // time the drawing takes does not vary when the frame is shown.
  virtual void Finish() {}
};
