// The cost of one frame of the game, drawn in a window on the X server
// (DISPLAY) and presented without waiting: the title screen with the hall of
// fame, and play with a 400-ball zorp on the field, with the OpenGL driver
// and, in the Windows build, with DirectX 7 side by side. CPU time counts
// every thread of the process (Mesa renders on threads of its own); at 75 Hz
// a frame has 13.3 ms.
#include <benchmark/benchmark.h>

#include "GameFiles.h"
#include "game/bitmap_font.h"
#include "game/game_state.h"
#include "game/hall_of_fame.h"
#include "game/items.h"
#include "game/screens.h"
#include "game/zorp.h"
#include "graphics/display/graphics.h"
#include "graphics/dx7/dx7_draw.h"
#include "graphics/gl/gl_draw.h"
#include "pixmap/png.h"
#include "stream/embedded_file.h"
#include "system/system_driver.h"

namespace {

// The game's display and images on the driver, made again when the driver
// changes.
bool OpenGame(benchmark::State& state, const Ref<TDrawDriver>& driver) {
  StartSystem();
  StartGLDraw2D();
  StartDX7Draw2D();
  StartEmbeddedFiles();
  StartPNG();
  if (!SystemDriver()->HasDesktop()) {
    state.SkipWithError("No desktop; on Linux set DISPLAY to an X server");
    return false;
  }
  static bool registered = false;
  if (!registered) {
    RegisterEmbeddedFiles(GameFiles());
    Game().backgroundImage = NewImage(800, 600, 1, -1);
    registered = true;
  }
  if (CurrentDisplayDriver() != driver || !OpenedDisplay()) {
    SelectDisplayDriver(driver, DF_BACKBUFFER);
    OpenDisplay(800, 600, 0, 0, 0);
    LoadGameImages(1);
    MeasureFonts(Game().images.font, Game().images.digits);
    SetDefaultRanks();
  }
  return true;
}

Ref<TDrawDriver> Driver(bool directX) {
  return directX ? DX7DrawDriver() : Ref<TDrawDriver>(GLDrawDriver());
}

void TitleFrame(benchmark::State& state, bool directX) {
  if (!OpenGame(state, Driver(directX))) return;
  Game().state = Title;
  for (auto _ : state) DrawFrame();
}

void PlayFrame(benchmark::State& state, bool directX) {
  if (!OpenGame(state, Driver(directX))) return;
  StartNewGame();
  // A long zorp folded over the field, row by row.
  while (TZorpSegment::segmentCount < 400) TZorpSegment::Grow();
  int i = 0;
  for (const Ref<TZorpSegment>& ball : TZorpSegment::Segments()) {
    const int row = i / 96, step = i % 96;
    ball->x = (row % 2 ? 95 - step : step) * 8;
    ball->y = 24 + row * 48;
    ++i;
  }
  BonusStar().delay = 0;
  Game().state = Playing;
  Game().score = 123450;
  for (auto _ : state) DrawFrame();
}

// Registered in main, where it is known whether DirectX 7 is there.
void Register(const char* name, void (*frame)(benchmark::State&, bool), bool directX) {
  benchmark::RegisterBenchmark(name, frame, directX)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  StartDX7Draw2D();
  Register("GameFrame/title", TitleFrame, false);
  Register("GameFrame/play400", PlayFrame, false);
  if (DX7DrawDriver()) {
    Register("GameFrame/title/directx7", TitleFrame, true);
    Register("GameFrame/play400/directx7", PlayFrame, true);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
