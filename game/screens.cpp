#include "game/screens.h"

#include "game/bitmap_font.h"
#include "game/frame_meter.h"
#include "game/game_loop.h"
#include "game/game_state.h"
#include "game/hall_of_fame.h"
#include "game/items.h"
#include "game/zorp.h"
#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/glyph_font.h"
#include "runtime/runtime_error.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace {

bool windowed = false;

// Play-area coordinates of the centre of the play area.
constexpr float CENTRE_X = 396, CENTRE_Y = 276;

Ref<TImage> Single(const char* name, bool centred) {
  Ref<TImage> image = LoadImageFrom(String("incbin::gfx/") + String(name), -1);
  if (image && centred) CenterImageAnchor(image);
  return image;
}

Ref<TImage> Strip(const char* name, int width, int height, int count, int flags) {
  return LoadImageStrip(String("incbin::gfx/") + String(name), width, height, 0, count, flags);
}

void DrawCornerTexts() {
  DrawString(String(WEB_ADDRESS), 0, 584);
  const String version(VERSION_TEXT);
  DrawString(version, static_cast<float>(800 - MeasureTextWidth(version)), 584);
}

// A hit of Escape or Space; either skips the rest of the intro, and so does
// a request to quit, which the main loop then acts on.
bool Hit() { return TakeKeyHits(KEY_ESCAPE) || TakeKeyHits(KEY_SPACE) || QuitRequested(); }

// Waits for a hit or until the time has passed; true on a hit.
bool WaitOrHit(int millis) {
  const int start = ClockMillis();
  while (MillisSince(start, ClockMillis()) <= millis) {
    if (Hit()) return true;
    SleepMillis(5);
  }
  return false;
}

// Fades from one picture to the other at the screen's centre; true on a hit.
bool CrossFade(const Ref<TImage>& from, const Ref<TImage>& to) {
  for (float a = 1.0f; a > 0; a -= 0.01f) {
    ClearScreen();
    SetDrawAlpha(1 - a);
    DrawImageFrame(to, 400, 300, 0);
    SetDrawAlpha(a);
    if (from) DrawImageFrame(from, 400, 300, 0);
    SetDrawAlpha(1);
    DrawCornerTexts();
    FlipDisplay(-1);
    SleepMillis(10);
    if (Hit()) return true;
  }
  return false;
}

void RunIntro() {
  const GameImages& im = Game().images;
  MarkFrameMeter("intro");
  ClearKeys();
  if (WaitOrHit(5000)) return;
  if (CrossFade(im.logoLge, im.presents)) return;
  if (WaitOrHit(2000)) return;
  if (CrossFade(im.presents, im.title)) return;
  WaitOrHit(5000);
}

void DrawTitleScreen() {
  const GameGlobals& g = Game();
  DrawHallOfFame();
  SetDrawColor(255, 128, 0);
  DrawFontText(String("USE ARROW KEYS TO MOVE"), CENTRE_X, 326, 1, 0);
  DrawFontText(String("P PAUSES   ESC QUITS   M TOGGLES MUSIC"), CENTRE_X, 356, 1, 0);
  if (g.glAvailable && g.dx7Available) {
    SetDrawColor(128, 128, 128);
    DrawFontText(
        String(g.driverFlag == 0 ? "PRESS G TO SWITCH TO DIRECTX" : "PRESS G TO SWITCH TO OPENGL"),
        CENTRE_X, 396, 1, 0);
    SetDrawColor(255, 128, 255);
    DrawFontText(String("PRESS SPACE TO START"), CENTRE_X, 446, 1, 0);
  } else {
    SetDrawColor(255, 128, 255);
    DrawFontText(String("PRESS SPACE TO START"), CENTRE_X, 428, 1, 0);
  }
  SetDrawColor(180, 200, 255);
  DrawFontText(String(AUTHOR_CREDIT), 8, 499, 0, 0);
  DrawFontText(String(MUSIC_CREDIT), 8, 521, 0, 0);
  SetDrawColor(255, 255, 255);
  const Ref<TImage>& logo = g.images.logoSml;
  DrawImageFrame(logo, static_cast<float>(786 - logo->width),
                 static_cast<float>(544 - logo->height), 0);
}

void DrawNameEntry() {
  DrawHallOfFame();
  SetDrawColor(128, 255, 255);
  DrawFontText(String("CONGRATULATIONS"), CENTRE_X, 356, 1, 0);
  DrawFontText(String("YOU HAVE MADE THE ZORP HALL OF FAME"), CENTRE_X, 386, 1, 0);
  DrawFontText(String("PLEASE ENTER YOUR NAME INTO THE RANKS"), CENTRE_X, 440, 1, 0);
  SetDrawColor(255, 255, 255);
}

void DrawPlayField(bool star) {
  TZorpSegment::Draw();
  NumberItem().Draw();
  if (star) BonusStar().Draw();
}

// Drawn with the origin at the play area.
void DrawState() {
  const GameGlobals& g = Game();
  switch (g.state) {
    case Playing:
      DrawPlayField(true);
      if (g.paused) DrawFontText(String("PAUSED"), 400, 320, 1, 1);
      break;
    case Dying:
      DrawPlayField(true);
      SetDrawAlpha(g.gameOverAlpha);
      DrawImageFrame(g.images.gameOver, g.overlayX, g.overlayY, 0);
      SetDrawAlpha(1);
      break;
    case Title:
    case Quit:
      DrawTitleScreen();
      break;
    case GetReady:
      DrawPlayField(false);
      if (g.readyPhase == 1 || g.readyPhase == 3) {
        SetDrawRotation(g.overlayAngle);
        DrawImageFrame(g.images.ready, g.overlayX, g.overlayY, 0);
        SetDrawRotation(0);
      } else if (g.readyPhase == 2) {
        DrawImageFrame(g.images.ready, g.overlayX, g.overlayY, 0);
      }
      break;
    case NameEntry:
      DrawNameEntry();
      break;
    default:
      break;
  }
}

}  // namespace

void SetWindowed(bool window) { windowed = window; }

void OpenGameDisplay(int hz) {
  OpenDisplay(800, 600, windowed ? 0 : Game().displayDepth, hz, 0);
  // Without a display the game would run on unseen.
  if (!OpenedDisplay()) throw RuntimeError("Failed to open the display!");
  HidePointer();
}

void LoadGameImages(int applyingChanges) {
  GameImages& im = Game().images;
  SetBlendMode(BLEND_ALPHA);
  im.logoLge = Single("logo_lge.png", true);
  ClearScreen();
  if (applyingChanges == 0) {
    if (im.logoLge) DrawImageFrame(im.logoLge, 400, 300, 0);
    DrawCornerTexts();
  } else {
    const String text("Applying graphic mode changes");
    DrawString(text, static_cast<float>((800 - MeasureTextWidth(text)) / 2),
               static_cast<float>((600 - MeasureTextHeight(text)) / 2));
  }
  FlipDisplay(-1);

  im.grass = Single("grass.png", false);
  im.bground = Single("bground.png", false);
  im.zorp = Strip("zorp.png", 24, 24, 2, -1);
  im.face = Single("face.png", true);
  im.objects = Strip("objects.png", 24, 24, 10, -1);
  if (im.objects) CenterImageAnchor(im.objects);
  im.digits = Strip("digits.png", 32, 32, 10, -1);
  im.font = Strip("font.png", 32, 24, 40, IMG_MASKED | IMG_DYNAMIC);
  im.logo = Single("logo.png", false);
  if (im.logo) SetImageAnchor(im.logo, static_cast<float>(im.logo->width / 2), 0);
  im.logoSml = Single("logo_sml.png", false);
  im.ready = Single("ready.png", true);
  im.gameOver = Single("game_over.png", true);
  im.presents = Single("presents.png", true);
  im.title = Single("title.png", true);
  for (const Ref<TImage>* image :
       {&im.grass, &im.bground, &im.zorp, &im.face, &im.objects, &im.digits, &im.font, &im.logo,
        &im.logoSml, &im.ready, &im.gameOver, &im.presents, &im.title}) {
    if (!*image) throw RuntimeError("Failed to load graphics!");
  }
  if (applyingChanges == 0) RunIntro();
  MarkFrameMeter("loaded");
  ComposeBackground();
}

void ComposeBackground() {
  const GameImages& im = Game().images;
  ClearScreen();
  TileImageFrame(im.bground, static_cast<float>(-((800 % im.bground->width) / 2)),
                 static_cast<float>(-((600 % im.bground->height) / 2)), 0);
  SetDrawColor(0, 0, 0);
  FillRect(PLAY_X - 1, PLAY_Y - 1, PLAY_WIDTH + 2, PLAY_HEIGHT + 2);
  SetDrawColor(255, 255, 255);
  SetClipRect(PLAY_X, PLAY_Y, PLAY_WIDTH, PLAY_HEIGHT);
  SetDrawOrigin(PLAY_X, PLAY_Y);
  TileImageFrame(im.grass, 0, 0, 0);
  SetClipRect(0, 0, 800, 600);
  SetDrawOrigin(0, 0);
  GrabImageFrame(Game().backgroundImage, 0, 0, 0);
}

void DrawHallOfFame() {
  const HallOfFame& h = Ranks();
  SetDrawColor(255, 255, 255);
  DrawFontText(String("THE ZORPIEST HALL OF FAME"), CENTRE_X, 8, 1, 0);
  SetDrawColor(255, 255, 0);
  for (int i = 0; i < RANKS; ++i) {
    const float y = static_cast<float>(56 + 24 * i);
    const String rank = String::FromInt(i + 1);
    const String score = String::FromInt(h.rankScores[i]);
    DrawFontText(rank, static_cast<float>(RankNumberWidth() + 128 - FontTextWidth(rank)), y, 0, 0);
    DrawFontText(score, static_cast<float>(320 - FontTextWidth(score)), y, 0, 0);
    DrawFontText(h.rankNames[i], 360, y, 0, 0);
  }
}

void DrawFrame() {
  const GameGlobals& g = Game();
  DrawImageFrame(g.backgroundImage, 0, 0, 0);
  DrawImageFrame(g.images.logo, 400, 0, 0);
  const String score = String::FromInt(g.score);
  DrawDigits(score, static_cast<float>(800 - DigitsWidth(score) - 8), 8, 255, 255, 0);
  DrawDigits(String::FromInt(Ranks().rankScores[0]), 6, 8, 0, 255, 0);
  SetDrawOrigin(PLAY_X, PLAY_Y);
  DrawState();
  SetDrawOrigin(0, 0);
  FlipDisplay(-1);
}

void GetReadyTick() {
  GameGlobals& g = Game();
  switch (g.readyPhase) {
    case 0:
      g.overlayX = 1116;
      g.overlayY = CENTRE_Y;
      g.overlayAngle = 0;
      g.readyPhase = 1;
      break;
    case 1:
      g.overlayX -= 4;
      g.overlayAngle -= 2;
      if (g.overlayAngle < 0) g.overlayAngle += 360;
      if (g.overlayX == CENTRE_X) {
        g.overlayAngle = 200;
        g.readyPhase = 2;
      }
      break;
    case 2:
      g.overlayAngle -= 1;
      if (g.overlayAngle == 0) g.readyPhase = 3;
      break;
    case 3:
      g.overlayX -= 4;
      g.overlayAngle -= 2;
      if (g.overlayAngle < 0) g.overlayAngle += 360;
      if (g.overlayX < -100) {
        g.readyPhase = 4;
        ClearKeys();
      }
      break;
    default:
      g.state = Playing;
      g.readyPhase = 0;
      g.overlayX = CENTRE_X;
      g.overlayY = CENTRE_Y;
      g.gameOverAlpha = 0;
      break;
  }
}
