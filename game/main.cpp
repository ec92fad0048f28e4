// The zorp program: starts the engine's modules and runs the game.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "GameFiles.h"
#include "audio/mixer_audio_driver.h"
#include "audio/ogg_loader.h"
#include "audio/wav_loader.h"
#include "game/frame_meter.h"
#include "game/game_loop.h"
#include "game/random.h"
#include "game/screens.h"
#include "game/version.h"
#include "graphics/dx7/dx7_draw.h"
#include "graphics/gl/gl_draw.h"
#include "pixmap/pixmap_loader.h"
#include "pixmap/png.h"
#include "runtime/program.h"
#include "stream/embedded_file.h"
#include "stream/file_system.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace {

constexpr char USAGE[] =
    "Usage: zorp [--window] [--seed N]\n"
    "Steer the zorp, eat the numbers before they run out, and make the hall of fame.\n"
    "\n"
    "  --window   play in an 800 x 600 window instead of full screen\n"
    "  --seed N   start the random numbers from the integer N instead of the clock,\n"
    "             so that the numbers and the star fall the same way every run\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// The whole text as a 32-bit integer, or nothing.
std::optional<int> ParseInt(const char* text) {
  const char* end = text + std::strlen(text);
  int value = 0;
  const auto [last, error] = std::from_chars(text, end, value);
  if (error != std::errc() || last != end || last == text) return std::nullopt;
  return value;
}

int Refuse(const char* what, const char* argument) {
  std::fprintf(stderr, "zorp: %s '%s'\n%s", what, argument, USAGE);
  return 2;
}

void StartModules() {
  // DirectX 7 started last, so that it is the driver in use where it exists.
  StartGLDraw2D();
  StartDX7Draw2D();
  StartEmbeddedFiles();
  StartPNG();
  StartWavLoader();
  StartOggLoader();
  StartFileSystem();
  StartMixerAudio();
  StartPolledInput();
  SetAppTitle(String("Zorp"));
  // The windows' icon, from the game's files, which are registered again
  // (to no effect) as the game starts.
  RegisterEmbeddedFiles(GameFiles());
  std::vector<Ref<TPixmap>> icon;
  for (const char* size : {"16", "32", "48", "64", "128"})
    icon.push_back(LoadPixmap(String("incbin::gfx/icons/zorp-") + size + ".png"));
  SetAppIcon(std::move(icon));
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--window") == 0) {
      windowed = true;
    } else if (std::strcmp(argv[i], "--seed") == 0) {
      if (i + 1 == argc) return Refuse("missing value for", argv[i]);
      const std::optional<int> seed = ParseInt(argv[++i]);
      if (!seed) return Refuse("the seed is not an integer:", argv[i]);
      ChooseRandomSeed(*seed);
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("zorp " ZORP_VERSION);
      return 0;
    } else {
      return Refuse("unknown option", argv[i]);
    }
  }
  return RunProgram([windowed] {
    StartFrameMeter();
    EnterProgramFolder();
    StartSystem();
    if (!SystemDriver()->HasDesktop()) {
      std::fputs(
          "zorp: there is no desktop to open a window on (on Linux: is DISPLAY set to a running "
          "X server?)\n",
          stderr);
      return 1;
    }
    StartModules();
    SetWindowed(windowed);
    RunGame();
    return 0;
  });
}
