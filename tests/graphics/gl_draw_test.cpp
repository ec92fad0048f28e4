// The OpenGL 2D driver against a real X server and Mesa: everything is
// checked on the pixels read back from the back buffer.
#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros would replace.
#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/glyph_font.h"
#include "graphics/draw2d/image.h"
#include "graphics/gl/gl_display.h"
#include "graphics/gl/gl_draw.h"
#include "graphics/gl/gl_draw_text.h"
#include "graphics/gl/gl_texture.h"
#include "pixmap/pixmap_transform.h"
#include "runtime/runtime_error.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "tests/support/keep_mesa_loaded.h"

namespace {

constexpr int WIDTH = 320, HEIGHT = 240;
constexpr uint32_t BLACK = 0x000000, WHITE = 0xffffff, RED = 0xff0000, GREEN = 0x00ff00;

std::string Hex(uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "%06x", rgb);
  return text;
}

#define EXPECT_RGB(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))

// The colour of a screen pixel.
uint32_t At(int x, int y) {
  return static_cast<uint32_t>(GrabScreenPixmap(x, y, 1, 1)->ReadPixel(0, 0)) & 0xffffff;
}

void SetColor(uint32_t rgb) { SetDrawColor(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255); }

void Fill(uint32_t rgb) {
  SetColor(rgb);
  FillRect(0, 0, WIDTH, HEIGHT);
}

// An RGBA pixmap whose pixels are argb(x, y).
template <class F>
Ref<TPixmap> Painted(int width, int height, F argb) {
  Ref<TPixmap> pixmap = CreatePixmap(width, height, PIXFMT_RGBA32);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) pixmap->WritePixel(x, y, static_cast<int>(argb(x, y)));
  }
  return pixmap;
}

Ref<TGLImageFrame> GLFrame(const Ref<TImage>& image) {
  return Cast<TGLImageFrame>(image->Frame(0));
}

class GLDraw : public testing::Test {
 protected:
  void SetUp() override {
    StartSystem();
    StartGLDraw2D();
    if (!X11Display()) GTEST_SKIP() << "No X server could be opened; set DISPLAY to one (an Xvfb)";
    Open(WIDTH, HEIGHT);
  }
  void TearDown() override {
    if (!X11Display()) return;
    KeepMesaLoaded();
    CloseOpenedDisplay();
  }
  static void Open(int width, int height) {
    SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
    OpenDisplay(width, height, 0, 0, 0);
    ASSERT_TRUE(CurrentDrawDisplay());
  }
};

TEST_F(GLDraw, ANewDisplayStartsBlackWithWhiteMaskedDrawingOverAllOfIt) {
  const Ref<TPixmap> screen = GrabScreenPixmap(0, 0, WIDTH, HEIGHT);
  int nonBlack = 0;
  for (int y = 0; y < HEIGHT; y++) {
    for (int x = 0; x < WIDTH; x++) nonBlack += (screen->ReadPixel(x, y) & 0xffffff) != 0;
  }
  EXPECT_EQ(nonBlack, 0);
  // And the other buffer too.
  FlipDisplay(0);
  EXPECT_RGB(BLACK, At(WIDTH - 1, HEIGHT - 1));
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLfloat color[4] = {};
  glGetFloatv(GL_CURRENT_COLOR, color);
  EXPECT_EQ((std::vector<float>(color, color + 4)), (std::vector<float>{1, 1, 1, 1}));
  FillRect(0, 0, 1, 1);
  EXPECT_RGB(WHITE, At(0, 0));
}

TEST_F(GLDraw, RectanglesHangFromTheHandleAndTurnAndScaleWithTheMatrix) {
  SetColor(RED);
  SetDrawHandle(16, 16);
  FillRect(100, 100, 32, 32);
  EXPECT_RGB(RED, At(84, 84));
  EXPECT_RGB(RED, At(115, 115));
  EXPECT_RGB(BLACK, At(83, 100));
  EXPECT_RGB(BLACK, At(100, 83));
  EXPECT_RGB(BLACK, At(116, 116));

  ClearScreen();
  SetDrawHandle(0, 0);
  SetDrawOrigin(10, 0);
  SetDrawRotation(90);
  // Local x runs down the screen, local y to the left.
  FillRect(100, 100, 20, 10);
  EXPECT_RGB(RED, At(105, 119));
  EXPECT_RGB(RED, At(100, 100));
  EXPECT_RGB(BLACK, At(111, 105));
  EXPECT_RGB(BLACK, At(105, 121));

  ClearScreen();
  SetDrawOrigin(0, 0);
  SetDrawTransform(0, 2, 3);
  FillRect(10, 10, 5, 5);
  EXPECT_RGB(RED, At(10, 10));
  EXPECT_RGB(RED, At(19, 24));
  EXPECT_RGB(BLACK, At(20, 24));
  EXPECT_RGB(BLACK, At(19, 25));
}

TEST_F(GLDraw, PointsLinesOvalsAndPolygons) {
  SetDrawRotation(45);
  SetDrawHandle(3, 3);
  SetDrawOrigin(1, 1);
  PlotPoint(4, 5);
  EXPECT_RGB(WHITE, At(5, 6));
  EXPECT_RGB(BLACK, At(4, 6));
  EXPECT_RGB(BLACK, At(5, 5));

  ClearScreen();
  SetDrawTransform(0, 1, 1);
  SetDrawHandle(0, 0);
  SetDrawOrigin(0, 0);
  DrawLineSegment(10, 20, 30, 20, 1);
  EXPECT_RGB(WHITE, At(10, 20));
  EXPECT_RGB(WHITE, At(20, 20));
  EXPECT_RGB(WHITE, At(30, 20));
  EXPECT_RGB(BLACK, At(20, 21));
  EXPECT_RGB(BLACK, At(31, 20));

  ClearScreen();
  FillOval(100, 100, 40, 20);
  EXPECT_RGB(WHITE, At(120, 110));
  EXPECT_RGB(WHITE, At(101, 110));
  EXPECT_RGB(BLACK, At(101, 101));
  EXPECT_RGB(BLACK, At(138, 118));

  ClearScreen();
  FillPolygon({200, 100, 240, 100, 200, 140});
  EXPECT_RGB(WHITE, At(205, 105));
  EXPECT_RGB(BLACK, At(235, 135));
  ClearScreen();
  FillPolygon({200, 100, 240, 100, 200});
  FillPolygon({200, 100, 240, 100});
  EXPECT_RGB(BLACK, At(205, 101));
}

// The vertices of an oval, drawn as points spread apart by the scale (the
// vertex count depends on the local size only).
int OvalVertices(float width, float height, float scale) {
  ClearScreen();
  SetDrawScale(scale, scale);
  glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
  FillOval(WIDTH / 2.0f - width * scale / 2, HEIGHT / 2.0f - height * scale / 2, width, height);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  SetDrawScale(1, 1);
  const Ref<TPixmap> screen = GrabScreenPixmap(0, 0, WIDTH, HEIGHT);
  int points = 0;
  for (int y = 0; y < HEIGHT; y++) {
    for (int x = 0; x < WIDTH; x++) points += (screen->ReadPixel(x, y) & 0xffffff) != 0;
  }
  return points;
}

TEST_F(GLDraw, OvalsHaveAVertexPerPixelOfRadiusInFours) {
  EXPECT_EQ(OvalVertices(10, 10, 16), 12);
  EXPECT_EQ(OvalVertices(100, 60, 2), 80);
  EXPECT_EQ(OvalVertices(31, 31, 6), 28);
  EXPECT_EQ(OvalVertices(-20, 8, 6), 12);
}

TEST_F(GLDraw, ClippingScissorsEverythingButTheClipRectangle) {
  SetClipRect(10, 20, 100, 50);
  GLint box[4] = {};
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ((std::vector<int>(box, box + 4)), (std::vector<int>{10, HEIGHT - 70, 100, 50}));
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  Fill(RED);
  EXPECT_RGB(RED, At(10, 20));
  EXPECT_RGB(RED, At(109, 69));
  EXPECT_RGB(BLACK, At(9, 20));
  EXPECT_RGB(BLACK, At(10, 19));
  EXPECT_RGB(BLACK, At(110, 69));
  EXPECT_RGB(BLACK, At(109, 70));
  // Clearing keeps to the clip rectangle too.
  SetClearColor(0, 255, 0);
  ClearScreen();
  EXPECT_RGB(GREEN, At(50, 50));
  EXPECT_RGB(BLACK, At(5, 5));
  SetClipRect(0, 0, WIDTH, HEIGHT);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_RGB(BLACK, At(0, 0));
}

TEST_F(GLDraw, BlendModesMixAsTheirNamesSay) {
  struct Case {
    int blend;
    uint32_t background, color;
    float alpha;
    uint32_t expected;
  };
  const Case cases[] = {
      {BLEND_SOLID, 0x204060, 0x808080, 0.5f, 0x808080},
      {99, 0x204060, 0x808080, 0.5f, 0x808080},
      // Alpha 0.5 sends 127: 0x80 * 127/255 + 0x40 * 128/255 = 0x60.
      {BLEND_ALPHA, 0x004080, 0x8080ff, 0.5f, 0x3f60bf},
      {BLEND_LIGHT, 0x204060, 0x808080, 0.5f, 0x5f7f9f},
      {BLEND_LIGHT, 0xc0c0c0, 0xffffff, 1.0f, 0xffffff},
      {BLEND_SHADE, 0x80ff40, 0x8080ff, 1.0f, 0x408040},
  };
  for (const Case& c : cases) {
    SetBlendMode(BLEND_SOLID);
    SetDrawAlpha(1);
    Fill(c.background);
    SetBlendMode(c.blend);
    SetDrawAlpha(c.alpha);
    SetColor(c.color);
    FillRect(10, 10, 4, 4);
    const uint32_t got = At(11, 11);
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(static_cast<int>(got >> shift & 255), static_cast<int>(c.expected >> shift & 255),
                  1)
          << "blend " << c.blend << ": " << Hex(got);
    }
  }
}

// Drawn texel for pixel, only the visible part of a picture goes to OpenGL
// where clear texels change nothing; solid and shade draw their clear texels.
TEST_F(GLDraw, ClearBordersChangeThePixelsTheirBlendModeSays) {
  // A 6 x 4 picture, clear but for one white texel at (2, 1).
  const Ref<TImage> image = LoadImageFrom(
      Painted(6, 4, [](int x, int y) { return x == 2 && y == 1 ? 0xffffffffu : 0u; }), 0);
  const Ref<TImage> clear = LoadImageFrom(Painted(6, 4, [](int, int) { return 0u; }), 0);
  // What the white texel and a clear one leave on a grey background: a clear
  // texel is black in solid mode, and shade multiplies by it.
  struct Case {
    int blend;
    uint32_t texel, border;
  };
  for (const Case& c : {Case{BLEND_ALPHA, WHITE, 0x404040}, Case{BLEND_LIGHT, WHITE, 0x404040},
                        Case{BLEND_MASK, WHITE, 0x404040}, Case{BLEND_SOLID, WHITE, BLACK},
                        Case{BLEND_SHADE, 0x404040, BLACK}}) {
    SetBlendMode(BLEND_SOLID);
    Fill(0x404040);
    SetBlendMode(c.blend);
    SetColor(WHITE);
    DrawImageFrame(image, 10, 10, 0);
    DrawImageFrame(clear, 30, 10, 0);
    EXPECT_RGB(c.texel, At(12, 11)) << c.blend;
    for (const auto& [x, y] :
         {std::pair{10, 10}, {15, 13}, {11, 11}, {13, 12}, {30, 10}, {35, 13}}) {
      EXPECT_RGB(c.border, At(x, y)) << c.blend << " at " << x << "," << y;
    }
  }
}

TEST_F(GLDraw, MaskingDrawsTexelsOfAlphaFromOneHalf) {
  const Ref<TImage> image =
      LoadImageFrom(Painted(4, 1, [](int x, int) { return (126u + x) << 24 | 0xffffff; }), 0);
  SetBlendMode(BLEND_MASK);
  DrawImageFrame(image, 10, 10, 0);
  EXPECT_RGB(BLACK, At(10, 10));  // 126
  EXPECT_RGB(BLACK, At(11, 10));  // 127
  EXPECT_RGB(WHITE, At(12, 10));  // 128
  EXPECT_RGB(WHITE, At(13, 10));  // 129

  // The drawing alpha counts as well: modulated below one half, nothing shows.
  ClearScreen();
  SetDrawAlpha(0.4f);
  DrawImageFrame(image, 10, 10, 0);
  EXPECT_RGB(BLACK, At(13, 10));
}

TEST_F(GLDraw, AlphaAndColoursAreClampedWhenApplied) {
  GLfloat color[4] = {};
  const auto current = [&] {
    glGetFloatv(GL_CURRENT_COLOR, color);
    return std::vector<int>{
        static_cast<int>(color[0] * 255 + 0.5f), static_cast<int>(color[1] * 255 + 0.5f),
        static_cast<int>(color[2] * 255 + 0.5f), static_cast<int>(color[3] * 255 + 0.5f)};
  };
  SetDrawColor(300, -5, 7);
  SetDrawAlpha(1.5f);
  EXPECT_EQ(current(), (std::vector<int>{255, 0, 7, 255}));
  SetDrawAlpha(-0.2f);
  EXPECT_EQ(current()[3], 0);
  SetDrawAlpha(0.5f);
  EXPECT_EQ(current()[3], 127);
  SetDrawAlpha(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(current()[3], 0);
  SetClearColor(-1, 999, 128);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, color);
  EXPECT_EQ((std::vector<float>(color, color + 4)), (std::vector<float>{0, 1, 128 / 255.0f, 1}));
}

TEST_F(GLDraw, ImagesArePlacedByAnchorOriginRotationAndScale) {
  // Red left half, green right half.
  const Ref<TImage> image = LoadImageFrom(
      Painted(16, 8, [](int x, int) { return x < 8 ? 0xffff0000u : 0xff00ff00u; }), 0);
  SetImageAnchor(image, 8, 8);
  SetDrawOrigin(2, 3);
  DrawImageFrame(image, 100, 100, 0);
  EXPECT_RGB(RED, At(94, 95));
  EXPECT_RGB(RED, At(101, 102));
  EXPECT_RGB(GREEN, At(102, 95));
  EXPECT_RGB(GREEN, At(109, 102));
  EXPECT_RGB(BLACK, At(93, 95));
  EXPECT_RGB(BLACK, At(110, 95));
  EXPECT_RGB(BLACK, At(100, 103));

  ClearScreen();
  SetDrawOrigin(0, 0);
  SetImageAnchor(image, 0, 0);
  SetDrawRotation(90);
  DrawImageFrame(image, 100, 100, 0);
  // Turned a quarter clockwise: red on top, green below, reaching left.
  EXPECT_RGB(RED, At(95, 103));
  EXPECT_RGB(GREEN, At(95, 112));
  EXPECT_RGB(BLACK, At(101, 103));

  ClearScreen();
  SetDrawTransform(0, 2, 2);
  DrawImageFrame(image, 0, 0, 0);
  EXPECT_RGB(RED, At(15, 15));
  EXPECT_RGB(GREEN, At(16, 15));
  EXPECT_RGB(GREEN, At(31, 15));
  EXPECT_RGB(BLACK, At(32, 15));

  ClearScreen();
  SetDrawTransform(0, 1, 1);
  DrawImageFrameScaled(image, 0, 0, 32, 4, 0);
  EXPECT_RGB(RED, At(15, 3));
  EXPECT_RGB(GREEN, At(16, 3));
  EXPECT_RGB(BLACK, At(16, 4));
}

TEST_F(GLDraw, TexturesArePowersOfTwoWithTheLastRowAndColumnRepeated) {
  const Ref<TImage> image = LoadImageFrom(
      Painted(100, 60, [](int x, int y) { return 0xff000000u | x << 8 | y; }), IMG_FILTERED);
  const Ref<TGLImageFrame> frame = GLFrame(image);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->u1, 0.78125f);
  EXPECT_EQ(frame->v1, 0.9375f);
  EXPECT_EQ(frame->u0 + frame->v0, 0);
  EXPECT_EQ(frame->sequence, DisplaySequence());
  glBindTexture(GL_TEXTURE_2D, frame->shared->texture);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w * 1000 + h, 128064);
  std::vector<uint8_t> texels(128 * 64 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  const auto texel = [&](int x, int y) {
    const uint8_t* p = &texels[(static_cast<size_t>(y) * 128 + x) * 4];
    return std::vector<int>{p[1], p[2], p[3]};
  };
  EXPECT_EQ(texel(99, 10), (std::vector<int>{99, 10, 255}));
  EXPECT_EQ(texel(100, 10), texel(99, 10));
  EXPECT_EQ(texel(20, 60), texel(20, 59));
  EXPECT_EQ(texel(100, 60), texel(99, 59));
  GLint magnify = 0, minify = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnify);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minify);
  EXPECT_EQ(magnify, GL_LINEAR);
  EXPECT_EQ(minify, GL_NEAREST);

  const Ref<TImage> square = LoadImageFrom(Painted(64, 64, [](int, int) { return ~0u; }), 4);
  EXPECT_EQ(GLFrame(square)->u1, 1.0f);
  EXPECT_EQ(GLFrame(square)->v1, 1.0f);
  glBindTexture(GL_TEXTURE_2D, GLFrame(square)->shared->texture);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minify);
  EXPECT_EQ(minify, GL_LINEAR_MIPMAP_LINEAR);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &w);
  EXPECT_EQ(w, 1);
  glBindTexture(GL_TEXTURE_2D, 0);

  // Drawn unscaled, the padding never shows.
  DrawImageFrame(image, 0, 0, 0);
  EXPECT_RGB(0x006300 | 59, At(99, 59));
  EXPECT_RGB(BLACK, At(100, 59));
  EXPECT_RGB(BLACK, At(99, 60));
}

TEST_F(GLDraw, TexturesTooWideForOpenGLAreHalvedAndResampled) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  int w = largest + 1, h = 3;
  GLAdjustTexSize(w, h);
  EXPECT_EQ(w, largest);
  EXPECT_EQ(h, 2);  // 4 halved along with the width
  w = 100;
  h = 1;
  GLAdjustTexSize(w, h);
  EXPECT_EQ(w * 10 + h, 1281);

  const Ref<TImage> wide = LoadImageFrom(Painted(largest + 8, 1, [](int, int) { return ~0u; }), 0);
  const Ref<TGLImageFrame> frame = GLFrame(wide);
  EXPECT_EQ(frame->u1, 1.0f);
  EXPECT_EQ(frame->v1, 1.0f);
}

TEST_F(GLDraw, TilesStartOnTheImagesGridLeftOfTheClipRectangle) {
  // Each texel column's red is its column number.
  const Ref<TImage> image =
      LoadImageFrom(Painted(64, 64, [](int x, int y) { return 0xff000000u | x << 16 | y; }), 0);
  SetClipRect(0, 0, 200, 100);
  SetDrawRotation(30);
  TileImageFrame(image, -127, 0, 0);
  EXPECT_RGB(0x3f0000, At(0, 0));
  EXPECT_RGB(0x000000, At(1, 0));
  EXPECT_RGB(0x060000 | 35, At(199, 99));
  EXPECT_RGB(BLACK, At(200, 0));

  TileImageFrame(image, -64, -10, 0);
  EXPECT_RGB(0x00000a, At(0, 0));
  EXPECT_RGB(0x3f0000 | 9, At(63, 63));
  // The rotation is back for what follows.
  float ix = 0, iy = 0;
  EXPECT_EQ(GetDrawRotation(), 30);
  ix = CurrentDrawDisplay()->ix;
  iy = CurrentDrawDisplay()->iy;
  EXPECT_NEAR(ix, 0.866f, 1e-3);
  EXPECT_NEAR(iy, -0.5f, 1e-3);
}

TEST_F(GLDraw, TextIsDrawnInTheColourEightPixelsAGlyph) {
  EXPECT_EQ(MeasureTextWidth("Hello"), 40);
  EXPECT_EQ(MeasureTextHeight("Hello"), 16);
  SetColor(RED);
  DrawString("  ", 10, 10);
  const auto setIn = [](int x0, int y0, int w, int h) {
    const Ref<TPixmap> area = GrabScreenPixmap(x0, y0, w, h);
    int set = 0;
    for (int y = 0; y < h; y++) {
      for (int x = 0; x < w; x++) {
        const uint32_t p = static_cast<uint32_t>(area->ReadPixel(x, y)) & 0xffffff;
        EXPECT_TRUE(p == 0 || p == RED) << Hex(p);
        set += p != 0;
      }
    }
    return set;
  };
  EXPECT_EQ(setIn(0, 0, 60, 40), 0);
  DrawString(" A\nB", 10, 10);
  EXPECT_EQ(setIn(10, 10, 8, 16), 0);
  EXPECT_GT(setIn(18, 10, 8, 16), 0);
  EXPECT_GT(setIn(26, 10, 8, 16), 0);  // the newline has no glyph and no width
  EXPECT_EQ(setIn(34, 0, 30, 40) + setIn(0, 0, 10, 40) + setIn(10, 26, 30, 10), 0);
}

TEST_F(GLDraw, PixmapsGoToTheScreenAndComeBackUnchanged) {
  const Ref<TPixmap> picture = Painted(30, 20, [](int x, int y) {
    return 0xff000000u | (x * 8) << 16 | (y * 12) << 8 | ((x + y) * 3);
  });
  SetBlendMode(BLEND_ALPHA);
  DrawPixmapAt(picture, 10, 10);
  const Ref<TPixmap> back = GrabScreenPixmap(10, 10, 30, 20);
  int differing = 0;
  for (int y = 0; y < 20; y++) {
    for (int x = 0; x < 30; x++) differing += back->ReadPixel(x, y) != picture->ReadPixel(x, y);
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(GetBlendMode(), BLEND_ALPHA);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));

  // Starting off screen, the rest still lands where it belongs.
  ClearScreen();
  DrawPixmapAt(picture, -5, -4);
  EXPECT_EQ(static_cast<uint32_t>(At(0, 0)),
            static_cast<uint32_t>(picture->ReadPixel(5, 4)) & 0xffffff);
  EXPECT_EQ(static_cast<uint32_t>(At(24, 15)),
            static_cast<uint32_t>(picture->ReadPixel(29, 19)) & 0xffffff);
  EXPECT_RGB(BLACK, At(25, 15));

  // Grabbed frames take what is on screen.
  const Ref<TImage> grabbed = NewImage(4, 4, 1, 0);
  GrabImageFrame(grabbed, 0, 0, 0);
  EXPECT_EQ(LockImageFrame(grabbed, 0, 1, 0)->ReadPixel(3, 3), picture->ReadPixel(8, 7));
}

TEST_F(GLDraw, FramesAreMadeAgainForANewDisplay) {
  const Ref<TImage> image = LoadImageFrom(Painted(8, 8, [](int, int) { return 0xff00ff00u; }), 0);
  DrawImageFrame(image, 0, 0, 0);
  const Ref<TImageFrame> first = image->Frame(0);
  EXPECT_EQ(image->Frame(0), first);
  EXPECT_RGB(GREEN, At(7, 7));

  CloseOpenedDisplay();
  Open(WIDTH, HEIGHT);
  EXPECT_RGB(BLACK, At(7, 7));
  DrawImageFrame(image, 0, 0, 0);
  EXPECT_NE(image->Frame(0), first);
  EXPECT_RGB(GREEN, At(7, 7));

  // A frame dropped while its display is current gives its texture back,
  // and the next texture, which may get the same name, is bound anew.
  const GLuint name = GLFrame(image)->shared->texture;
  LockImageFrame(image, 0, 0, 1)->WritePixel(0, 0, static_cast<int>(0xffff0000u));
  EXPECT_FALSE(glIsTexture(name));
  DrawImageFrame(image, 0, 0, 0);
  EXPECT_RGB(RED, At(0, 0));
  EXPECT_RGB(GREEN, At(1, 0));
}

TEST_F(GLDraw, PixelTransfersKeepTheBlendModeOfADisplaySelectedAgain) {
  const Ref<TImage> image =
      LoadImageFrom(Painted(2, 1, [](int x, int) { return (127u + x) << 24 | 0xffffff; }), 0);
  SetBlendMode(BLEND_MASK);
  const Ref<TDisplay> display = CurrentDisplay();
  SetCurrentDisplay(nullptr);
  EXPECT_FALSE(CurrentDrawDisplay());
  SetCurrentDisplay(display);
  EXPECT_EQ(GetBlendMode(), BLEND_MASK);
  GrabScreenPixmap(0, 0, 1, 1);
  DrawPixmapAt(CreatePixmap(1, 1, PIXFMT_GRAY8), 50, 50);
  DrawImageFrame(image, 10, 10, 0);
  EXPECT_RGB(BLACK, At(10, 10));
  EXPECT_RGB(WHITE, At(11, 10));
}

TEST_F(GLDraw, QuickTextLeavesTheStateAsItWas) {
  glColor4ub(0, 255, 0, 255);
  glBindTexture(GL_TEXTURE_2D, 0);
  GLDrawText(" A", 20, 30);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  GLint bound = -1, mode = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(bound, 0);
  EXPECT_EQ(mode, GL_MODELVIEW);
  const Ref<TPixmap> area = GrabScreenPixmap(20, 30, 16, 16);
  int left = 0, right = 0;
  for (int y = 0; y < 16; y++) {
    for (int x = 0; x < 16; x++) (x < 8 ? left : right) += (area->ReadPixel(x, y) & 0xffffff) != 0;
  }
  EXPECT_EQ(left, 0);
  EXPECT_GT(right, 0);
}

}  // namespace

namespace {

TEST_F(GLDraw, OpaqueImagesSkipBlendingOnlyWhereItChangesNothing) {
  const Ref<TImage> red = LoadImageFrom(Painted(16, 16, [](int, int) { return 0xffff0000u; }), 0);
  SetBlendMode(BLEND_ALPHA);
  Fill(BLACK);
  SetColor(WHITE);
  DrawImageFrame(red, 0, 0, 0);
  EXPECT_RGB(RED, At(8, 8));
  SetDrawAlpha(0.5f);
  DrawImageFrame(red, 20, 0, 0);
  EXPECT_NEAR(At(28, 8) >> 16, 0x80, 2) << "half alpha still blends";
  SetDrawAlpha(1);
  DrawImageFrame(red, 40, 0, 0);
  SetDrawAlpha(0.5f);
  SetColor(GREEN);
  FillRect(40, 0, 16, 16);
  EXPECT_NEAR(At(48, 8) >> 16, 0x80, 2) << "a shape after an opaque image, copied, blends again";
  EXPECT_NEAR(At(48, 8) >> 8 & 0xff, 0x80, 2);
}

}  // namespace

namespace {

TEST_F(GLDraw, TexelsGoingToBlendingUnchangedTakeTheCopyProgramWithTheSamePixels) {
  const auto colours = [](int x, int y) {
    return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) >> 8;
  };
  // Every alpha from 0 to 255 across, in a picture and in frames sharing a
  // texture; and an opaque picture to draw them over.
  const auto sprite = [&](int x, int y) { return static_cast<uint32_t>(x) << 24 | colours(x, y); };
  const Ref<TImage> ramp = LoadImageFrom(Painted(256, 40, sprite), 0);
  const Ref<TImage> strip = LoadImageStrip(Painted(256, 40, sprite), 64, 40, 0, 4, 0);
  const Ref<TImage> ground = LoadImageFrom(
      Painted(WIDTH, HEIGHT, [&](int x, int y) { return 0xff000000u | colours(y, x); }),
      IMG_FILTERED);
  const auto copies = [](auto draw) {
    const int before = detail::CopyBatches();
    draw();
    return detail::CopyBatches() - before;
  };
  const auto scene = [&](int blend) {
    SetBlendMode(BLEND_SOLID);
    SetColor(WHITE);
    SetDrawAlpha(1);
    DrawImageFrame(ground, 0, 0, 0);
    SetBlendMode(blend);
    DrawImageFrame(ramp, 10, 10, 0);
    for (int i = 0; i < 4; i++) DrawImageFrame(strip, 10.0f + 64 * i, 60, i);
    // These go through the fixed pipeline: tinted, at half alpha, between
    // pixels, scaled.
    SetColor(0x80c0ff);
    DrawImageFrame(ramp, 10, 110, 0);
    SetColor(WHITE);
    SetDrawAlpha(0.5f);
    DrawImageFrame(ramp, 10, 160, 0);
    SetDrawAlpha(1);
    DrawImageFrame(ramp, 10.5f, 200, 0);
    SetDrawScale(1, 0.5f);
    DrawImageFrame(ramp, 10, 220, 0);
    SetDrawScale(1, 1);
    return GrabScreenPixmap(0, 0, WIDTH, HEIGHT);
  };
  for (const int blend : {BLEND_SOLID, BLEND_ALPHA, BLEND_LIGHT, BLEND_SHADE, BLEND_MASK}) {
    Ref<TPixmap> copied;
    const int batches = copies([&] { copied = scene(blend); });
    EXPECT_EQ(blend == BLEND_MASK ? 1 : 3, batches) << blend;
    detail::AllowCopyProgram(false);
    Ref<TPixmap> fixed;
    EXPECT_EQ(0, copies([&] { fixed = scene(blend); })) << blend;
    detail::AllowCopyProgram(true);
    int differing = 0;
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++)
        differing += copied->ReadPixel(x, y) != fixed->ReadPixel(x, y);
    }
    EXPECT_EQ(0, differing) << blend;
  }
}

TEST_F(GLDraw, FilteredImagesDrawnTexelForPixelAreExactAndBlurOtherwise) {
  // Stripes one pixel wide: filtering between them shows at once.
  const Ref<TImage> stripes = LoadImageFrom(
      Painted(16, 16, [](int x, int) { return x % 2 ? 0xffffffffu : 0xff000000u; }), IMG_FILTERED);
  Fill(BLACK);
  SetColor(WHITE);
  DrawImageFrame(stripes, 10, 10, 0);
  EXPECT_RGB(BLACK, At(10, 15));
  EXPECT_RGB(WHITE, At(11, 15));
  EXPECT_RGB(BLACK, At(24, 15));
  EXPECT_RGB(WHITE, At(25, 15));
  DrawImageFrame(stripes, 40.5f, 10, 0);
  const uint32_t between = At(45, 15);
  EXPECT_NE(between, WHITE) << "half a pixel over, the texels blend";
  EXPECT_NE(between, BLACK);
  DrawImageFrame(stripes, 70, 10, 0);
  EXPECT_RGB(WHITE, At(71, 15)) << "and back on whole pixels, exact again";
}

}  // namespace

namespace {

// Whether a texture name exists in the name space every display shares; any
// context, or none, may be current.
bool TextureExists(GLuint name) {
  GLDisplayDriver()->ToggleSharedContext();
  const bool exists = glIsTexture(name);
  GLDisplayDriver()->ToggleSharedContext();
  return exists;
}

// Every level of a texture, read back in the shared context.
std::vector<Ref<TPixmap>> TextureLevels(GLuint texture) {
  std::vector<Ref<TPixmap>> levels;
  GLDisplayDriver()->ToggleSharedContext();
  glBindTexture(GL_TEXTURE_2D, texture);
  for (int level = 0;; level++) {
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    if (w < 1 || h < 1) break;
    levels.push_back(CreatePixmap(w, h, PIXFMT_RGBA32, 4));
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, levels.back()->Pixels());
    if (w == 1 && h == 1) break;
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  GLDisplayDriver()->ToggleSharedContext();
  return levels;
}

// What the frame's texture must hold: the picture with its last column and
// row carried to the texture's edges (transparent when it has no pixels),
// then each mipmap level resampled from the one before.
std::vector<Ref<TPixmap>> ExpectedLevels(const Ref<TPixmap>& picture, int tw, int th,
                                         bool mipmaps) {
  const int w = picture->Width(), h = picture->Height();
  Ref<TPixmap> level = CreatePixmap(tw, th, PIXFMT_RGBA32, 4);
  for (int y = 0; y < th; y++) {
    for (int x = 0; x < tw; x++) {
      level->WritePixel(
          x, y, w > 0 && h > 0 ? picture->ReadPixel(std::min(x, w - 1), std::min(y, h - 1)) : 0);
    }
  }
  std::vector<Ref<TPixmap>> levels = {level};
  while (mipmaps && (level->Width() > 1 || level->Height() > 1)) {
    level = ResizePixmap(level, std::max(level->Width() / 2, 1), std::max(level->Height() / 2, 1));
    levels.push_back(level);
  }
  return levels;
}

struct PoisonedPadding {
  PoisonedPadding() { detail::SetPaddingPoison(0xa5); }
  ~PoisonedPadding() { detail::SetPaddingPoison(-1); }
  PoisonedPadding(const PoisonedPadding&) = delete;
  PoisonedPadding& operator=(const PoisonedPadding&) = delete;
};

TEST_F(GLDraw, EveryTexelOfEveryLevelComesFromThePicture) {
  // Whatever the padded buffer held before shows unless it was overwritten.
  const PoisonedPadding poison;
  struct Case {
    Ref<TPixmap> picture;
    int flags, tw, th;
  };
  const auto varied = [](int x, int y) {
    return static_cast<uint32_t>(0x40 + (x * 7 + y) % 0xc0) << 24 | (x * 5) << 16 | (y * 9) << 8 |
           ((x ^ y) & 255);
  };
  Ref<TPixmap> rgb = CreatePixmap(5, 3, PIXFMT_RGB24);
  for (int y = 0; y < 3; y++) {
    for (int x = 0; x < 5; x++) rgb->WritePixel(x, y, static_cast<int>(varied(x, y)));
  }
  const Case cases[] = {
      {Painted(100, 60, varied), IMG_FILTERED | IMG_MIPMAPPED, 128, 64},
      {Painted(100, 60, varied), IMG_FILTERED, 128, 64},
      {Painted(3, 5, varied), IMG_MIPMAPPED, 4, 8},
      {Painted(64, 33, varied), IMG_MIPMAPPED, 64, 64},
      {rgb, IMG_MIPMAPPED, 8, 4},
      {CreatePixmap(0, 0, PIXFMT_RGBA32), IMG_MIPMAPPED, 1, 1},
  };
  for (const Case& c : cases) {
    const Ref<TImage> image = LoadImageFrom(c.picture, c.flags);
    const std::vector<Ref<TPixmap>> got = TextureLevels(GLFrame(image)->shared->texture);
    const std::vector<Ref<TPixmap>> expected =
        ExpectedLevels(c.picture, c.tw, c.th, c.flags & IMG_MIPMAPPED);
    const std::string name = std::to_string(c.picture->Width()) + " x " +
                             std::to_string(c.picture->Height()) + ", flags " +
                             std::to_string(c.flags);
    ASSERT_EQ(got.size(), expected.size()) << name;
    for (size_t level = 0; level < got.size(); level++) {
      const Ref<TPixmap>& g = got[level];
      const Ref<TPixmap>& e = expected[level];
      ASSERT_EQ(g->Width() * 100000 + g->Height(), e->Width() * 100000 + e->Height()) << name;
      int wrong = 0, firstX = -1, firstY = -1;
      for (int y = 0; y < e->Height(); y++) {
        for (int x = 0; x < e->Width(); x++) {
          if (g->ReadPixel(x, y) == e->ReadPixel(x, y)) continue;
          if (wrong++ == 0) firstX = x, firstY = y;
        }
      }
      EXPECT_EQ(wrong, 0) << name << ", level " << level << ", first at (" << firstX << ", "
                          << firstY
                          << "): " << Hex(static_cast<uint32_t>(g->ReadPixel(firstX, firstY)))
                          << " instead of "
                          << Hex(static_cast<uint32_t>(e->ReadPixel(firstX, firstY)));
    }
  }
}

TEST_F(GLDraw, TexturesOfFramesThatOutliveTheirDisplayAreDeleted) {
  const int live = detail::LiveFrameTextures();
  Ref<TImage> image = LoadImageFrom(Painted(8, 8, [](int, int) { return 0xff00ff00u; }), 0);
  DrawImageFrame(image, 0, 0, 0);
  const GLuint first = GLFrame(image)->shared->texture;
  EXPECT_EQ(detail::LiveFrameTextures(), live + 1);
  CloseOpenedDisplay();
  EXPECT_TRUE(TextureExists(first)) << "the image still holds it";

  Open(WIDTH, HEIGHT);
  DrawImageFrame(image, 0, 0, 0);
  EXPECT_RGB(GREEN, At(7, 7));
  const GLuint second = GLFrame(image)->shared->texture;
  EXPECT_EQ(detail::LiveFrameTextures(), live + 1);
  EXPECT_TRUE(TextureExists(second));
  EXPECT_EQ(TextureExists(first), first == second) << "the old frame's texture went with it";

  // Released with no display open, so no context current.
  CloseOpenedDisplay();
  image = nullptr;
  EXPECT_EQ(detail::LiveFrameTextures(), live);
  EXPECT_FALSE(TextureExists(second));
}

TEST_F(GLDraw, SwitchingDriversAsTheGameDoesLeavesNoTextureBehind) {
  const Ref<TImage> background = LoadImageFrom(
      Painted(WIDTH, HEIGHT, [](int x, int y) { return 0xff000000u | x << 8 | (y & 255); }), -1);
  const Ref<TGlyphFont> font = DefaultGlyphFont();
  const Ref<TImage> glyph = font->LoadGlyph(font->CharToGlyph('Z'))->GlyphImage();
  int live = 0;
  std::vector<GLuint> gone;
  for (int round = 0; round < 4; round++) {
    SetBlendMode(BLEND_SOLID);
    DrawImageFrame(background, 0, 0, 0);
    SetBlendMode(BLEND_MASK);
    DrawString("Z", 0, 0);
    const std::vector<GLuint> held = {GLFrame(background)->shared->texture,
                                      GLFrame(glyph)->shared->texture};
    if (round == 0) live = detail::LiveFrameTextures();
    EXPECT_EQ(detail::LiveFrameTextures(), live) << "round " << round;
    for (GLuint name : gone) {
      const bool reused = std::find(held.begin(), held.end(), name) != held.end();
      EXPECT_EQ(TextureExists(name), reused) << "round " << round << ", texture " << name;
    }
    gone.insert(gone.end(), held.begin(), held.end());
    // Opening closes the display that was open.
    SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
    OpenDisplay(WIDTH, HEIGHT, 0, 0, 0);
    ASSERT_TRUE(CurrentDrawDisplay());
  }
}

// count frames of width x height side by side in one pixmap, frame k's
// pixels argb(k, x, y).
template <class F>
Ref<TImage> Strip(int width, int height, int count, int flags, F argb) {
  const Ref<TPixmap> cells = Painted(width * count, height, [&](int x, int y) {
    return static_cast<uint32_t>(argb(x / width, x % width, y));
  });
  return LoadImageStrip(cells, width, height, 0, count, flags);
}

Ref<TGLImageFrame> GLFrame(const Ref<TImage>& image, int index) {
  return Cast<TGLImageFrame>(image->Frame(index));
}

TEST_F(GLDraw, FramesOfOneImageShareATextureAndARunOfThemIsOneBatch) {
  const int live = detail::LiveFrameTextures();
  // Like the game's font: 40 glyphs, each a colour of its own.
  Ref<TImage> font = Strip(32, 24, 40, IMG_MASKED, [](int k, int, int) {
    return 0xff000000u | static_cast<uint32_t>(k * 6) << 16 | 0x80;
  });
  SetBlendMode(BLEND_SOLID);
  FillRect(0, 0, 1, 1);
  const int before = detail::ImageBatches();
  for (int k = 0; k < 40; k++)
    DrawImageFrame(font, static_cast<float>(k % 10 * 32), k / 10 * 24, k);
  EXPECT_EQ(detail::ImageBatches() - before, 1);
  EXPECT_EQ(detail::LiveFrameTextures(), live + 1);
  for (int k = 0; k < 40; k++) {
    EXPECT_EQ(GLFrame(font, k)->shared->texture, GLFrame(font, 0)->shared->texture)
        << "frame " << k;
    const int x = k % 10 * 32, y = k / 10 * 24;
    EXPECT_RGB(static_cast<uint32_t>(k * 6) << 16 | 0x80, At(x, y)) << "frame " << k;
    EXPECT_RGB(static_cast<uint32_t>(k * 6) << 16 | 0x80, At(x + 31, y + 23)) << "frame " << k;
  }
  font = nullptr;
  EXPECT_EQ(detail::LiveFrameTextures(), live);
}

// Every case draws frame 1 of a strip and the same picture as an image of its
// own. The neighbours, red and blue, never show in frame 1's green, however
// it is filtered, placed, scaled or turned; the same pixels are covered; and
// where each pixel's sample lies clear of texel edges the pixels are equal.
// (Elsewhere Mesa rounds the two textures' coordinates apart: a sample on a
// texel edge may go either way.)
TEST_F(GLDraw, AFrameSharingATextureDrawsAsIfItHadItsOwn) {
  struct Size {
    int width, height;
  };
  // Powers of two leave no padding between the frames; the others do.
  const Size sizes[] = {{16, 16}, {13, 10}, {1, 3}};
  const auto picture = [](int k, int x, int y) {
    if (k != 1) return k == 0 ? 0xffff0000u : 0xff0000ffu;
    return 0xff000000u | static_cast<uint32_t>(64 + (x * 37 + y * 11) % 192) << 8;
  };
  struct Placing {
    const char* name;
    float degrees, sx, sy, x, y, width, height;  // width 0: unscaled
    bool tiled, exact;
  };
  const Placing placings[] = {
      {"whole pixels", 0, 1, 1, 20, 20, 0, 0, false, true},
      {"magnified three times", 0, 3, 3, 20, 20, 0, 0, false, true},
      {"turned a quarter", 90, 1, 1, 60, 20, 0, 0, false, true},
      {"tiled on whole pixels", 0, 1, 1, 7, 3, 0, 0, true, true},
      {"fractional", 0, 1, 1, 20.37f, 20.71f, 0, 0, false, false},
      {"magnified", 0, 1, 1, 3.25f, 5.5f, 150, 90, false, false},
      {"minified", 0, 1, 1, 20.5f, 20.25f, 7, 5, false, false},
      {"turned and scaled", 33, 3.3f, 2.1f, 80, 30, 0, 0, false, false},
      {"tiled and turned", 20, 1, 1, 7.5f, 3.25f, 0, 0, true, false},
  };
  constexpr int AREA = 200;
  SetBlendMode(BLEND_SOLID);
  for (const int flags : {0, static_cast<int>(IMG_FILTERED)}) {
    for (const Size& size : sizes) {
      const Ref<TImage> strip = Strip(size.width, size.height, 3, flags, picture);
      const Ref<TImage> alone = LoadImageFrom(strip->Lock(1, 1, 0)->Copy(), flags);
      for (const Placing& p : placings) {
        const auto draw = [&](const Ref<TImage>& image, int index) {
          Fill(BLACK);
          SetColor(WHITE);
          SetDrawTransform(p.degrees, p.sx, p.sy);
          SetClipRect(0, 0, AREA, AREA);
          if (p.tiled) {
            TileImageFrame(image, p.x, p.y, index);
          } else if (p.width > 0) {
            DrawImageFrameScaled(image, p.x, p.y, p.width, p.height, index);
          } else {
            DrawImageFrame(image, p.x, p.y, index);
          }
          SetDrawTransform(0, 1, 1);
          SetClipRect(0, 0, WIDTH, HEIGHT);
          return GrabScreenPixmap(0, 0, AREA, AREA);
        };
        const Ref<TPixmap> shared = draw(strip, 1);
        const Ref<TPixmap> own = draw(alone, 0);
        const std::string name = std::string(p.name) + ", " + std::to_string(size.width) + " x " +
                                 std::to_string(size.height) + ", flags " + std::to_string(flags);
        ASSERT_EQ(GLFrame(strip, 1)->shared->texture, GLFrame(strip, 0)->shared->texture) << name;
        int differing = 0, neighbour = 0, uncovered = 0;
        for (int y = 0; y < AREA; y++) {
          for (int x = 0; x < AREA; x++) {
            const uint32_t pixel = static_cast<uint32_t>(shared->ReadPixel(x, y)) & 0xffffff;
            const uint32_t alike = static_cast<uint32_t>(own->ReadPixel(x, y)) & 0xffffff;
            differing += pixel != alike;
            neighbour += (pixel & 0xff00ff) != 0;
            uncovered += (pixel == 0) != (alike == 0);
          }
        }
        EXPECT_TRUE(!p.exact || differing == 0) << name << ": " << differing << " pixels differ";
        EXPECT_EQ(neighbour, 0) << name;
        EXPECT_EQ(uncovered, 0) << name;
      }
    }
  }
}

TEST_F(GLDraw, ARewrittenFrameShowsItsNewPixelsAndItsNeighboursKeepTheirs) {
  const int live = detail::LiveFrameTextures();
  const uint32_t colours[] = {0xff0000u, 0x00ff00u, 0x0000ffu};
  Ref<TImage> image = Strip(8, 8, 3, 0, [&](int k, int, int) { return 0xff000000u | colours[k]; });
  SetBlendMode(BLEND_SOLID);
  const auto drawAll = [&] {
    for (int k = 0; k < 3; k++) DrawImageFrame(image, static_cast<float>(k * 8), 0, k);
  };
  drawAll();
  const Ref<TPixmap> pixmap = LockImageFrame(image, 1, 1, 1);
  for (int y = 0; y < 8; y++) {
    for (int x = 0; x < 8; x++) pixmap->WritePixel(x, y, static_cast<int>(0xffffffffu));
  }
  UnlockImageFrame(image, 1);
  drawAll();
  EXPECT_RGB(RED, At(7, 7));
  EXPECT_RGB(WHITE, At(8, 0));
  EXPECT_RGB(WHITE, At(15, 7));
  EXPECT_RGB(0x0000ff, At(16, 0));

  // Grabbed from the screen: the green there becomes frame 0.
  SetColor(GREEN);
  FillRect(100, 100, 8, 8);
  GrabImageFrame(image, 100, 100, 0);
  Fill(BLACK);
  SetColor(WHITE);
  drawAll();
  EXPECT_RGB(GREEN, At(0, 0));
  EXPECT_RGB(WHITE, At(8, 0));
  EXPECT_RGB(0x0000ff, At(23, 7));

  // A pixmap of another size than its neighbours', stretched over the
  // image's size, has a texture of its own.
  Fill(BLACK);
  SetColor(WHITE);
  image = Strip(8, 8, 3, 0, [&](int k, int, int) { return 0xff000000u | colours[k]; });
  image->SetPixmap(2, Painted(2, 3, [](int, int) { return 0xffffffffu; }));
  drawAll();
  EXPECT_RGB(RED, At(7, 7));
  EXPECT_RGB(GREEN, At(8, 0));
  EXPECT_RGB(WHITE, At(16, 0));
  EXPECT_RGB(WHITE, At(23, 7));
  EXPECT_EQ(GLFrame(image, 0)->shared->texture, GLFrame(image, 1)->shared->texture);
  EXPECT_NE(GLFrame(image, 1)->shared->texture, GLFrame(image, 2)->shared->texture);
  image = nullptr;
  EXPECT_EQ(detail::LiveFrameTextures(), live) << "every texture went with the image";
}

TEST_F(GLDraw, FramesTooManyForOneTextureSpreadOverSeveral) {
  GLint most = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
  // Two frames to the tallest texture, a third does not fit.
  const int height = most / 3;
  const Ref<TImage> image = Strip(4, height, 5, 0, [&](int k, int, int y) {
    return 0xff000000u | static_cast<uint32_t>(k * 40) << 16 | (y == height - 1 ? 0xff : 0x40);
  });
  SetBlendMode(BLEND_SOLID);
  // The top rows on the left, the bottom rows on the right.
  for (int k = 0; k < 5; k++) {
    DrawImageFrame(image, static_cast<float>(k * 4), 0, k);
    DrawImageFrame(image, static_cast<float>(100 + k * 4), static_cast<float>(10 - height), k);
  }
  for (int k = 0; k < 5; k++) {
    EXPECT_EQ(GLFrame(image, k)->shared->texture, GLFrame(image, k / 2 * 2)->shared->texture)
        << "frame " << k;
    if (k + 2 < 5) {
      EXPECT_NE(GLFrame(image, k)->shared->texture, GLFrame(image, k + 2)->shared->texture);
    }
    const uint32_t red = static_cast<uint32_t>(k * 40) << 16;
    EXPECT_RGB(red | 0x40, At(k * 4, 0)) << "frame " << k;
    EXPECT_RGB(red | 0x40, At(k * 4 + 3, 9)) << "frame " << k;
    EXPECT_RGB(red | 0x40, At(100 + k * 4, 8)) << "frame " << k;
    EXPECT_RGB(red | 0xff, At(100 + k * 4 + 3, 9)) << "frame " << k;
  }
}

}  // namespace
