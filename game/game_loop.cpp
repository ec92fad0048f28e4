#include "game/game_loop.h"

#include <atomic>
#include <csignal>

#include "GameFiles.h"
#include "game/bitmap_font.h"
#include "game/frame_meter.h"
#include "game/game_files.h"
#include "game/game_state.h"
#include "game/hall_of_fame.h"
#include "game/items.h"
#include "game/playing_sound.h"
#include "game/random.h"
#include "game/screens.h"
#include "game/settings.h"
#include "game/zorp.h"
#include "graphics/display/graphics.h"
#include "graphics/dx7/dx7_draw.h"
#include "graphics/gl/gl_draw.h"
#include "runtime/program.h"
#include "runtime/runtime_error.h"
#include "stream/embedded_file.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace {

std::atomic<bool> terminated{false};  // by SIGTERM
Ref<TPlayingSound> music;

// The frame meter's names of the states.
constexpr const char* STATE_LABELS[] = {"title",     "playing",  "dying", "rankcheck",
                                        "nameentry", "getready", "quit"};

void OnTerminate(int) { terminated = true; }

void TitleTick() {
  GameGlobals& g = Game();
  if (g.glAvailable && g.dx7Available && TakeKeyHits(KEY_G)) g.switchRequested = true;
  if (TakeKeyHits(KEY_SPACE)) {
    g.state = GetReady;
    StartNewGame();
    ClearKeys();
  } else if (TakeKeyHits(KEY_ESCAPE)) {
    g.state = Quit;
    g.leaveTicks = true;
  } else if (TakeKeyHits(KEY_M)) {
    g.musicOn = !g.musicOn;
    if (music && music->channel) {
      if (g.musicOn) {
        ResumeChannel(music->channel);
      } else {
        PauseChannel(music->channel);
      }
    }
  }
}

// suspended: the program lost the focus to another one since the last tick.
void PlayingTick(bool suspended) {
  GameGlobals& g = Game();
  if (g.paused) {
    if (TakeKeyHits(KEY_P) || TakeKeyHits(KEY_SPACE)) {
      g.paused = 0;
    } else if (TakeKeyHits(KEY_ESCAPE)) {
      g.state = RankCheck;
      ClearKeys();
    }
    return;
  }
  TZorpSegment::Update();
  NumberItem().Update();
  BonusStar().Update();
  if (TakeKeyHits(KEY_ESCAPE)) {
    g.state = RankCheck;
  } else if (TakeKeyHits(KEY_P) || TakeKeyHits(KEY_LALT) || suspended) {
    g.paused = 1;
    ClearKeys();
  }
}

void DyingTick() {
  GameGlobals& g = Game();
  --g.deathCounter;
  g.gameOverAlpha = g.gameOverAlpha >= 1 ? 1 : g.gameOverAlpha + 0.004f;
  if (g.deathCounter == 0) {
    g.state = RankCheck;
    ClearKeys();
  }
}

void ChooseDisplayDepth() {
  GameGlobals& g = Game();
  for (int depth : {32, 24, 16}) {
    if (DisplayModeExists(800, 600, depth, 0)) {
      g.displayDepth = depth;
      return;
    }
  }
  throw RuntimeError("This game requires a 16 bit graphics card or higher.");
}

Ref<TSound> Sound(const char* url, int flags) {
  Ref<TSound> sound = LoadSound(url, flags);
  if (!sound) throw RuntimeError("Failed to load sound!");
  return sound;
}

// The hall of fame and the driver choice are saved as the program ends: after
// the loop, after a run-time error, and when the session ends under it.
void SaveGameFiles() {
  WriteScores(GameFileToWrite("scores.dat"));
  WriteSettings(GameFileToWrite("config.ini"));
}

void StartUp() {
  GameGlobals& g = Game();
  RegisterEmbeddedFiles(GameFiles());
  ChooseDisplayDepth();
  g.openGL = GLDrawDriver();
  g.directX7 = DX7DrawDriver();
  g.glAvailable = g.openGL ? 1 : 0;
  g.dx7Available = g.directX7 ? 1 : 0;
  ChooseGameFileFolder();
  ChooseDisplayDriver(GameFileToRead("config.ini"));
  g.backgroundImage = NewImage(800, 600, 1, -1);
  ReadScores(GameFileToRead("scores.dat"));
  // From here on the files are saved however the program ends (the session
  // may end during the intro).
  AddExitAction(SaveGameFiles);
  SeedRandom(ChosenRandomSeed(ClockMillis()));
  OpenChosenDisplay();
  LoadGameImages(0);
  g.sounds.number = Sound("incbin::sfx/number.wav", 0);
  g.sounds.bonus = Sound("incbin::sfx/bonus.wav", 0);
  g.sounds.death = Sound("incbin::sfx/death.wav", 0);
  g.sounds.music = Sound("incbin::music/son.ogg", 1);
  MeasureFonts(g.images.font, g.images.digits);
  ClearKeys();
  music = TPlayingSound::Play(g.sounds.music, 1.0f, 0);
  g.frameClock = g.nextTick = ClockMillis();
}

}  // namespace

void RequestQuit() { Game().quitRequested = true; }

bool QuitRequested() {
  GameGlobals& g = Game();
  if (TakeQuitRequest() || terminated.exchange(false)) g.quitRequested = true;
  return g.quitRequested;
}

void GameTick() {
  // A notification, the Windows key or a click on another window takes the
  // focus (a full-screen game is minimised): a game in play pauses as P
  // pauses it, and one still getting ready comes out of it paused.
  const bool suspended = TakeAppSuspensions() != 0;
  switch (Game().state) {
    case Title:
      TitleTick();
      break;
    case Playing:
      PlayingTick(suspended);
      break;
    case Dying:
      DyingTick();
      break;
    case RankCheck:
      RankCheckTick();
      break;
    case NameEntry:
      NameEntryTick();
      break;
    case GetReady:
      if (suspended) Game().paused = 1;
      GetReadyTick();
      break;
    default:
      break;
  }
}

void RunFrameTicks() {
  GameGlobals& g = Game();
  g.switchRequested = false;
  g.leaveTicks = false;
  g.ticksThisFrame = 0;
  g.frameClock = ClockMillis();
  // Closing the window ends the game as Escape on the title screen does.
  if (QuitRequested()) g.state = Quit;
  while (g.state < Quit && MillisSince(g.nextTick, g.frameClock) >= 0) {
    GameTick();
    if (g.leaveTicks) break;
    g.nextTick = AddMillis(g.nextTick, TICK_MILLIS);
    if (++g.ticksThisFrame >= MAX_TICKS_PER_FRAME) break;
  }
}

void WaitWhileHidden() {
  GameGlobals& g = Game();
  // Woken at once by the window's messages (the focus back, a close
  // request); else now and then, to ask the display again.
  WaitEventsFor(HIDDEN_WAIT_MILLIS);
  if (QuitRequested()) g.state = Quit;
  // The game stands still while nobody sees it: once seen, its ticks go on
  // from then, with no backlog.
  g.nextTick = ClockMillis();
}

void EndFrame() {
  GameGlobals& g = Game();
  // A clock that went back would leave the ticks waiting for it to catch
  // up; tick from the new time instead. Going round past the largest int is
  // no step back.
  const int now = ClockMillis();
  if (MillisSince(g.frameClock, now) < 0) g.nextTick = now;
  if (g.switchRequested) SwitchDisplayDriver();
  TPlayingSound::ReapFinished();
}

void RunGame() {
  static bool started = false;
  if (!FirstStart(started)) return;
  std::signal(SIGTERM, OnTerminate);
  StartUp();
  MarkFrameMeter("loop");
  while (Game().state < Quit) {
    if (IsDisplayHidden()) {
      WaitWhileHidden();
      continue;
    }
    RunFrameTicks();
    DrawFrame();
    // When the frame was shown, and in which state.
    MarkFrameMeter(STATE_LABELS[Game().state]);
    EndFrame();
  }
}
