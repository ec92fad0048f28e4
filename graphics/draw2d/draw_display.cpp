#include "graphics/draw2d/draw_display.h"

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/glyph_font.h"
#include "graphics/draw2d/image.h"
#include "runtime/program.h"
#include "stream/embedded_file.h"

// Made by the build from fonts/.
#include "Draw2DFontFiles.h"

namespace {

Ref<TDrawDisplay> currentDisplay;
Ref<TDrawDriver> currentDriver;

void ApplyDefaults() {
  DefaultGlyphFont();
  SetBlendMode(BLEND_MASK);
  SetDrawColor(255, 255, 255);
  SetClearColor(0, 0, 0);
  SetLoadMaskColor(0, 0, 0);
  SetDrawAlpha(1.0f);
  SetDrawOrigin(0, 0);
  SetDrawHandle(0, 0);
  SetClipRect(0, 0, DisplayWidth(), DisplayHeight());
  SetDrawTransform(0, 1.0f, 1.0f);
  SetLineThickness(1.0f);
  SetAutoCenterAnchor(0);
  SetDefaultImageFlags(IMG_MASKED | IMG_FILTERED);
  SetGlyphFont(DefaultGlyphFont());
  // Both buffers start cleared.
  ClearScreen();
  FlipDisplay(0);
  ClearScreen();
  FlipDisplay(0);
}

}  // namespace

DisplaySettings TDrawDisplay::GetSettings() {
  if (!display) return {};
  return display->GetSettings();
}

void TDrawDisplay::Close() {
  if (!display) return;
  display->Close();
  display = nullptr;
  driver = nullptr;
}

void TDrawDisplay::ReapplyState() {
  // Copied first: the setters write the current display, normally this one.
  const TDrawDisplay s = *this;
  SetDrawColor(s.red, s.green, s.blue);
  SetDrawAlpha(s.alpha);
  SetClearColor(s.clearRed, s.clearGreen, s.clearBlue);
  SetLineThickness(s.lineWidth);
  SetDrawRotation(s.rotation);
  SetDrawScale(s.scaleX, s.scaleY);
  SetClipRect(s.clipX, s.clipY, s.clipWidth, s.clipHeight);
  SetDrawOrigin(s.originX, s.originY);
  SetDrawHandle(-s.handleX, -s.handleY);
  SetGlyphFont(s.font);
  SetBlendMode(s.blend);
}

Ref<TDrawDisplay> WrapDisplay(const Ref<TDisplay>& display, const Ref<TDrawDriver>& driver) {
  return New<TDrawDisplay>(display, driver);
}

void SelectDrawDisplay(const Ref<TDisplay>& display) {
  currentDisplay = Cast<TDrawDisplay>(display);
  if (currentDisplay) {
    currentDriver = currentDisplay->driver;
    if (!currentDriver) currentDisplay = nullptr;
  } else {
    currentDriver = nullptr;
  }
  if (!currentDisplay || currentDisplay->initialised) return;
  // Held: a flip hook may select another display meanwhile.
  const Ref<TDrawDisplay> selected = currentDisplay;
  ApplyDefaults();
  selected->initialised = 1;
}

Ref<TDrawDisplay> CurrentDrawDisplay() { return currentDisplay; }
Ref<TDrawDriver> CurrentDrawDriver() { return currentDriver; }

namespace detail {

TDrawDisplay& DrawState() { return *currentDisplay; }
TDrawDriver& DrawDriver() { return *currentDriver; }

}  // namespace detail

void StartDraw2D() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartGraphics();
  StartPixmaps();
  StartEmbeddedFiles();
  RegisterEmbeddedFiles(Draw2DFontFiles());
  detail::StartImageDataType();
  // Whatever the driver: a display that is not one of the layer's is none.
  SetDisplayChangeAction([](const Ref<TDisplay>& display) {
    if (!Cast<TDrawDisplay>(display)) SelectDrawDisplay(nullptr);
  });
}
