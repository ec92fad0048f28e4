#pragma once
// The display a 2D driver hands out: the underlying driver's display plus the
// drawing state, and selecting it as the target of the drawing layer.

#include "graphics/draw2d/draw_driver.h"
#include "graphics/draw2d/glyph_font.h"

class TDrawDisplay : public TDisplay {
 public:
  TDrawDisplay(Ref<TDisplay> display, Ref<TDrawDriver> driver)
      : display(std::move(display)), driver(std::move(driver)) {}

  Ref<TDisplayDriver> Driver() override { return driver; }
  DisplaySettings GetSettings() override;
  // Closes the underlying display and forgets it and the driver.
  void Close() override;
  bool IsHidden() override { return display && display->IsHidden(); }
  // Hands the whole stored state to the driver again through the setters
  // (the handle unchanged).
  void ReapplyState();

  // The drawing state; numbers stay 0 (scale and alpha too) until the first
  // selection applies the defaults. Values are stored unclamped.
  int red = 0, green = 0, blue = 0;
  float alpha = 0;
  int clearRed = 0, clearGreen = 0, clearBlue = 0;
  float lineWidth = 0;
  float rotation = 0;  // degrees, clockwise on the y-down screen
  float scaleX = 0, scaleY = 0;
  float ix = 0, iy = 0, jx = 0, jy = 0;
  int clipX = 0, clipY = 0, clipWidth = 0, clipHeight = 0;
  float originX = 0, originY = 0;
  float handleX = 0, handleY = 0;  // negated
  Ref<TGlyphFont> font;
  int blend = 0;
  Ref<TDisplay> display;
  Ref<TDrawDriver> driver;
  int initialised = 0;
};

// Starts the display and pixmap modules, the embedded default font and the
// image data type.
void StartDraw2D();

Ref<TDrawDisplay> WrapDisplay(const Ref<TDisplay>& display, const Ref<TDrawDriver>& driver);

// Run by a 2D driver's SetDisplay: makes the display (null, or one of
// another kind, for none) and its driver current, and applies the defaults
// the first time, clearing both buffers.
void SelectDrawDisplay(const Ref<TDisplay>& display);

// Null when no 2D display is selected.
Ref<TDrawDisplay> CurrentDrawDisplay();
Ref<TDrawDriver> CurrentDrawDriver();

namespace detail {
// The current display's state and driver; without them the null-object
// error is raised.
TDrawDisplay& DrawState();
TDrawDriver& DrawDriver();
}  // namespace detail
