// The drawing layer's front end over a recording draw driver: what the
// driver is asked to do, with which coordinates, and what the layer keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/glyph_font.h"
#include "graphics/draw2d/image.h"
#include "stream/bank.h"
#include "stream/bank_stream.h"
#include "stream/data_stream.h"
#include "system/polled_input.h"
#include "tests/support/scripted_system_driver.h"

namespace {

using Log = std::vector<std::string>;

std::string Num(float v) {
  char text[32];
  // + 0.0f: a negative zero reads as 0.
  std::snprintf(text, sizeof text, "%g", static_cast<double>(v + 0.0f));
  return text;
}

std::string Nums(std::initializer_list<float> values) {
  std::string s;
  for (float v : values) s += " " + Num(v);
  return s;
}

class TRecordingDrawDriver;

class TFakeDisplay : public TDisplay {
 public:
  TFakeDisplay(Ref<TDisplayDriver> driver, DisplaySettings settings)
      : driver(std::move(driver)), settings(settings) {}
  Ref<TDisplayDriver> Driver() override { return driver; }
  DisplaySettings GetSettings() override { return settings; }
  void Close() override { closes++; }

  Ref<TDisplayDriver> driver;
  DisplaySettings settings;
  int closes = 0;
};

class TRecordingFrame : public TImageFrame {
 public:
  TRecordingFrame(Log& log, Ref<TPixmap> pixmap, int flags)
      : log(log), pixmap(std::move(pixmap)), flags(flags) {}
  void Render(float x0, float y0, float x1, float y1, float tx, float ty) override {
    log.push_back("render" + Nums({x0, y0, x1, y1, tx, ty}));
  }
  Log& log;
  Ref<TPixmap> pixmap;
  int flags;
};

class TRecordingDrawDriver : public TDrawDriver {
 public:
  std::vector<Ref<TGraphicsMode>> GraphicsModes() override { return {}; }
  Ref<TDisplay> Attach(intptr_t, int) override { return nullptr; }
  Ref<TDisplay> Create(int width, int height, int depth, int hz, int flags) override {
    lastUnderlying = New<TFakeDisplay>(nullptr, DisplaySettings{width, height, depth, hz, flags});
    return WrapDisplay(lastUnderlying, Ref<TDrawDriver>(this));
  }
  void SetDisplay(const Ref<TDisplay>& display) override {
    log.push_back(display ? "set" : "set null");
    // Like every 2D driver: selecting no display or another kind is the
    // display layer's business.
    if (Cast<TDrawDisplay>(display)) SelectDrawDisplay(display);
  }
  void Flip(int sync) override { log.push_back("flip " + std::to_string(sync)); }
  Ref<TImageFrame> MakeFrame(const Ref<TPixmap>& pixmap, int flags) override {
    log.push_back("frame " + std::to_string(flags));
    return New<TRecordingFrame>(log, pixmap, flags);
  }
  void ApplyBlend(int mode) override { log.push_back("blend " + std::to_string(mode)); }
  void ApplyAlpha(float alpha) override { log.push_back("alpha" + Nums({alpha})); }
  void ApplyColor(int r, int g, int b) override { log.push_back("color" + Ints(r, g, b)); }
  void ApplyClearColor(int r, int g, int b) override {
    log.push_back("clearcolor" + Ints(r, g, b));
  }
  void ApplyClip(int x, int y, int w, int h) override {
    log.push_back("clip" + Ints(x, y, w) + " " + std::to_string(h));
  }
  void ApplyMatrix(float ix, float iy, float jx, float jy) override {
    log.push_back("matrix" + Nums({ix, iy, jx, jy}));
  }
  void ApplyLineWidth(float width) override { log.push_back("linewidth" + Nums({width})); }
  void ClearBuffer() override { log.push_back("clear"); }
  void RenderPoint(float x, float y) override { log.push_back("point" + Nums({x, y})); }
  void RenderLine(float x0, float y0, float x1, float y1, float tx, float ty) override {
    log.push_back("line" + Nums({x0, y0, x1, y1, tx, ty}));
  }
  void RenderRect(float x0, float y0, float x1, float y1, float tx, float ty) override {
    log.push_back("rect" + Nums({x0, y0, x1, y1, tx, ty}));
  }
  void RenderOval(float x0, float y0, float x1, float y1, float tx, float ty) override {
    log.push_back("oval" + Nums({x0, y0, x1, y1, tx, ty}));
  }
  void RenderPolygon(const std::vector<float>& xy, float hx, float hy, float tx,
                     float ty) override {
    log.push_back("polygon " + std::to_string(xy.size()) + Nums({hx, hy, tx, ty}));
  }
  void BlitPixmap(const Ref<TPixmap>& pixmap, int x, int y) override {
    log.push_back("blit " + std::to_string(pixmap->Width()) + Ints(x, y));
  }
  Ref<TPixmap> ReadPixmap(int x, int y, int width, int height) override {
    log.push_back("read" + Ints(x, y, width) + " " + std::to_string(height));
    Ref<TPixmap> pixmap = CreatePixmap(width, height, PIXFMT_RGBA32);
    for (int py = 0; py < height; py++) {
      for (int px = 0; px < width; px++) pixmap->WritePixel(px, py, screenArgb);
    }
    return pixmap;
  }

  static std::string Ints(int a, int b, int c = INT32_MIN) {
    std::string s = " " + std::to_string(a) + " " + std::to_string(b);
    if (c != INT32_MIN) s += " " + std::to_string(c);
    return s;
  }

  Log log;
  Ref<TFakeDisplay> lastUnderlying;
  int screenArgb = 0;
};

Ref<TPixmap> Filled(int width, int height, int format, int argb) {
  Ref<TPixmap> pixmap = CreatePixmap(width, height, format);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) pixmap->WritePixel(x, y, argb);
  }
  return pixmap;
}

class Draw2D : public testing::Test {
 protected:
  void SetUp() override {
    StartDraw2D();
    SetSystemDriver(New<TScriptedSystemDriver>());
    driver = New<TRecordingDrawDriver>();
    SelectDisplayDriver(driver, DF_BACKBUFFER);
    OpenDisplay(640, 480, 0, 0, 0);
    display = Cast<TDrawDisplay>(CurrentDisplay());
    ASSERT_TRUE(display);
    driver->log.clear();
  }
  void TearDown() override {
    CloseOpenedDisplay();
    DetachPolledInput();
    SelectDisplayDriver(nullptr, 0);
  }
  Log TakeLog() { return std::exchange(driver->log, {}); }

  Ref<TRecordingDrawDriver> driver;
  Ref<TDrawDisplay> display;
};

TEST(DrawDisplay, IsAllZeroUntilFirstSelected) {
  const Ref<TDrawDisplay> d = WrapDisplay(nullptr, nullptr);
  EXPECT_EQ(d->initialised, 0);
  EXPECT_EQ(d->alpha, 0);
  EXPECT_EQ(d->scaleX + d->scaleY + d->ix + d->jy + d->lineWidth, 0);
  EXPECT_EQ(d->red | d->green | d->blue | d->blend | d->clipWidth | d->clipHeight, 0);
  EXPECT_FALSE(d->font);
}

TEST_F(Draw2D, FirstSelectionAppliesTheDefaultsAndClearsBothBuffers) {
  // The log of OpenDisplay, taken in SetUp: run it again on a new display.
  OpenDisplay(320, 200, 0, 0, 0);
  EXPECT_EQ(TakeLog(), (Log{"set null", "set", "blend 1", "color 255 255 255", "clearcolor 0 0 0",
                            "alpha 1", "clip 0 0 320 200", "matrix 1 0 0 1", "linewidth 1", "clear",
                            "flip 0", "clear", "flip 0"}));
  EXPECT_EQ(CurrentDrawDriver(), driver);
  int r, g, b;
  GetDrawColor(r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{255, 255, 255}));
  EXPECT_EQ(GetDrawAlpha(), 1.0f);
  EXPECT_EQ(GetBlendMode(), BLEND_MASK);
  int x, y, w, h;
  GetClipRect(x, y, w, h);
  EXPECT_EQ((std::vector{x, y, w, h}), (std::vector{0, 0, 320, 200}));
  EXPECT_EQ(GetDefaultImageFlags(), IMG_MASKED | IMG_FILTERED);
  EXPECT_EQ(GetAutoCenterAnchor(), 0);
  EXPECT_EQ(GetGlyphFont(), DefaultGlyphFont());
  EXPECT_EQ(CurrentDrawDisplay()->initialised, 1);
}

TEST_F(Draw2D, SelectingAgainKeepsTheStateAndDoesNotClear) {
  SetDrawColor(1, 2, 3);
  SetLoadMaskColor(9, 9, 9);
  SetCurrentDisplay(nullptr);
  EXPECT_FALSE(CurrentDrawDisplay());
  EXPECT_FALSE(CurrentDrawDriver());
  TakeLog();
  SetCurrentDisplay(display);
  EXPECT_EQ(TakeLog(), Log{"set"});
  int r, g, b;
  GetDrawColor(r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{1, 2, 3}));
  GetLoadMaskColor(r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{9, 9, 9}));

  // A display of another kind made current leaves the layer without one.
  SetCurrentDisplay(New<TFakeDisplay>(driver, DisplaySettings{}));
  EXPECT_FALSE(CurrentDrawDisplay());
  EXPECT_FALSE(CurrentDrawDriver());
}

TEST_F(Draw2D, SettersStoreUnclampedAndForward) {
  SetDrawColor(300, -5, 7);
  SetDrawAlpha(1.5f);
  SetClearColor(-1, 256, 3);
  SetLineThickness(2.5f);
  SetBlendMode(99);
  SetClipRect(10, 20, 100, 50);
  SetDrawOrigin(3, 4);
  SetDrawHandle(10, 5);
  EXPECT_EQ(TakeLog(), (Log{"color 300 -5 7", "alpha 1.5", "clearcolor -1 256 3", "linewidth 2.5",
                            "blend 99", "clip 10 20 100 50"}));
  int r, g, b;
  GetDrawColor(r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{300, -5, 7}));
  GetClearColor(r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{-1, 256, 3}));
  EXPECT_EQ(GetDrawAlpha(), 1.5f);
  EXPECT_EQ(GetLineThickness(), 2.5f);
  EXPECT_EQ(GetBlendMode(), 99);
  float x, y;
  GetDrawOrigin(x, y);
  EXPECT_EQ(Nums({x, y}), Nums({3, 4}));
  GetDrawHandle(x, y);
  EXPECT_EQ(Nums({x, y}), Nums({-10, -5}));

  const Ref<TGlyphFont> other = New<TGlyphFont>();
  SetGlyphFont(other);
  EXPECT_EQ(GetGlyphFont(), other);
  SetGlyphFont(nullptr);
  EXPECT_EQ(GetGlyphFont(), DefaultGlyphFont());
}

TEST_F(Draw2D, RotationAndScaleMakeTheMatrixAndTheCollisionTransform) {
  SetDrawRotation(90);
  EXPECT_NEAR(display->ix, 0, 1e-6);
  EXPECT_EQ(display->iy, -1);
  EXPECT_EQ(display->jx, 1);
  EXPECT_NEAR(display->jy, 0, 1e-6);
  SetDrawScale(2, 3);
  EXPECT_NEAR(display->ix, 0, 1e-6);
  EXPECT_EQ(display->iy, -3);
  EXPECT_EQ(display->jx, 2);
  const DrawMatrix m = CollisionTransform();
  EXPECT_EQ(Nums({m.ix, m.iy, m.jx, m.jy}),
            Nums({display->ix, display->iy, display->jx, display->jy}));
  TakeLog();
  SetDrawTransform(0, 0.5f, 4);
  EXPECT_EQ(TakeLog(), Log{"matrix 0.5 0 0 4"});
  EXPECT_EQ(GetDrawRotation(), 0);
  float sx, sy;
  GetDrawScale(sx, sy);
  EXPECT_EQ(Nums({sx, sy}), Nums({0.5f, 4}));
}

TEST_F(Draw2D, PrimitivesHangFromTheHandleAtThePositionPlusOrigin) {
  SetDrawHandle(16, 16);
  FillRect(100, 100, 32, 32);
  FillOval(10, 20, 30, 40);
  SetDrawOrigin(5, 7);
  PlotPoint(1, 2);
  FillPolygon({0, 0, 10, 0, 10, 10});
  DrawPixmapAt(CreatePixmap(3, 2, PIXFMT_RGBA32), 4, 5);
  GrabScreenPixmap(1, 2, 3, 4);
  ClearScreen();
  EXPECT_EQ(TakeLog(), (Log{"rect -16 -16 16 16 100 100", "oval -16 -16 14 24 10 20", "point 6 9",
                            "polygon 6 -16 -16 5 7", "blit 3 4 5", "read 1 2 3 4", "clear"}));
}

TEST_F(Draw2D, LinesEndOnTheTransformedLastPixel) {
  SetDrawRotation(90);
  SetDrawOrigin(100, 0);
  SetDrawHandle(0, 0);
  TakeLog();
  DrawLineSegment(10, 10, 20, 10, 1);
  DrawLineSegment(10, 10, 20, 10, 0);
  // (10, 0) turned a quarter clockwise is (0, 10): ten pixels down.
  EXPECT_EQ(TakeLog(), (Log{"line 0 0 10 0 110 10", "point 110 20", "line 0 0 10 0 110 10"}));
  // Points ignore rotation and handle.
  SetDrawHandle(5, 5);
  PlotPoint(1, 1);
  EXPECT_EQ(TakeLog(), Log{"point 101 1"});
}

TEST_F(Draw2D, ReapplyStateHandsTheWholeStateOverUnchanged) {
  SetDrawColor(1, 2, 3);
  SetDrawHandle(4, 6);
  SetDrawRotation(0);
  SetDrawScale(2, 2);
  TakeLog();
  display->ReapplyState();
  EXPECT_EQ(TakeLog(), (Log{"color 1 2 3", "alpha 1", "clearcolor 0 0 0", "linewidth 1",
                            "matrix 2 0 0 2", "matrix 2 0 0 2", "clip 0 0 640 480", "blend 1"}));
  float x, y;
  GetDrawHandle(x, y);
  EXPECT_EQ(Nums({x, y}), Nums({-4, -6}));
}

TEST_F(Draw2D, ClosingForgetsTheUnderlyingDisplayOnce) {
  const Ref<TFakeDisplay> underlying = driver->lastUnderlying;
  CloseOpenedDisplay();
  EXPECT_EQ(underlying->closes, 1);
  EXPECT_FALSE(display->display);
  EXPECT_FALSE(display->driver);
  display->Close();
  EXPECT_EQ(underlying->closes, 1);
  EXPECT_EQ(display->GetSettings().width, 0);
}

TEST_F(Draw2D, MaskedImagesMaskOnlyPixmapsWithoutAlpha) {
  EXPECT_EQ(NewImage(4, 4, 1, -1)->flags, IMG_MASKED | IMG_FILTERED | IMG_DYNAMIC);
  EXPECT_EQ(NewImage(4, 4, 1, 0)->flags, IMG_DYNAMIC);

  Ref<TPixmap> rgb = Filled(2, 1, PIXFMT_RGB24, 0x102030);
  rgb->WritePixel(1, 0, 0);
  const Ref<TImage> masked = LoadImageFrom(rgb, -1);
  const Ref<TPixmap> m = LockImageFrame(masked, 0, 1, 0);
  EXPECT_EQ(m->Format(), PIXFMT_RGBA32);
  EXPECT_EQ(static_cast<uint32_t>(m->ReadPixel(0, 0)), 0xff102030u);
  EXPECT_EQ(static_cast<uint32_t>(m->ReadPixel(1, 0)) >> 24, 0u);

  const Ref<TPixmap> rgba = Filled(2, 1, PIXFMT_RGBA32, 0x00000000);
  const Ref<TImage> alpha = LoadImageFrom(rgba, -1);
  EXPECT_EQ(LockImageFrame(alpha, 0, 1, 0), rgba);

  const Ref<TImage> plain = LoadImageFrom(rgb, 0);
  EXPECT_EQ(LockImageFrame(plain, 0, 1, 0), rgb);
  EXPECT_EQ(GetImageWidth(plain), 2);
  EXPECT_EQ(GetImageHeight(plain), 1);

  // A missing pixmap is made when locked.
  const Ref<TImage> empty = NewImage(3, 5, 2, 0);
  const Ref<TPixmap> made = LockImageFrame(empty, 1, 1, 1);
  EXPECT_EQ(made->Width() * 10 + made->Height(), 35);
  EXPECT_EQ(made->Format(), PIXFMT_RGBA32);
  EXPECT_EQ(LockImageFrame(empty, 1, 1, 0), made);
  EXPECT_FALSE(LoadImageFrom("no/such/file.png", -1));
}

TEST_F(Draw2D, StripsCutCellsLeftToRightThenTopToBottom) {
  // 100 x 64 with 32 x 32 cells: 3 across, 6 cells; the last 4 columns are
  // left over.
  Ref<TPixmap> sheet = CreatePixmap(100, 64, PIXFMT_RGBA32);
  for (int y = 0; y < 64; y++) {
    for (int x = 0; x < 100; x++) {
      const int cell = x < 96 ? (y / 32) * 3 + x / 32 : 99;
      sheet->WritePixel(x, y, static_cast<int>(0xff000000u) | cell);
    }
  }
  const Ref<TImage> strip = LoadImageStrip(sheet, 32, 32, 2, 4, -1);
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->FrameCount(), 4);
  for (int i = 0; i < 4; i++) {
    const Ref<TPixmap> cell = LockImageFrame(strip, i, 1, 0);
    EXPECT_EQ(cell->Width() * 100 + cell->Height(), 3232);
    EXPECT_EQ(cell->ReadPixel(0, 0) & 0xff, 2 + i);
    EXPECT_EQ(cell->ReadPixel(31, 31) & 0xff, 2 + i);
  }
  EXPECT_FALSE(LoadImageStrip(sheet, 32, 32, 3, 4, -1));
  EXPECT_FALSE(LoadImageStrip(sheet, 0, 32, 0, 1, -1));

  SetAutoCenterAnchor(1);
  const Ref<TImage> centred = LoadImageStrip(sheet, 32, 16, 0, 1, -1);
  EXPECT_EQ(Nums({centred->handleX, centred->handleY}), Nums({16, 8}));
  SetAutoCenterAnchor(0);
}

TEST_F(Draw2D, FramesAreMadeLazilyAndAgainForANewDisplay) {
  const Ref<TImage> image = NewImage(16, 8, 2, 0);
  SetImageAnchor(image, 8, 8);
  SetDrawOrigin(1, 2);
  DrawImageFrame(image, 100, 100, 0);
  DrawImageFrame(image, 100, 100, 0);
  DrawImageFrameScaled(image, 0, 0, 32, 32, 1);
  EXPECT_EQ(TakeLog(), (Log{"frame 8", "render -8 -8 8 0 101 102", "render -8 -8 8 0 101 102",
                            "frame 8", "render -8 -8 24 24 1 2"}));
  // Writing through a lock makes the frame again.
  LockImageFrame(image, 0, 0, 1);
  DrawImageFrame(image, 0, 0, 0);
  EXPECT_EQ(TakeLog().front(), "frame 8");

  OpenDisplay(640, 480, 0, 0, 0);
  TakeLog();
  // Both frames have pixels by now: they are made together, once.
  DrawImageFrame(image, 0, 0, 0);
  DrawImageFrame(image, 0, 0, 1);
  EXPECT_EQ(TakeLog(), (Log{"frame 8", "frame 8", "render -8 -8 8 0 0 0", "render -8 -8 8 0 0 0"}));
  EXPECT_THROW(DrawImageFrame(image, 0, 0, 2), RuntimeError);
}

TEST_F(Draw2D, GrabbedFramesAreMaskedWithTheLoadMaskColour) {
  driver->screenArgb = static_cast<int>(0xff0a141e);
  SetLoadMaskColor(10, 20, 30);
  const Ref<TImage> image = TImage::Create(2, 2, 1, IMG_MASKED, 0, 0, 0);
  GrabImageFrame(image, 5, 6, 0);
  const Ref<TPixmap> grabbed = LockImageFrame(image, 0, 1, 0);
  EXPECT_EQ(grabbed->ReadPixel(1, 1), 0);
  const Ref<TImage> unmasked = TImage::Create(2, 2, 1, 0, 0, 0, 0);
  GrabImageFrame(unmasked, 5, 6, 0);
  EXPECT_EQ(static_cast<uint32_t>(LockImageFrame(unmasked, 0, 1, 0)->ReadPixel(0, 0)), 0xff0a141eu);
  EXPECT_EQ(TakeLog(), (Log{"read 5 6 2 2", "read 5 6 2 2"}));
}

// The tile positions a TileImageFrame renders at.
std::vector<std::string> Renders(const Log& log) {
  std::vector<std::string> renders;
  for (const auto& entry : log) {
    if (entry.starts_with("render")) renders.push_back(entry);
  }
  return renders;
}

TEST_F(Draw2D, TilesCoverTheClipRectangleOnTheImagesGrid) {
  const Ref<TImage> image = NewImage(64, 64, 1, 0);
  SetDrawRotation(30);
  SetClipRect(0, 0, 100, 64);
  TakeLog();
  TileImageFrame(image, -127, 0, 0);
  Log log = TakeLog();
  EXPECT_EQ(log.at(1), "matrix 1 0 0 1");
  EXPECT_EQ(Renders(log),
            (Log{"render 0 0 64 64 -63 0", "render 0 0 64 64 1 0", "render 0 0 64 64 65 0"}));
  // The rotation comes back afterwards.
  EXPECT_EQ(log.back(), "matrix" + Nums({display->ix, display->iy, display->jx, display->jy}));

  TileImageFrame(image, -64, 0, 0);
  EXPECT_EQ(Renders(TakeLog()), (Log{"render 0 0 64 64 0 0", "render 0 0 64 64 64 0"}));

  // Fractions carry over; the anchor and origin move the grid.
  SetImageAnchor(image, 10, 0);
  SetDrawOrigin(0.25f, 0);
  SetClipRect(0, 10, 64, 1);
  TileImageFrame(image, 0, 0.5f, 0);
  EXPECT_EQ(Renders(TakeLog()), (Log{"render 0 0 64 64 -9.75 0.5", "render 0 0 64 64 54.25 0.5"}));
}

TEST_F(Draw2D, TheDefaultFontIsEightBySixteen) {
  EXPECT_EQ(MeasureTextWidth("Hello"), 40);
  EXPECT_EQ(MeasureTextHeight("anything"), 16);
  // Codes outside 32..127 have no glyph.
  EXPECT_EQ(MeasureTextWidth(String(u"a\n\u00e9\u0100\x7f")), 16);

  const Ref<TGlyphFont> font = DefaultGlyphFont();
  ASSERT_EQ(font->CountGlyphs(), 96);
  EXPECT_EQ(font->CharToGlyph('A'), 33);
  EXPECT_EQ(font->CharToGlyph(31), -1);
  EXPECT_EQ(font->CharToGlyph(128), -1);
  const auto setPixels = [&](int c) {
    const Ref<TImage> image = font->LoadGlyph(font->CharToGlyph(c))->GlyphImage();
    EXPECT_EQ(image->width * 100 + image->height, 816);
    EXPECT_EQ(image->flags, 0);
    const Ref<TPixmap> pixels = LockImageFrame(image, 0, 1, 0);
    int set = 0;
    for (int y = 0; y < 16; y++) {
      for (int x = 0; x < 8; x++) {
        const uint32_t p = static_cast<uint32_t>(pixels->ReadPixel(x, y));
        EXPECT_TRUE(p == 0 || p == 0xffffffffu) << c << " " << x << "," << y;
        set += p != 0;
      }
    }
    return set;
  };
  EXPECT_EQ(setPixels(' '), 0);
  for (int c : {'A', 'z', '0', '#'}) EXPECT_GT(setPixels(c), 0) << c;
}

TEST_F(Draw2D, TextAdvancesAlongTheMatrixFromTheHandle) {
  SetDrawHandle(0, 4);
  SetDrawOrigin(10, 20);
  TakeLog();
  DrawString(String(u"A\u0100A"), 1, 2);
  EXPECT_EQ(Renders(TakeLog()), (Log{"render 0 0 8 16 11 18", "render 0 0 8 16 19 18"}));

  SetDrawRotation(90);
  TakeLog();
  DrawString("AA", 1, 2);
  // The handle turns too: (0, -4) becomes (4, 0); the pen goes down.
  EXPECT_EQ(Renders(TakeLog()), (Log{"render 0 0 8 16 15 22", "render 0 0 8 16 15 30"}));
}

class TTestFace : public TFontFace {
 public:
  int Style() override { return FONT_SMOOTH; }
  int Height() override { return 11; }
  int CountGlyphs() override { return 2; }
  int CharToGlyph(int c) override { return c == 'x' ? 1 : -1; }
  Ref<TFontGlyph> LoadGlyph(int index) override;
  int loads = 0;
};

class TTestGlyph : public TFontGlyph {
 public:
  Ref<Object> GlyphPixels() override { return pixels; }
  float Advance() override { return 5.5f; }
  void GetRect(int& x, int& y, int& width, int& height) override {
    x = 1;
    y = -2;
    width = 3;
    height = 4;
  }
  Ref<TPixmap> pixels = Filled(3, 4, PIXFMT_RGBA32, -1);
};

Ref<TFontGlyph> TTestFace::LoadGlyph(int) {
  loads++;
  return New<TTestGlyph>();
}

class TTestLoader : public TFontLoader {
 public:
  Ref<TFontFace> LoadFont(const Url& source, int, int) override {
    if (source.Text() != "test-font") return nullptr;
    face = New<TTestFace>();
    return face;
  }
  Ref<TTestFace> face;
};

TEST_F(Draw2D, LoadedFontsMakeGlyphsFromTheirSourceOnFirstUse) {
  EXPECT_FALSE(LoadGlyphFont("test-font", 11, 0));
  static TTestLoader loader;
  AddFontLoader(loader);
  AddFontLoader(loader);
  EXPECT_EQ(loader.next, nullptr);
  EXPECT_FALSE(LoadGlyphFont("other", 11, 0));
  const Ref<TGlyphFont> font = LoadGlyphFont("test-font", 11, FONT_SMOOTH);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->imageFlags, IMG_FILTERED | IMG_MIPMAPPED);
  EXPECT_EQ(LoadGlyphFont("test-font", 11, 0)->imageFlags, 0);
  EXPECT_EQ(font->Height(), 11);
  EXPECT_EQ(font->Style(), FONT_SMOOTH);
  EXPECT_EQ(font->CountGlyphs(), 2);
  EXPECT_EQ(Cast<TTestFace>(font->face)->loads, 0);

  SetGlyphFont(font);
  // Truncated after each glyph: 5, 10, 15.
  EXPECT_EQ(MeasureTextWidth("xxyx"), 15);
  EXPECT_EQ(MeasureTextHeight(""), 11);
  EXPECT_EQ(Cast<TTestFace>(font->face)->loads, 1);
  const Ref<TImageGlyph> glyph = font->LoadGlyph(1);
  int x, y, w, h;
  glyph->GetRect(x, y, w, h);
  EXPECT_EQ((std::vector{x, y, w, h}), (std::vector{1, -2, 3, 4}));
  EXPECT_EQ(glyph->GlyphImage()->flags, IMG_FILTERED | IMG_MIPMAPPED);
  TakeLog();
  DrawString("xx", 0, 0);
  EXPECT_EQ(Renders(TakeLog()), (Log{"render 0 0 3 4 1 -2", "render 0 0 3 4 6.5 -2"}));
}

TEST_F(Draw2D, ImagesSurviveADataStream) {
  Ref<TImage> image = TImage::Create(2, 1, 3, IMG_MASKED, 1, 2, 3);
  SetImageAnchor(image, 0.5f, -1);
  image->SetPixmap(0, Filled(2, 1, PIXFMT_RGBA32, 0x11223344));
  image->SetPixmap(2, Filled(2, 1, PIXFMT_RGBA32, 0x55667788));
  const Ref<TBank> bank = TBank::Create(0);
  {
    const auto writer = TDataStream::Create(TBankStream::Create(bank));
    writer->WriteObject(image);
    writer->WriteObject(image);
    writer->WriteObject(Filled(1, 1, PIXFMT_GRAY8, 0x070707));
  }
  const auto reader = TDataStream::Create(TBankStream::Create(bank));
  const Ref<TImage> read = Cast<TImage>(reader->ReadObject());
  ASSERT_TRUE(read);
  EXPECT_EQ(
      (std::vector{read->width, read->height, read->flags, read->maskR, read->maskG, read->maskB}),
      (std::vector<int>{2, 1, IMG_MASKED, 1, 2, 3}));
  EXPECT_EQ(Nums({read->handleX, read->handleY}), Nums({0.5f, -1}));
  ASSERT_EQ(read->FrameCount(), 3);
  EXPECT_EQ(read->pixmaps[0]->ReadPixel(1, 0), 0x11223344);
  EXPECT_FALSE(read->pixmaps[1]);
  EXPECT_EQ(read->pixmaps[2]->ReadPixel(0, 0), 0x55667788);
  EXPECT_EQ(read->sequences, (std::vector<int>{0, 0, 0}));
  // The frame without a pixmap keeps the stream in step.
  EXPECT_EQ(reader->ReadObject(), read);
  EXPECT_EQ(Cast<TPixmap>(reader->ReadObject())->ReadPixel(0, 0) & 0xff, 7);
}

TEST_F(Draw2D, ImagesWhoseFramesCannotBeTheirsAreRefused) {
  auto read = [](const std::function<void(TDataStream&)>& write) {
    const Ref<TBank> bank = TBank::Create(0);
    write(*TDataStream::Create(TBankStream::Create(bank)));
    return TDataStream::Create(TBankStream::Create(bank))->ReadObject();
  };
  Ref<TImage> image = TImage::Create(2, 2, 1, 0, 0, 0, 0);
  image->SetPixmap(0, Filled(2, 2, PIXFMT_GRAY8, 0));
  EXPECT_TRUE(read([&](TDataStream& s) { s.WriteObject(image); }));
  image->SetPixmap(0, Filled(2, 0, PIXFMT_GRAY8, 0));
  EXPECT_THROW(read([&](TDataStream& s) { s.WriteObject(image); }), RuntimeError);
  // A frame that is no pixmap at all.
  EXPECT_THROW(read([](TDataStream& s) {
                 s.WriteByte(255);
                 s.WriteByte(17);
                 s.WriteString(TImage::TYPE_NAME);
                 for (int v : {1, 1, 0, 0, 0, 0}) s.WriteInt(v);
                 s.WriteFloat(0);
                 s.WriteFloat(0);
                 s.WriteInt(1);
                 s.WriteObject(TBank::Create(4));
               }),
               RuntimeError);
  // An empty frame would be made at the image's size: 40 GB here.
  EXPECT_THROW(
      read([](TDataStream& s) { s.WriteObject(TImage::Create(100000, 100000, 1, 0, 0, 0, 0)); }),
      RuntimeError);
  EXPECT_TRUE(
      read([](TDataStream& s) { s.WriteObject(TImage::Create(8192, 8192, 1, 0, 0, 0, 0)); }));
}

}  // namespace
