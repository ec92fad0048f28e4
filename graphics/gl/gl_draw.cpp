#include "graphics/gl/gl_draw.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/gl/gl_copy_program.h"
#include "graphics/gl/gl_display.h"
#include "graphics/gl/gl_texture.h"
#include "pixmap/pixmap_transform.h"
#include "runtime/program.h"
#include "stream/embedded_file.h"

// Made by the build from fonts/.
#include "GLDrawTextFontFiles.h"

namespace {

// What the driver last told OpenGL, to skip repeating it.
struct DriverState {
  uint8_t color[4] = {0, 0, 0, 0};
  int blend = 0;  // 0: none yet
  GLuint boundTexture = 0;
  bool texturing = false;
  // Inside glBegin(GL_QUADS): consecutive image draws with one texture go
  // into one batch, which software renderers draw many times faster.
  bool quadsOpen = false;
  // The open batch goes through the copy program.
  bool copyBatch = false;
  // Blending is off for an opaque image under BLEND_ALPHA.
  bool blendSkipped = false;
  // Texels replace the colour instead of being multiplied by it while it is
  // opaque white.
  bool texelsAlone = false;
  float ix = 1, iy = 0, jx = 0, jy = 1;
} state;

int imageBatches = 0;
int copyBatches = 0;
bool copyProgramAllowed = true;

void EndQuads() {
  if (!state.quadsOpen) return;
  state.quadsOpen = false;
  glEnd();
  if (state.copyBatch) detail::UseProgram(0);
  state.copyBatch = false;
}

void SendColor() { glColor4ubv(state.color); }

uint8_t ClampByte(int value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void Texturing(bool on) {
  if (state.texturing == on) return;
  EndQuads();
  state.texturing = on;
  if (on) {
    glEnable(GL_TEXTURE_2D);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

// Alpha blending of an opaque image at full alpha gives the image itself; a
// software renderer draws it several times faster without blending.
void SkipBlending(bool skip) {
  skip = skip && state.blend == BLEND_ALPHA && state.color[3] == 255;
  if (state.blendSkipped == skip) return;
  EndQuads();
  state.blendSkipped = skip;
  if (skip) {
    glDisable(GL_BLEND);
  } else if (state.blend == BLEND_ALPHA) {
    glEnable(GL_BLEND);
  }
}

// Which pixels of the picture show. A picture that does not fit its texture
// and is resampled shows throughout.
framecoverage CoverageOf(const TPixmap& pixmap, const detail::frametexture& made) {
  const int w = pixmap.Width(), h = pixmap.Height();
  if (ALPHA_BITS[pixmap.Format()] == 0) return {true, 0, 0, w, h};
  framecoverage seen{true, w, h, 0, 0};
  const int alphaByte = pixmap.Format() == PIXFMT_ALPHA8 ? 0 : 3;
  const int bytes = BYTES_PER_PIXEL[pixmap.Format()];
  for (int y = 0; y < h; y++) {
    const uint8_t* p = pixmap.PixelPtr(0, y) + alphaByte;
    for (int x = 0; x < w; x++, p += bytes) {
      seen.opaque = seen.opaque && *p == 255;
      if (*p == 0) continue;
      seen.left = std::min(seen.left, x);
      seen.right = std::max(seen.right, x + 1);
      seen.top = std::min(seen.top, y);
      seen.bottom = std::max(seen.bottom, y + 1);
    }
  }
  if (seen.opaque || made.width != w || made.height != h) return {seen.opaque, 0, 0, w, h};
  if (seen.right == 0) return {false, 0, 0, 0, 0};
  return seen;
}

// Multiplying by opaque white changes no texel, and a software renderer
// draws texels alone faster.
void TexelsAlone(bool alone) {
  if (state.texelsAlone == alone) return;
  EndQuads();
  state.texelsAlone = alone;
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, alone ? GL_REPLACE : GL_MODULATE);
}

bool OpaqueWhite() {
  const uint8_t* c = state.color;
  return (c[0] & c[1] & c[2] & c[3]) == 255;
}

// Whether the quad lies on the screen texel for pixel: unturned, unscaled,
// on whole pixels and as big as the picture.
bool TexelForPixel(float x0, float y0, float x1, float y1, float tx, float ty, int width,
                   int height) {
  const bool identity = state.ix == 1 && state.iy == 0 && state.jx == 0 && state.jy == 1;
  const float left = x0 + tx, top = y0 + ty;
  return identity && x1 - x0 == static_cast<float>(width) &&
         y1 - y0 == static_cast<float>(height) && left == std::floor(left) &&
         top == std::floor(top);
}

// The frame's texture bound, switches between its own filters and nearest.
void SampleNearest(const TGLImageFrame& frame, bool nearest) {
  TGLFrameTexture& texture = *frame.shared;
  if (texture.nearestNow == nearest) return;
  EndQuads();
  texture.nearestNow = nearest;
  detail::SetFrameFilters(nearest ? 0 : frame.flags);
}

// Shapes without a texture blend as the mode says.
void Untextured() {
  Texturing(false);
  SkipBlending(false);
}

void BindTexture(GLuint texture) {
  if (state.boundTexture == texture) return;
  EndQuads();
  state.boundTexture = texture;
  glBindTexture(GL_TEXTURE_2D, texture);
}

void Vertex(float x, float y, float tx, float ty) {
  glVertex2f(x * state.ix + y * state.iy + tx, x * state.jx + y * state.jy + ty);
}

// The shared context is current in between, so that textures made serve
// every display; also when making the texture fails.
class SharedContext {
 public:
  SharedContext() { GLDisplayDriver()->ToggleSharedContext(); }
  ~SharedContext() { GLDisplayDriver()->ToggleSharedContext(); }
  SharedContext(const SharedContext&) = delete;
  SharedContext& operator=(const SharedContext&) = delete;
};

// The blend mode to put back after a pixel transfer. A display selected
// again has no cached mode (0), yet its context still blends as the display
// says; that is what must come back.
int BlendToRestore() {
  if (state.blend != 0) return state.blend;
  const Ref<TDrawDisplay> display = CurrentDrawDisplay();
  return display ? display->blend : 0;
}

}  // namespace

TGLFrameTexture::~TGLFrameTexture() {
  // Not inside a batch, where OpenGL refuses to delete.
  EndQuads();
  detail::DeleteFrameTexture(group, texture);
  // The name is free for the next texture, which must then be bound anew.
  if (state.boundTexture == texture) state.boundTexture = 0;
}

void TGLImageFrame::Render(float x0, float y0, float x1, float y1, float tx, float ty) {
  const bool texelForPixel = TexelForPixel(x0, y0, x1, y1, tx, ty, width, height);
  float left = u0, top = v0, right = u1, bottom = v1;
  // Drawn texel for pixel where a clear texel changes nothing, only the part
  // of the picture with visible pixels goes to OpenGL: the same pixels, for
  // fewer fragments (a glyph fills a fraction of its cell).
  if (texelForPixel && state.blend != BLEND_SOLID && state.blend != BLEND_SHADE) {
    if (seen.right == 0) return;
    const float du = (u1 - u0) / static_cast<float>(width);
    const float dv = (v1 - v0) / static_cast<float>(height);
    left = u0 + du * static_cast<float>(seen.left);
    right = u0 + du * static_cast<float>(seen.right);
    top = v0 + dv * static_cast<float>(seen.top);
    bottom = v0 + dv * static_cast<float>(seen.bottom);
    x1 = x0 + static_cast<float>(seen.right);
    x0 += static_cast<float>(seen.left);
    y1 = y0 + static_cast<float>(seen.bottom);
    y0 += static_cast<float>(seen.top);
  }
  BindTexture(shared->texture);
  Texturing(true);
  SkipBlending(seen.opaque);
  TexelsAlone(OpaqueWhite());
  if (filtered) SampleNearest(*this, texelForPixel);
  // Texels that go to blending unchanged and lie texel for pixel go through
  // the copy program. Masking's alpha test stays with the fixed pipeline.
  const unsigned program =
      texelForPixel && state.texelsAlone && state.blend != BLEND_MASK && copyProgramAllowed
          ? detail::CopyProgram()
          : 0;
  const bool copy = program != 0;
  if (state.quadsOpen && state.copyBatch != copy) EndQuads();
  if (!state.quadsOpen) {
    if (copy) {
      detail::UseProgram(program);
      copyBatches++;
    }
    state.copyBatch = copy;
    glBegin(GL_QUADS);
    state.quadsOpen = true;
    imageBatches++;
  }
  glTexCoord2f(left, top);
  Vertex(x0, y0, tx, ty);
  glTexCoord2f(right, top);
  Vertex(x1, y0, tx, ty);
  glTexCoord2f(right, bottom);
  Vertex(x1, y1, tx, ty);
  glTexCoord2f(left, bottom);
  Vertex(x0, y1, tx, ty);
}

std::vector<Ref<TGraphicsMode>> TGLDrawDriver::GraphicsModes() {
  return GLDisplayDriver()->GraphicsModes();
}

Ref<TDisplay> TGLDrawDriver::Attach(intptr_t window, int flags) {
  const Ref<TDisplay> display = GLDisplayDriver()->Attach(window, flags);
  if (!display) return nullptr;
  return WrapDisplay(display, Ref<TDrawDriver>(this));
}

Ref<TDisplay> TGLDrawDriver::Create(int width, int height, int depth, int hz, int flags) {
  const Ref<TDisplay> display = GLDisplayDriver()->Create(width, height, depth, hz, flags);
  if (!display) return nullptr;
  return WrapDisplay(display, Ref<TDrawDriver>(this));
}

void TGLDrawDriver::SetDisplay(const Ref<TDisplay>& display) {
  EndQuads();
  const Ref<TDrawDisplay> draw = Cast<TDrawDisplay>(display);
  if (!draw) {
    GLDisplayDriver()->SetDisplay(display);
    return;
  }
  GLDisplayDriver()->SetDisplay(draw->display);

  // Each display has a context of its own: what was cached is not known there.
  state.blend = 0;
  state.blendSkipped = false;
  state.boundTexture = 0;
  state.texturing = false;
  glDisable(GL_TEXTURE_2D);
  state.texelsAlone = false;
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

  const int width = DisplayWidth(), height = DisplayHeight();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glViewport(0, 0, width, height);

  SelectDrawDisplay(draw);
  ApplyClip(draw->clipX, draw->clipY, draw->clipWidth, draw->clipHeight);
  ApplyMatrix(draw->ix, draw->iy, draw->jx, draw->jy);
  ApplyColor(draw->red, draw->green, draw->blue);
  ApplyAlpha(draw->alpha);
}

void TGLDrawDriver::Flip(int sync) {
  EndQuads();
  GLDisplayDriver()->Flip(sync);
}

void TGLDrawDriver::Finish() {
  EndQuads();
  glFinish();
}

Ref<TImageFrame> TGLDrawDriver::MakeFrame(const Ref<TPixmap>& pixmap, int flags) {
  return MakeFrames({pixmap}, flags)[0];
}

std::vector<Ref<TImageFrame>> TGLDrawDriver::MakeFrames(const std::vector<Ref<TPixmap>>& pixmaps,
                                                        int flags) {
  EndQuads();
  std::vector<Ref<TImageFrame>> frames;
  if (pixmaps.empty()) return frames;
  const int sequence = DisplaySequence();
  SharedContext shared;
  for (size_t first = 0; first < pixmaps.size();) {
    // A texture holds frames of one size; a pixmap set apart from the
    // image's size starts a texture of its own.
    const TPixmap& model = *pixmaps[first];
    const size_t each = static_cast<size_t>(
        detail::FramesPerTexture(model, static_cast<int>(pixmaps.size() - first), flags));
    size_t count = 1;
    while (count < each && pixmaps[first + count]->Width() == model.Width() &&
           pixmaps[first + count]->Height() == model.Height()) {
      count++;
    }
    const std::span<const Ref<TPixmap>> run(pixmaps.data() + first, count);
    first += count;
    const std::vector<detail::frametexture> made = detail::MakeFrameTextures(run, flags);
    const Ref<TGLFrameTexture> texture = New<TGLFrameTexture>(made[0].texture, made[0].group);
    for (size_t i = 0; i < run.size(); i++) {
      frames.push_back(
          New<TGLImageFrame>(texture, made[i], flags, sequence, CoverageOf(*run[i], made[i])));
    }
  }
  return frames;
}

void TGLDrawDriver::ApplyBlend(int mode) {
  if (mode == state.blend) return;
  EndQuads();
  state.blendSkipped = false;
  state.blend = mode;
  switch (mode) {
    case BLEND_MASK:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 0.5f);
      return;
    case BLEND_ALPHA:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case BLEND_LIGHT:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    case BLEND_SHADE:
      glEnable(GL_BLEND);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      break;
    default:
      glDisable(GL_BLEND);
      break;
  }
  glDisable(GL_ALPHA_TEST);
}

void TGLDrawDriver::ApplyAlpha(float alpha) {
  // NaN fails every comparison and becomes 0.
  if (alpha > 1) {
    alpha = 1.0f;
  } else if (!(alpha >= 0)) {
    alpha = 0.0f;
  }
  state.color[3] = static_cast<uint8_t>(alpha * 255);
  SendColor();
}

void TGLDrawDriver::ApplyColor(int r, int g, int b) {
  state.color[0] = ClampByte(r);
  state.color[1] = ClampByte(g);
  state.color[2] = ClampByte(b);
  SendColor();
}

void TGLDrawDriver::ApplyClearColor(int r, int g, int b) {
  EndQuads();
  glClearColor(ClampByte(r) / 255.0f, ClampByte(g) / 255.0f, ClampByte(b) / 255.0f, 1.0f);
}

void TGLDrawDriver::ApplyClip(int x, int y, int width, int height) {
  EndQuads();
  const int displayHeight = DisplayHeight();
  if (x == 0 && y == 0 && width == DisplayWidth() && height == displayHeight) {
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, displayHeight - y - height, width, height);
}

void TGLDrawDriver::ApplyMatrix(float ix, float iy, float jx, float jy) {
  state.ix = ix;
  state.iy = iy;
  state.jx = jx;
  state.jy = jy;
}

void TGLDrawDriver::ApplyLineWidth(float width) {
  EndQuads();
  glLineWidth(width);
}

void TGLDrawDriver::ClearBuffer() {
  EndQuads();
  glClear(GL_COLOR_BUFFER_BIT);
}

void TGLDrawDriver::RenderPoint(float x, float y) {
  Untextured();
  glBegin(GL_POINTS);
  glVertex2f(x + 0.5f, y + 0.5f);
  glEnd();
}

void TGLDrawDriver::RenderLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  Untextured();
  glBegin(GL_LINES);
  Vertex(x0, y0, tx + 0.5f, ty + 0.5f);
  Vertex(x1, y1, tx + 0.5f, ty + 0.5f);
  glEnd();
}

void TGLDrawDriver::RenderRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  Untextured();
  glBegin(GL_QUADS);
  Vertex(x0, y0, tx, ty);
  Vertex(x1, y0, tx, ty);
  Vertex(x1, y1, tx, ty);
  Vertex(x0, y1, tx, ty);
  glEnd();
}

void TGLDrawDriver::RenderOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  const float rx = (x1 - x0) * 0.5f, ry = (y1 - y0) * 0.5f;
  const float cx = x0 + rx, cy = y0 + ry;
  const int n = OvalVertexCount(rx, ry);
  Untextured();
  glBegin(GL_POLYGON);
  for (int i = 0; i < n; i++) {
    const double a = i * 360.0 / n * (std::numbers::pi / 180.0);
    Vertex(cx + rx * static_cast<float>(std::cos(a)), cy - ry * static_cast<float>(std::sin(a)), tx,
           ty);
  }
  glEnd();
}

void TGLDrawDriver::RenderPolygon(const std::vector<float>& xy, float hx, float hy, float tx,
                                  float ty) {
  if (xy.size() < 6 || xy.size() % 2 != 0) return;
  Untextured();
  glBegin(GL_POLYGON);
  for (size_t i = 0; i < xy.size(); i += 2) Vertex(xy[i] + hx, xy[i + 1] + hy, tx, ty);
  glEnd();
}

void TGLDrawDriver::BlitPixmap(const Ref<TPixmap>& pixmap, int x, int y) {
  const int blend = BlendToRestore();
  Texturing(false);
  ApplyBlend(BLEND_SOLID);
  // OpenGL's rows run bottom-up.
  Ref<TPixmap> rows = MirrorPixmapY(pixmap);
  if (rows->Format() != PIXFMT_RGBA32) rows = rows->Convert(PIXFMT_RGBA32);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rows->Pitch() / BYTES_PER_PIXEL[PIXFMT_RGBA32]);
  // From the top-left corner, moved in window pixels: valid also when the
  // picture starts off screen, where a raster position would be clipped.
  glRasterPos2i(0, 0);
  glBitmap(0, 0, 0, 0, static_cast<float>(x), static_cast<float>(-y - rows->Height()), nullptr);
  glDrawPixels(rows->Width(), rows->Height(), GL_RGBA, GL_UNSIGNED_BYTE, rows->Pixels());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  ApplyBlend(blend);
}

Ref<TPixmap> TGLDrawDriver::ReadPixmap(int x, int y, int width, int height) {
  EndQuads();
  const int blend = BlendToRestore();
  ApplyBlend(BLEND_SOLID);
  const Ref<TPixmap> pixmap = CreatePixmap(width, height, PIXFMT_RGBA32, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, pixmap->Pitch() / BYTES_PER_PIXEL[PIXFMT_RGBA32]);
  glReadPixels(x, DisplayHeight() - height - y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
               pixmap->Pixels());
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  ApplyBlend(blend);
  return MirrorPixmapY(pixmap);
}

void FinishGLDrawing() { EndQuads(); }

int detail::ImageBatches() { return imageBatches; }

int detail::CopyBatches() { return copyBatches; }

void detail::AllowCopyProgram(bool allowed) {
  EndQuads();
  copyProgramAllowed = allowed;
}

Ref<TGLDrawDriver> GLDrawDriver() {
  static Ref<TGLDrawDriver> driver = New<TGLDrawDriver>();
  return driver;
}

void StartGLDraw2D() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartDraw2D();
  StartGLDisplay();
  StartEmbeddedFiles();
  RegisterEmbeddedFiles(GLDrawTextFontFiles());
  SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
}
