// The zorp program: starts the engine's modules and runs the game.

#include <cstdio>
#include <cstring>

#include "audio/mixer_audio_driver.h"
#include "audio/ogg_loader.h"
#include "audio/wav_loader.h"
#include "game/frame_meter.h"
#include "game/game_loop.h"
#include "game/screens.h"
#include "graphics/gl/gl_draw.h"
#include "pixmap/png.h"
#include "runtime/program.h"
#include "stream/embedded_file.h"
#include "stream/file_system.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace {

constexpr char USAGE[] =
    "Usage: zorp [--window]\n"
    "Steer the zorp, eat the numbers before they run out, and make the hall of fame.\n"
    "\n"
    "  --window   play in an 800 x 600 window instead of full screen\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

void StartModules() {
  StartGLDraw2D();
  StartEmbeddedFiles();
  StartPNG();
  StartWavLoader();
  StartOggLoader();
  StartFileSystem();
  StartMixerAudio();
  StartPolledInput();
  SetAppTitle(String("Zorp"));
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--window") == 0) {
      windowed = true;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("zorp 1.13");
      return 0;
    } else {
      std::fprintf(stderr, "zorp: unknown option '%s'\n%s", argv[i], USAGE);
      return 2;
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
