#pragma once
// The game's states and the variables the whole game shares. Everything the
// game does runs on the one thread of its main loop.

#include "audio/audio_driver.h"
#include "graphics/display/display.h"
#include "graphics/draw2d/image.h"
#include "system/polled_input.h"

enum GameState : int {
  Title = 0,
  Playing = 1,
  Dying = 2,
  RankCheck = 3,
  NameEntry = 4,
  GetReady = 5,
  Quit = 6,
};

// Play-area geometry: its top-left corner on screen, and the field of cells.
constexpr int PLAY_X = 4, PLAY_Y = 44;
constexpr int PLAY_WIDTH = 792, PLAY_HEIGHT = 552;
constexpr int CELL = 24;
constexpr int COLUMNS = 33, ROWS = 23;

// Letter and punctuation keys the game reads, beside the named ones of the
// polled input.
enum : int {
  KEY_G = KEY_A + 6,
  KEY_M = KEY_A + 12,
  KEY_P = KEY_A + 15,
  KEY_X = KEY_A + 23,
  KEY_Z = KEY_A + 25,
  KEY_SLASH = 191,
  KEY_BACKQUOTE = 192,
  KEY_QUOTE = 222,
};

struct GameImages {
  Ref<TImage> grass, bground, zorp, face, objects, digits, font, logo, logoSml, logoLge, ready,
      gameOver, title, presents;
};

struct GameSounds {
  Ref<TSound> number, bonus, death, music;
};

struct GameGlobals {
  int state = Title;
  int displayDepth = 32;
  int glAvailable = 0;
  int dx7Available = 0;
  // The drivers driverFlag chooses between: the OpenGL and DirectX 7 2D
  // drivers, found at start; null where missing.
  Ref<TDisplayDriver> openGL, directX7;
  int driverFlag = 0;
  int musicOn = 1;
  int paused = 0;
  int score = 0;
  int deathCounter = 0;
  float overlayX = 0, overlayY = 0;
  float overlayAngle = 0;
  float gameOverAlpha = 0;
  int readyPhase = 0;
  int frameClock = 0;
  int nextTick = 0;
  int ticksThisFrame = 0;
  // Set by a tick that asks for the display driver to change at the end of
  // the frame.
  bool switchRequested = false;
  // Leaves the current frame's tick loop at once (Escape on the title).
  bool leaveTicks = false;
  // The program was asked to end (the window closed, SIGTERM).
  bool quitRequested = false;

  GameImages images;
  Ref<TImage> backgroundImage;
  GameSounds sounds;
};

GameGlobals& Game();
// A fresh set of variables; images and sounds go too.
void ResetGame();

// Death of the zorp, from a wall, its own body (1000 ticks) or a number
// running out (360 ticks): the Dying state and the death sound.
void KillZorp(int ticks);
