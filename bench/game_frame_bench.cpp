// The cost of one frame of the game, drawn with the OpenGL driver under the
// X server (DISPLAY) and presented without waiting: the title screen with the
// hall of fame, and play with a 400-ball zorp on the field. CPU time counts
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
#include "graphics/gl/gl_draw.h"
#include "pixmap/png.h"
#include "stream/embedded_file.h"
#include "system/system_driver.h"

namespace {

bool OpenGame(benchmark::State& state) {
  StartSystem();
  StartGLDraw2D();
  StartEmbeddedFiles();
  StartPNG();
  if (!SystemDriver()->HasDesktop()) {
    state.SkipWithError("No desktop; on Linux set DISPLAY to an X server");
    return false;
  }
  static bool loaded = false;
  if (!loaded) {
    RegisterEmbeddedFiles(GameFiles());
    SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
    OpenDisplay(800, 600, 0, 0, 0);
    Game().backgroundImage = NewImage(800, 600, 1, -1);
    LoadGameImages(1);
    MeasureFonts(Game().images.font, Game().images.digits);
    SetDefaultRanks();
    loaded = true;
  }
  return true;
}

void TitleFrame(benchmark::State& state) {
  if (!OpenGame(state)) return;
  Game().state = Title;
  for (auto _ : state) DrawFrame();
}

void PlayFrame(benchmark::State& state) {
  if (!OpenGame(state)) return;
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

BENCHMARK(TitleFrame)
    ->Name("GameFrame/title")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(PlayFrame)
    ->Name("GameFrame/play400")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
