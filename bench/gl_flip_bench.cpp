// Presenting a frame with the OpenGL display driver under Mesa: an 800 x 600
// display at 1:1, and the same display full screen on a bigger monitor,
// scaled at each flip. The references are the raw glXSwapBuffers of a window
// of the display's size and of the screen's size. Runs on ZORP_LARGE_DISPLAY
// when it is set, else on DISPLAY (where the scaled case is skipped unless the
// screen is bigger than 800 x 600). Each frame is one clear, so the times are
// the presentation's.
#include <benchmark/benchmark.h>
// After Google Benchmark, whose names Xlib's macros would replace.
#include <GL/gl.h>
#include <GL/glx.h>

#include <cstdlib>

#include "graphics/gl/gl_display.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
// Untimed flips first: a new context compiles its shaders on first use.
constexpr int WARM_UP = 5;

// A frame's worth of drawing, so that every flip presents new pixels.
void DrawFrame(int frame) {
  glClearColor(static_cast<float>(frame % 256) / 255.0f, 0.25f, 0.5f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

Ref<TDisplay> Open(benchmark::State& state, int width, int height, int depth) {
  if (!X11Display()) {
    state.SkipWithError("No X server; set DISPLAY or ZORP_LARGE_DISPLAY");
    return nullptr;
  }
  Ref<TDisplay> display = GLDisplayDriver()->Create(width, height, depth, 0, DF_BACKBUFFER);
  if (!display) {
    state.SkipWithError("The display could not be made");
    return nullptr;
  }
  GLDisplayDriver()->SetDisplay(display);
  return display;
}

void Close(const Ref<TDisplay>& display) {
  GLDisplayDriver()->SetDisplay(nullptr);
  display->Close();
}

bool ScreenIsBigger(benchmark::State& state) {
  Display* x = X11Display();
  if (x && XDisplayWidth(x, DefaultScreen(x)) > WIDTH &&
      XDisplayHeight(x, DefaultScreen(x)) > HEIGHT) {
    return true;
  }
  state.SkipWithError("The screen is no bigger than the display; set ZORP_LARGE_DISPLAY");
  return false;
}

// Desktop windows: presenting them is a plain swap.
void RawSwap(benchmark::State& state, int width, int height) {
  Ref<TDisplay> display = Open(state, width, height, 0);
  if (!display) return;
  Display* x = X11Display();
  const GLXDrawable window = glXGetCurrentDrawable();
  int frame = 0;
  for (int i = 0; i < WARM_UP; i++) glXSwapBuffers(x, window);
  for (auto _ : state) {
    DrawFrame(frame++);
    glXSwapBuffers(x, window);
    XSync(x, False);
  }
  Close(display);
}

void RawSwapDisplaySize_reference(benchmark::State& state) { RawSwap(state, WIDTH, HEIGHT); }
BENCHMARK(RawSwapDisplaySize_reference)
    ->Name("Flip/raw_glXSwapBuffers_800x600")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void RawSwapScreenSize_reference(benchmark::State& state) {
  if (!ScreenIsBigger(state)) return;
  Display* x = X11Display();
  RawSwap(state, XDisplayWidth(x, DefaultScreen(x)), XDisplayHeight(x, DefaultScreen(x)));
}
BENCHMARK(RawSwapScreenSize_reference)
    ->Name("Flip/raw_glXSwapBuffers_screen")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void Flip(benchmark::State& state, int depth) {
  Ref<TDisplay> display = Open(state, WIDTH, HEIGHT, depth);
  if (!display) return;
  int frame = 0;
  for (int i = 0; i < WARM_UP; i++) GLDisplayDriver()->Flip(0);
  for (auto _ : state) {
    DrawFrame(frame++);
    GLDisplayDriver()->Flip(0);
    XSync(X11Display(), False);
  }
  Close(display);
}

void FlipOneToOne(benchmark::State& state) { Flip(state, 0); }
BENCHMARK(FlipOneToOne)
    ->Name("Flip/zorp_800x600_one_to_one")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void FlipScaled(benchmark::State& state) {
  if (ScreenIsBigger(state)) Flip(state, 32);
}
BENCHMARK(FlipScaled)
    ->Name("Flip/zorp_800x600_scaled_to_screen")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // Before the first X11Display(), which opens DISPLAY.
  if (const char* large = std::getenv("ZORP_LARGE_DISPLAY"); large && *large) {
    setenv("DISPLAY", large, 1);
  }
  StartSystem();
  StartGLDisplay();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
