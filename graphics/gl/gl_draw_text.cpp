#include "graphics/gl/gl_draw_text.h"

#include <GL/gl.h>

#include "graphics/draw2d/glyph_font.h"
#include "graphics/gl/gl_display.h"
#include "graphics/gl/gl_draw.h"
#include "graphics/gl/gl_texture.h"

namespace {

constexpr int FIRST_CHAR = 32, GLYPH_COUNT = 96;
constexpr int GLYPH_WIDTH = 8, GLYPH_HEIGHT = 16;
constexpr int STRIP_WIDTH = 1024;  // power of two; the glyphs fill 768
constexpr float GLYPH_U = static_cast<float>(GLYPH_WIDTH) / STRIP_WIDTH;
constexpr const char* FONT_FILE = "gldrawtextfont.bin";

GLuint fontTexture = 0;

GLuint FontTexture() {
  if (fontTexture) return fontTexture;
  StartGLDraw2D();
  const Ref<TPixmap> strip = detail::FontStrip(FONT_FILE, STRIP_WIDTH);
  GLDisplayDriver()->ToggleSharedContext();
  fontTexture = GLTexFromPixmap(strip, 1);
  GLDisplayDriver()->ToggleSharedContext();
  return fontTexture;
}

}  // namespace

void GLDrawText(const String& text, int x, int y) {
  FinishGLDrawing();
  const GLuint texture = FontTexture();
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, viewport[2], viewport[3], 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  // Tinted by the current colour, whatever the 2D driver left.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, texture);

  glBegin(GL_QUADS);
  float left = static_cast<float>(x);
  const float top = static_cast<float>(y), bottom = top + GLYPH_HEIGHT;
  for (char16_t c : text.Chars()) {
    if (c >= FIRST_CHAR && c < FIRST_CHAR + GLYPH_COUNT) {
      const float u = static_cast<float>(c - FIRST_CHAR) * GLYPH_U;
      const float right = left + GLYPH_WIDTH;
      glTexCoord2f(u, 0);
      glVertex2f(left, top);
      glTexCoord2f(u + GLYPH_U, 0);
      glVertex2f(right, top);
      glTexCoord2f(u + GLYPH_U, 1);
      glVertex2f(right, bottom);
      glTexCoord2f(u, 1);
      glVertex2f(left, bottom);
    }
    left += GLYPH_WIDTH;
  }
  glEnd();

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}
