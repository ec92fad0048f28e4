#pragma once
// The OpenGL display driver: plain OpenGL contexts in desktop windows,
// full-screen windows or windows of the caller's, all sharing one texture
// name space. It draws nothing itself; the OpenGL 2D driver stands on it.

#include "graphics/display/display.h"

struct GLDisplayRecord;

class TGLDisplayDriver : public TDisplayDriver {
 public:
  std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
  Ref<TDisplay> Attach(intptr_t window, int flags) override;
  Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) override;
  void SetDisplay(const Ref<TDisplay>& display) override;
  void Flip(int sync) override;
  // Switches the calling thread between the shared context and the current
  // display's; textures made in between serve every display.
  void ToggleSharedContext();
};

// The one instance, made on first use.
Ref<TGLDisplayDriver> GLDisplayDriver();

class TGLDisplay : public TDisplay {
 public:
  explicit TGLDisplay(GLDisplayRecord* record) : record_(record) {}
  Ref<TDisplayDriver> Driver() override;
  DisplaySettings GetSettings() override;
  void Close() override;
  bool IsHidden() override;
  // Null once closed.
  GLDisplayRecord* Record() const { return record_; }

 private:
  GLDisplayRecord* record_;
};

// Selects the OpenGL display driver with DF_BACKBUFFER and opens a display.
void GLOpenDisplay(int width, int height, int depth, int hz, int flags);

// Starts the graphics context and selects the OpenGL display driver.
void StartGLDisplay();
