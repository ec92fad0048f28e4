// Test card: draws every primitive, blend mode and kind of image drawing of
// a 2D driver into one 800 x 600 picture and saves it as a PNG, so that a
// person can check the driver by eye. Given a reference picture, it also
// says how many pixels differ from it and fails if any do: the card drawn by
// the Windows build through WGL is checked against the one drawn here
// through GLX, both full screen on an 800 x 600 screen (where a window of
// that size does not fit with its caption). The DirectX 7 driver's card
// differs from OpenGL's where their drawing rules differ: --differences
// names those areas, and the card passes when exactly they differ.
//
//     testcard [out.png] [--full-screen] [--driver opengl|directx7]
//              [--expect reference.png [--differences area,...]]
//       (default testcard.png; needs a desktop: on Linux an X server)

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/image.h"
#include "graphics/dx7/dx7_draw.h"
#include "graphics/gl/gl_draw.h"
#include "graphics/gl/gl_draw_text.h"
#include "pixmap/pixmap_loader.h"
#include "pixmap/png.h"
#include "runtime/program.h"
#include "system/system_driver.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

int Argb(int a, int r, int g, int b) {
  return static_cast<int>(static_cast<uint32_t>(a) << 24 | r << 16 | g << 8 | b);
}

template <class F>
Ref<TPixmap> Paint(int width, int height, int format, F argb) {
  Ref<TPixmap> pixmap = CreatePixmap(width, height, format);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) pixmap->WritePixel(x, y, argb(x, y));
  }
  return pixmap;
}

// A ball whose alpha fades out at its rim.
Ref<TPixmap> Ball(int size, int r, int g, int b) {
  return Paint(size, size, PIXFMT_RGBA32, [=](int x, int y) {
    const float c = (size - 1) * 0.5f;
    const float d = std::hypot(x - c, y - c) / (size * 0.5f);
    const float light = std::max(0.0f, 1.0f - std::hypot(x - c * 0.6f, y - c * 0.6f) / size);
    const int alpha = d >= 1 ? 0 : d > 0.8f ? static_cast<int>((1 - d) / 0.2f * 255) : 255;
    const auto lit = [&](int v) { return std::min(255, v + static_cast<int>(light * 160)); };
    return Argb(alpha, lit(r), lit(g), lit(b));
  });
}

// An arrow pointing right on black, which masking makes transparent.
Ref<TPixmap> Arrow() {
  return Paint(48, 32, PIXFMT_RGB24, [](int x, int y) {
    const bool shaft = x >= 4 && x < 30 && y >= 12 && y < 20;
    const bool head = x >= 30 && x < 46 && std::abs(y - 16) < (46 - x);
    if (!(shaft || head)) return 0;
    return x < 8 ? Argb(255, 255, 255, 255) : Argb(255, 255, 200, 40);
  });
}

// A tile with a border and a diagonal, so seams and orientation show.
Ref<TPixmap> Tile() {
  return Paint(32, 32, PIXFMT_RGB24, [](int x, int y) {
    if (x == 0 || y == 0) return Argb(255, 30, 60, 30);
    if (x == y || x == y + 1) return Argb(255, 250, 250, 120);
    return (x / 8 + y / 8) % 2 ? Argb(255, 60, 140, 60) : Argb(255, 80, 170, 80);
  });
}

// Colour bars with alpha rising from left to right.
Ref<TPixmap> AlphaBars() {
  return Paint(64, 32, PIXFMT_RGBA32, [](int x, int y) {
    const int alpha = x * 255 / 63;
    switch (y / 8) {
      case 0:
        return Argb(alpha, 255, 40, 40);
      case 1:
        return Argb(alpha, 40, 255, 40);
      case 2:
        return Argb(alpha, 40, 80, 255);
      default:
        return Argb(alpha, 255, 255, 255);
    }
  });
}

void Label(const char* text, float x, float y) {
  SetBlendMode(BLEND_MASK);
  SetDrawAlpha(1);
  SetDrawColor(230, 230, 230);
  DrawString(text, x, y);
}

void Primitives() {
  Label("points lines rects ovals polygons", 16, 40);
  SetDrawColor(255, 255, 0);
  for (int i = 0; i < 8; i++) {
    for (int j = 0; j < 8; j++) PlotPoint(16.0f + i * 4, 64.0f + j * 4);
  }
  SetDrawColor(255, 120, 0);
  for (int i = 0; i < 5; i++) {
    SetLineThickness(1.0f + i);
    DrawLineSegment(60, 64.0f + i * 8, 120, 70.0f + i * 10, 1);
  }
  SetLineThickness(1);
  SetDrawColor(0, 200, 255);
  FillRect(130, 64, 40, 30);
  SetDrawColor(255, 60, 160);
  FillOval(180, 64, 60, 36);
  FillOval(250, 64, 30, 30);
  SetDrawColor(120, 255, 120);
  std::vector<float> star;
  for (int i = 0; i < 10; i++) {
    const double a = i * std::numbers::pi / 5 - std::numbers::pi / 2;
    const double r = i % 2 ? 8 : 20;
    star.push_back(static_cast<float>(310 + r * std::cos(a)));
    star.push_back(static_cast<float>(84 + r * std::sin(a)));
  }
  // A convex fan of the star's outer points only: OpenGL polygons are convex.
  std::vector<float> pentagon;
  for (size_t i = 0; i < star.size(); i += 4) {
    pentagon.push_back(star[i]);
    pentagon.push_back(star[i + 1]);
  }
  FillPolygon(pentagon);
  // Rotated and scaled rectangles hanging from their centres.
  SetDrawHandle(15, 10);
  for (int i = 0; i < 4; i++) {
    SetDrawColor(80 + i * 50, 80, 255 - i * 50);
    SetDrawTransform(i * 22.5f, 1.0f + i * 0.15f, 1.0f);
    FillRect(370.0f + i * 45, 84, 30, 20);
  }
  SetDrawTransform(0, 1, 1);
  SetDrawHandle(0, 0);
}

void BlendModes(const Ref<TImage>& bars, const Ref<TImage>& ball) {
  struct {
    int mode;
    const char* name;
  } const modes[] = {{BLEND_MASK, "MASK"},
                     {BLEND_SOLID, "SOLID"},
                     {BLEND_ALPHA, "ALPHA"},
                     {BLEND_LIGHT, "LIGHT"},
                     {BLEND_SHADE, "SHADE"}};
  Label("blend modes: alpha bars and a ball over stripes", 16, 120);
  for (int i = 0; i < 5; i++) {
    const float x = 16.0f + i * 150, y = 144;
    SetBlendMode(BLEND_SOLID);
    for (int s = 0; s < 8; s++) {
      SetDrawColor(s % 2 ? 90 : 150, s % 2 ? 90 : 150, s % 2 ? 110 : 170);
      FillRect(x + s * 17, y, 17, 80);
    }
    SetBlendMode(modes[i].mode);
    SetDrawColor(255, 255, 255);
    SetDrawAlpha(1);
    DrawImageFrame(bars, x + 4, y + 4, 0);
    DrawImageFrame(ball, x + 80, y + 4, 0);
    SetDrawAlpha(0.5f);
    SetDrawColor(255, 255, 0);
    FillRect(x + 4, y + 44, 128, 12);
    DrawImageFrame(ball, x + 80, y + 44, 0);
    Label(modes[i].name, x + 4, y + 60);
  }
}

void Images(const Ref<TImage>& arrow, const Ref<TImage>& ball, const Ref<TImage>& bars) {
  Label("masked arrow turned 0 30 45 90 180, scaled, stretched; magnified x4 smooth, sharp", 16,
        236);
  SetBlendMode(BLEND_MASK);
  SetDrawColor(255, 255, 255);
  CenterImageAnchor(arrow);
  const float turns[] = {0, 30, 45, 90, 180};
  for (int i = 0; i < 5; i++) {
    SetDrawRotation(turns[i]);
    DrawImageFrame(arrow, 48.0f + i * 64, 292, 0);
  }
  SetDrawTransform(-20, 2, 1.5f);
  DrawImageFrame(arrow, 400, 292, 0);
  SetDrawTransform(0, 1, 1);
  SetImageAnchor(arrow, 0, 0);
  DrawImageFrameScaled(arrow, 470, 262, 96, 24, 0);
  DrawImageFrameScaled(arrow, 470, 292, 24, 48, 0);
  // Magnified 4 times: filtered and not.
  SetBlendMode(BLEND_ALPHA);
  SetDrawScale(4, 4);
  DrawImageFrameScaled(bars, 580, 252, 16, 8, 0);
  const Ref<TImage> sharp = LoadImageFrom(LockImageFrame(bars, 0, 1, 0), 0);
  DrawImageFrameScaled(sharp, 680, 252, 16, 8, 0);
  SetDrawScale(1, 1);
  SetDrawColor(255, 120, 120);
  for (int i = 0; i < 6; i++) DrawImageFrame(ball, 520.0f + i * 40, 300, 0);
}

void Tiles(const Ref<TImage>& tile) {
  Label("tiled in a clip rectangle", 16, 348);
  SetClipRect(16, 368, 300, 120);
  SetBlendMode(BLEND_SOLID);
  SetDrawColor(255, 255, 255);
  // Rotation does not turn tiles.
  SetDrawRotation(30);
  TileImageFrame(tile, 7.5f, 3, 0);
  SetDrawRotation(0);
  SetClipRect(0, 0, WIDTH, HEIGHT);
}

void Text() {
  Label("glyph font, all of 32..127, in colour:", 340, 348);
  String line;
  for (int c = 32; c < 128; c++) {
    line += static_cast<char16_t>(c);
    if (line.Length() == 48 || c == 127) {
      SetDrawColor(255, 255, 255);
      DrawString(line, 340, 368.0f + (c < 80 ? 0 : 18));
      line = String();
    }
  }
  SetDrawColor(255, 200, 60);
  DrawString("Hello, zorp! 0123456789", 340, 410);
  SetDrawRotation(90);
  SetDrawColor(120, 200, 255);
  DrawString("turned", 790, 420);
  SetDrawRotation(0);
  SetDrawScale(2, 2);
  SetDrawColor(255, 255, 255);
  DrawString("Twice", 340, 432);
  SetDrawScale(1, 1);
}

void Pixels(bool openGL) {
  Label("pixmap blit, quick GL text", 16, 500);
  const Ref<TPixmap> gradient =
      Paint(256, 48, PIXFMT_RGB24, [](int x, int y) { return Argb(255, x, y * 5, 255 - x); });
  DrawPixmapAt(gradient, 16, 520);
  // OpenGL's own debug text, which no other driver has.
  if (!openGL) return;
  // Blended, so that the glyphs' transparent texels leave the background.
  SetBlendMode(BLEND_ALPHA);
  glColor4ub(255, 255, 255, 255);
  GLDrawText("GLDrawText says hello", 300, 540);
  SetDrawColor(255, 255, 255);  // the driver's colour again
}

// Areas of the card where DirectX 7 draws by other rules than OpenGL.
struct Area {
  const char* name;
  const char* rule;
  int left, top, right, bottom;  // right and bottom excluded
};
constexpr Area AREAS[] = {
    {"lines", "DirectX lines end at the last point, OpenGL's before it; thick lines are bands", 56,
     60, 128, 124},
    {"turnedarrows", "a turned image's edge texels are sampled half a texel off under DirectX", 16,
     256, 340, 330},
    {"scaledarrows", "DirectX filters minified images linearly, OpenGL takes the nearest texel",
     340, 256, 570, 342},
    {"tiles", "tiles land half a texel off at fractional positions", 16, 368, 316, 488},
    {"gltext", "OpenGL's debug text exists only there", 296, 530, 520, 560},
};

const Area* AreaOf(int x, int y) {
  for (const Area& area : AREAS) {
    if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) return &area;
  }
  return nullptr;
}

// Compares the picture with the reference file: every pixel outside the
// expected areas must be equal, and every expected area must differ. Says
// what differs where; true when the picture is as expected.
bool MatchesReference(const Ref<TPixmap>& picture, const char* reference,
                      const std::vector<std::string>& expected) {
  const Ref<TPixmap> want = LoadPixmap(Url(reference));
  if (!want || want->Width() != picture->Width() || want->Height() != picture->Height()) {
    std::printf("testcard: %s does not load as an %d x %d picture\n", reference, WIDTH, HEIGHT);
    return false;
  }
  int outside = 0;
  std::vector<int> inArea(std::size(AREAS), 0);
  for (int y = 0; y < picture->Height(); ++y) {
    for (int x = 0; x < picture->Width(); ++x) {
      // Colour only: a read back screen has no alpha of its own.
      if (((picture->ReadPixel(x, y) ^ want->ReadPixel(x, y)) & 0xFFFFFF) == 0) continue;
      const Area* area = AreaOf(x, y);
      const bool allowed =
          area && std::find(expected.begin(), expected.end(), area->name) != expected.end();
      if (allowed) {
        inArea[static_cast<size_t>(area - AREAS)]++;
      } else if (outside++ < 10) {
        std::printf("testcard: (%d, %d) differs%s%s\n", x, y, area ? " in " : "",
                    area ? area->name : "");
      }
    }
  }
  bool ok = outside == 0;
  for (size_t i = 0; i < std::size(AREAS); ++i) {
    if (std::find(expected.begin(), expected.end(), AREAS[i].name) == expected.end()) continue;
    std::printf("testcard: %s: %d pixels differ (%s)\n", AREAS[i].name, inArea[i], AREAS[i].rule);
    if (inArea[i] == 0) {
      std::printf("testcard: %s was expected to differ and does not\n", AREAS[i].name);
      ok = false;
    }
  }
  std::printf("testcard: %d pixels differ from %s outside the expected areas\n", outside,
              reference);
  return ok;
}

int Run(const char* out, bool fullScreen, bool openGL, const char* reference,
        const std::vector<std::string>& differences) {
  StartSystem();
  StartPNG();
  StartGLDraw2D();
  StartDX7Draw2D();
  const Ref<TDrawDriver> driver = openGL ? Ref<TDrawDriver>(GLDrawDriver()) : DX7DrawDriver();
  if (!driver) {
    std::fprintf(stderr, "testcard: this machine has no DirectX 7 driver\n");
    return 1;
  }
  SelectDisplayDriver(driver, DF_BACKBUFFER);
  OpenDisplay(WIDTH, HEIGHT, fullScreen ? 32 : 0, 0, 0);
  if (!CurrentDrawDisplay()) {
    std::fprintf(stderr, "testcard: no display (on Linux: is DISPLAY an X server?)\n");
    return 1;
  }
  const Ref<TImage> ball = LoadImageFrom(Ball(32, 40, 120, 255), -1);
  const Ref<TImage> arrow = LoadImageFrom(Arrow(), -1);
  const Ref<TImage> tile = LoadImageFrom(Tile(), 0);
  const Ref<TImage> bars = LoadImageFrom(AlphaBars(), -1);

  SetClearColor(24, 28, 40);
  ClearScreen();
  Label("Zorp test card: 2D driver", 16, 12);
  Primitives();
  BlendModes(bars, ball);
  Images(arrow, ball, bars);
  Tiles(tile);
  Text();
  Pixels(openGL);

  const Ref<TPixmap> picture = GrabScreenPixmap(0, 0, WIDTH, HEIGHT);
  FlipDisplay(0);
  if (!SavePixmapPNG(picture, out, 6)) {
    std::fprintf(stderr, "testcard: cannot write %s\n", out);
    return 1;
  }
  if (!reference) return 0;
  return MatchesReference(picture, reference, differences) ? 0 : 1;
}

std::vector<std::string> Split(const char* list) {
  std::vector<std::string> names;
  std::string name;
  for (const char* c = list;; ++c) {
    if (*c == ',' || *c == 0) {
      if (!name.empty()) names.push_back(name);
      name.clear();
      if (*c == 0) return names;
    } else {
      name += *c;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = "testcard.png";
  const char* reference = nullptr;
  std::vector<std::string> differences;
  bool fullScreen = false, openGL = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full-screen") == 0) {
      fullScreen = true;
    } else if (std::strcmp(argv[i], "--expect") == 0 && i + 1 < argc) {
      reference = argv[++i];
    } else if (std::strcmp(argv[i], "--differences") == 0 && i + 1 < argc) {
      differences = Split(argv[++i]);
    } else if (std::strcmp(argv[i], "--driver") == 0 && i + 1 < argc &&
               (std::strcmp(argv[i + 1], "opengl") == 0 ||
                std::strcmp(argv[i + 1], "directx7") == 0)) {
      openGL = std::strcmp(argv[++i], "opengl") == 0;
    } else if (argv[i][0] != '-') {
      out = argv[i];
    } else {
      std::fprintf(stderr,
                   "usage: testcard [out.png] [--full-screen] [--driver opengl|directx7]\n"
                   "                [--expect reference.png [--differences area,...]]\n");
      return 2;
    }
  }
  return RunProgram([&] { return Run(out, fullScreen, openGL, reference, differences); });
}
