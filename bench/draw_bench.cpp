// Drawing with the OpenGL 2D driver under Mesa, against the same quads drawn
// with raw OpenGL 1.1 calls on the same textures and state:
// - a game-like frame: one full-screen image, 1500 image frames of 24 x 24
//   and 60 text glyphs, drawn and presented;
// - TileImageFrame of a 128 x 128 image over a 792 x 552 clip rectangle,
//   finished with glFinish.
// Runs on DISPLAY (an Xvfb).
#include <benchmark/benchmark.h>
// After Google Benchmark, whose names Xlib's macros would replace.
#include <GL/gl.h>
#include <GL/glx.h>
// The engine's DisplayWidth() and DisplayHeight(), not Xlib's macros.
#undef DisplayWidth
#undef DisplayHeight

#include <cmath>
#include <vector>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/glyph_font.h"
#include "graphics/draw2d/image.h"
#include "graphics/gl/gl_draw.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
constexpr int SPRITES = 1500, SPRITE_SIZE = 24, SPRITE_KINDS = 8;
constexpr int TILE_SIZE = 128;
constexpr int CLIP_X = 4, CLIP_Y = 4, CLIP_WIDTH = 792, CLIP_HEIGHT = 552;
// Untimed frames first: a new context compiles its shaders on first use.
constexpr int WARM_UP = 5;

const char* const TEXT = "SCORE 0001234  HIGH 0098765  LENGTH 042  TIME 01:23  ZORP!!";

struct Scene {
  Ref<TImage> background, tile;
  std::vector<Ref<TImage>> sprites;
  std::vector<float> x, y;
};

template <class F>
Ref<TPixmap> Paint(int width, int height, int format, F argb) {
  Ref<TPixmap> pixmap = CreatePixmap(width, height, format);
  for (int py = 0; py < height; py++) {
    for (int px = 0; px < width; px++) pixmap->WritePixel(px, py, static_cast<int>(argb(px, py)));
  }
  return pixmap;
}

// Opened on first use, for every case.
Scene* OpenScene(benchmark::State& state) {
  static Scene* scene = nullptr;
  if (scene) return scene;
  if (!X11Display()) {
    state.SkipWithError("No X server; set DISPLAY");
    return nullptr;
  }
  SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
  OpenDisplay(WIDTH, HEIGHT, 0, 0, 0);
  if (!CurrentDrawDisplay()) {
    state.SkipWithError("The display could not be made");
    return nullptr;
  }
  scene = new Scene;
  scene->background = LoadImageFrom(
      Paint(WIDTH, HEIGHT, PIXFMT_RGB24,
            [](int x, int y) { return 0xff000000u | (x & 255) << 16 | (y & 255) << 8 | 96; }),
      -1);
  scene->tile =
      LoadImageFrom(Paint(TILE_SIZE, TILE_SIZE, PIXFMT_RGB24,
                          [](int x, int y) {
                            return 0xff000000u | ((x / 16 + y / 16) % 2 ? 0x40a040u : 0x50c050u);
                          }),
                    -1);
  for (int k = 0; k < SPRITE_KINDS; k++) {
    // Balls on black, which masking makes transparent.
    scene->sprites.push_back(LoadImageFrom(
        Paint(SPRITE_SIZE, SPRITE_SIZE, PIXFMT_RGB24,
              [k](int x, int y) {
                const float d = std::hypot(x - 11.5f, y - 11.5f);
                return d < 11 ? 0xff000000u | (k * 30 + 40) << 16 | (200 - k * 20) << 8 | 255 : 0u;
              }),
        -1));
  }
  for (int i = 0; i < SPRITES; i++) {
    scene->x.push_back(static_cast<float>(i * 37 % (WIDTH - SPRITE_SIZE)));
    scene->y.push_back(static_cast<float>(i * 53 % (HEIGHT - SPRITE_SIZE)));
  }
  return scene;
}

// Sprites of one kind follow each other, as a game draws its layers.
const Ref<TImage>& SpriteOf(Scene& scene, int i) {
  return scene.sprites[static_cast<size_t>(i * SPRITE_KINDS / SPRITES)];
}

void Present() {
  FlipDisplay(0);
  XSync(X11Display(), False);
}

void DrawFrame(Scene& scene) {
  SetBlendMode(BLEND_SOLID);
  DrawImageFrame(scene.background, 0, 0, 0);
  SetBlendMode(BLEND_MASK);
  for (int i = 0; i < SPRITES; i++) DrawImageFrame(SpriteOf(scene, i), scene.x[i], scene.y[i], 0);
  DrawString(TEXT, 10, 580);
  Present();
}

void Frame_zorp(benchmark::State& state) {
  Scene* scene = OpenScene(state);
  if (!scene) return;
  for (int i = 0; i < WARM_UP; i++) DrawFrame(*scene);
  for (auto _ : state) DrawFrame(*scene);
}
BENCHMARK(Frame_zorp)
    ->Name("Frame1500Sprites60Glyphs/zorp")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same textured quads, each its own glBegin/glEnd, straight to OpenGL.
struct RawQuad {
  GLuint texture;
  float x0, y0, x1, y1, u1, v1;
};

void RawDraw(const std::vector<RawQuad>& quads) {
  GLuint bound = 0;
  for (const RawQuad& q : quads) {
    if (q.texture != bound) glBindTexture(GL_TEXTURE_2D, bound = q.texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(q.u1, 0);
    glVertex2f(q.x1, q.y0);
    glTexCoord2f(q.u1, q.v1);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(0, q.v1);
    glVertex2f(q.x0, q.y1);
    glEnd();
  }
}

RawQuad QuadOf(const Ref<TImage>& image, float x, float y) {
  const Ref<TGLImageFrame> frame = Cast<TGLImageFrame>(image->Frame(0));
  return {frame->shared->texture, x, y, x + image->width, y + image->height, frame->u1, frame->v1};
}

void Frame_reference(benchmark::State& state) {
  Scene* scene = OpenScene(state);
  if (!scene) return;
  const std::vector<RawQuad> background = {QuadOf(scene->background, 0, 0)};
  std::vector<RawQuad> sprites;
  for (int i = 0; i < SPRITES; i++)
    sprites.push_back(QuadOf(SpriteOf(*scene, i), scene->x[i], scene->y[i]));
  const Ref<TGlyphFont> font = DefaultGlyphFont();
  float pen = 10;
  for (const char* c = TEXT; *c; c++, pen += 8) {
    sprites.push_back(QuadOf(font->LoadGlyph(font->CharToGlyph(*c))->image, pen, 580));
  }
  Display* x = X11Display();
  const GLXDrawable window = glXGetCurrentDrawable();
  const auto frame = [&] {
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    RawDraw(background);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.5f);
    RawDraw(sprites);
    glXSwapBuffers(x, window);
    XSync(x, False);
  };
  for (int i = 0; i < WARM_UP; i++) frame();
  for (auto _ : state) frame();
  // Selected again, the driver forgets what it cached about the state.
  SetCurrentDisplay(CurrentDisplay());
}
BENCHMARK(Frame_reference)
    ->Name("Frame1500Sprites60Glyphs/reference")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void Tile_zorp(benchmark::State& state) {
  Scene* scene = OpenScene(state);
  if (!scene) return;
  SetBlendMode(BLEND_SOLID);
  SetClipRect(CLIP_X, CLIP_Y, CLIP_WIDTH, CLIP_HEIGHT);
  for (int i = 0; i < WARM_UP; i++) TileImageFrame(scene->tile, 3, 5, 0);
  glFinish();
  for (auto _ : state) {
    TileImageFrame(scene->tile, 3, 5, 0);
    glFinish();
  }
  SetClipRect(0, 0, WIDTH, HEIGHT);
}
BENCHMARK(Tile_zorp)
    ->Name("TileImage128Over792x552/zorp")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void Tile_reference(benchmark::State& state) {
  Scene* scene = OpenScene(state);
  if (!scene) return;
  // The tiles TileImageFrame draws for (3, 5): the grid through that point
  // from its first columns and rows that reach the clip rectangle's left and
  // top edges, x = 3 and y = 5 - 128.
  std::vector<RawQuad> tiles;
  for (int y = 5 - TILE_SIZE; y < CLIP_Y + CLIP_HEIGHT; y += TILE_SIZE) {
    for (int x = 3; x < CLIP_X + CLIP_WIDTH; x += TILE_SIZE) {
      tiles.push_back(QuadOf(scene->tile, static_cast<float>(x), static_cast<float>(y)));
    }
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(CLIP_X, HEIGHT - CLIP_Y - CLIP_HEIGHT, CLIP_WIDTH, CLIP_HEIGHT);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
  for (int i = 0; i < WARM_UP; i++) RawDraw(tiles);
  glFinish();
  for (auto _ : state) {
    RawDraw(tiles);
    glFinish();
  }
  glDisable(GL_SCISSOR_TEST);
  // Selected again, the driver forgets what it cached about the state.
  SetCurrentDisplay(CurrentDisplay());
}
BENCHMARK(Tile_reference)
    ->Name("TileImage128Over792x552/reference")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  StartSystem();
  StartGLDraw2D();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CloseOpenedDisplay();
  return 0;
}
