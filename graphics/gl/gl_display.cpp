#include "graphics/gl/gl_display.h"

#include <algorithm>

#include "graphics/display/graphics.h"
#include "graphics/gl/gl_platform.h"
#include "runtime/program.h"

namespace {

constexpr int MAX_MODES = 1024;

}  // namespace

std::vector<Ref<TGraphicsMode>> TGLDisplayDriver::GraphicsModes() {
  std::vector<int> buffer(MAX_MODES * 4);
  const int count = std::clamp(gldisplay_modes(buffer.data(), MAX_MODES), 0, MAX_MODES);
  std::vector<Ref<TGraphicsMode>> modes;
  modes.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; i++) {
    const int* entry = &buffer[static_cast<size_t>(i) * 4];
    modes.push_back(New<TGraphicsMode>(entry[0], entry[1], entry[2], entry[3]));
  }
  return modes;
}

Ref<TDisplay> TGLDisplayDriver::Attach(intptr_t window, int flags) {
  GLDisplayRecord* record = gldisplay_attach(window, flags);
  if (!record) return nullptr;
  return New<TGLDisplay>(record);
}

Ref<TDisplay> TGLDisplayDriver::Create(int width, int height, int depth, int hz, int flags) {
  GLDisplayRecord* record = gldisplay_create(width, height, depth, hz, flags);
  if (!record) return nullptr;
  return New<TGLDisplay>(record);
}

void TGLDisplayDriver::SetDisplay(const Ref<TDisplay>& display) {
  const Ref<TGLDisplay> gl = Cast<TGLDisplay>(display);
  gldisplay_make_current(gl ? gl->Record() : nullptr);
}

void TGLDisplayDriver::Flip(int sync) { gldisplay_flip(sync); }

void TGLDisplayDriver::ToggleSharedContext() { gldisplay_toggle_shared(); }

Ref<TGLDisplayDriver> GLDisplayDriver() {
  static Ref<TGLDisplayDriver> driver = New<TGLDisplayDriver>();
  return driver;
}

Ref<TDisplayDriver> TGLDisplay::Driver() { return GLDisplayDriver(); }

DisplaySettings TGLDisplay::GetSettings() {
  DisplaySettings settings;
  if (record_) {
    gldisplay_settings(record_, settings.width, settings.height, settings.depth, settings.hz,
                       settings.flags);
  }
  return settings;
}

void TGLDisplay::Close() {
  if (!record_) return;
  gldisplay_close(record_);
  record_ = nullptr;
}

bool TGLDisplay::IsHidden() { return record_ && gldisplay_hidden(record_); }

void GLOpenDisplay(int width, int height, int depth, int hz, int flags) {
  StartGLDisplay();
  SelectDisplayDriver(GLDisplayDriver(), DF_BACKBUFFER);
  OpenDisplay(width, height, depth, hz, flags);
}

void StartGLDisplay() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartGraphics();
  // The embedded "gldrawtextfont.bin" for GLDrawText is registered here.
  SelectDisplayDriver(GLDisplayDriver(), DF_BACKBUFFER);
}
