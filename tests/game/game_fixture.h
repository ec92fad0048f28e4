#pragma once
// The game's model on a real (windowed) OpenGL display on the desktop,
// with the game's own pictures, silent sounds, and a scripted system driver
// whose events are the keys and whose clock the test moves.

#include <gtest/gtest.h>

#include "GameFiles.h"
#include "game/bitmap_font.h"
#include "game/game_loop.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/occupancy_grid.h"
#include "game/playing_sound.h"
#include "game/zorp.h"
#include "graphics/display/graphics.h"
#include "graphics/gl/gl_draw.h"
#include "pixmap/png.h"
#include "stream/embedded_file.h"
#include "stream/file_system.h"
#include "system/event.h"
#include "system/system_driver.h"
#include "tests/support/keep_mesa_loaded.h"
#include "tests/support/scripted_system_driver.h"

class GameTest : public testing::Test {
 protected:
  void SetUp() override {
    StartSystem();
    StartGLDraw2D();
    StartEmbeddedFiles();
    StartPNG();
    StartFileSystem();
    desktop_ = SystemDriver()->HasDesktop();
    if (!desktop_) GTEST_SKIP() << "No desktop; on Linux set DISPLAY to an X server (an Xvfb)";
    SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
    OpenDisplay(800, 600, 0, 0, 0);
    ASSERT_TRUE(OpenedDisplay());
    RegisterEmbeddedFiles(GameFiles());
    ResetGame();
    GameImages& im = Game().images;
    im.zorp = LoadImageStrip("incbin::gfx/zorp.png", 24, 24, 0, 2, -1);
    im.face = LoadImageFrom("incbin::gfx/face.png", -1);
    CenterImageAnchor(im.face);
    im.objects = LoadImageStrip("incbin::gfx/objects.png", 24, 24, 0, 10, -1);
    im.font = LoadImageStrip("incbin::gfx/font.png", 32, 24, 0, 40, IMG_MASKED | IMG_DYNAMIC);
    im.digits = LoadImageStrip("incbin::gfx/digits.png", 32, 32, 0, 10, -1);
    ASSERT_TRUE(im.zorp && im.face && im.objects && im.font && im.digits);
    CenterImageAnchor(im.objects);
    MeasureFonts(im.font, im.digits);
    GameSounds& s = Game().sounds;
    s.number = s.bonus = s.death = s.music = New<TSound>();
    TPlayingSound::Live().clear();
    OccupancyGrid().Clear();
    keys = New<TScriptedSystemDriver>();
    keys->millis = 1000;
    SetSystemDriver(keys);
    AttachPolledInput(nullptr);
  }
  void TearDown() override {
    if (!desktop_) return;
    DetachPolledInput();
    KeepMesaLoaded();
    CloseOpenedDisplay();
  }

  void Hold(int key) { keys->Queue(EVENT_KEYDOWN, key); }
  void Release(int key) { keys->Queue(EVENT_KEYUP, key); }
  void Hit(int key) {
    Hold(key);
    Release(key);
  }
  void Type(int character) { keys->Queue(EVENT_KEYCHAR, character); }
  // A game in progress: the zorp in the middle, nothing eaten.
  void StartPlaying() {
    StartNewGame();
    Game().state = Playing;
  }
  static void Ticks(int n) {
    for (int i = 0; i < n; ++i) GameTick();
  }
  static const TZorpSegment& Head() { return *TZorpSegment::Segments().front(); }

  Ref<TScriptedSystemDriver> keys;

 private:
  bool desktop_ = false;
};
