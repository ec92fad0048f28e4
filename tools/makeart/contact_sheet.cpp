#include "tools/makeart/contact_sheet.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "tools/makeart/glyph_metrics.h"

namespace {

constexpr int SHEET_WIDTH = 1640;
constexpr int MARGIN = 16;
constexpr int LABEL_HEIGHT = 22;
constexpr int SCREEN_WIDTH = 800, SCREEN_HEIGHT = 600;
// The play area on the screen; the game draws its objects relative to it.
constexpr int PLAY_X = 4, PLAY_Y = 44, PLAY_WIDTH = 792, PLAY_HEIGHT = 552;

const Colour NEUTRAL = Hex(0x808080);

Colour Tint(int r, int g, int b) { return {float(r) / 255, float(g) / 255, float(b) / 255, 1}; }

const TPixmap& Find(const std::vector<Picture>& pictures, const std::string& name) {
  for (const Picture& picture : pictures) {
    if (picture.name == name) return *picture.pixmap;
  }
  throw std::runtime_error("no picture " + name);
}

std::vector<Image> Frames(const TPixmap& sheet, int width, int height) {
  std::vector<Image> frames;
  for (int y = 0; y + height <= sheet.Height(); y += height) {
    for (int x = 0; x + width <= sheet.Width(); x += width) {
      frames.push_back(Image::FromPixmap(*sheet.Window(x, y, width, height)));
    }
  }
  return frames;
}

// The pictures as the game loads them, with the advances it measures.
struct GameArt {
  explicit GameArt(const std::vector<Picture>& pictures)
      : grass(Image::FromPixmap(Find(pictures, "grass.png"))),
        border(Image::FromPixmap(Find(pictures, "bground.png"))),
        zorp(Frames(Find(pictures, "zorp.png"), 24, 24)),
        face(Image::FromPixmap(Find(pictures, "face.png"))),
        objects(Frames(Find(pictures, "objects.png"), 24, 24)),
        digits(Frames(Find(pictures, "digits.png"), DIGIT_CELL, DIGIT_CELL)),
        font(Frames(Find(pictures, "font.png"), FONT_CELL_WIDTH, FONT_CELL_HEIGHT)),
        logo(Image::FromPixmap(Find(pictures, "logo.png"))),
        logoSmall(Image::FromPixmap(Find(pictures, "logo_sml.png"))),
        ready(Image::FromPixmap(Find(pictures, "ready.png"))),
        gameOver(Image::FromPixmap(Find(pictures, "game_over.png"))),
        fontAdvances(FontAdvances(Find(pictures, "font.png"))),
        digitAdvances(DigitAdvances(Find(pictures, "digits.png"))) {}

  // Text in the bitmap font at (x, y), centred on x when asked.
  void Text(Image& image, const std::string& text, int x, int y, Colour tint,
            bool centred = false) const {
    if (centred) x -= FontTextWidth(fontAdvances, text) / 2;
    for (char c : text) {
      const int glyph = FontGlyph(c);
      image.Draw(font[glyph], x, y, tint);
      x += fontAdvances[glyph];
    }
  }

  void Digits(Image& image, const std::string& text, int x, int y, Colour tint) const {
    for (char c : text) {
      image.Draw(digits[c - '0'], x, y, tint);
      x += digitAdvances[c - '0'];
    }
  }

  Image grass, border;
  std::vector<Image> zorp;
  Image face;
  std::vector<Image> objects, digits, font;
  Image logo, logoSmall, ready, gameOver;
  std::vector<int> fontAdvances, digitAdvances;
};

void Tile(Image& image, const Image& tile, int x, int y) {
  for (int ty = y; ty < image.Height(); ty += tile.Height()) {
    for (int tx = x; tx < image.Width(); tx += tile.Width()) image.Draw(tile, tx, ty);
  }
}

// The screen behind every state: border, frame and grass; the logo and the
// two scores on top.
Image Screen(const GameArt& art, const std::string& score) {
  Image screen(SCREEN_WIDTH, SCREEN_HEIGHT);
  Tile(screen, art.border, -((SCREEN_WIDTH % art.border.Width()) / 2),
       -((SCREEN_HEIGHT % art.border.Height()) / 2));
  Path frame;
  frame.AddPolygon({{PLAY_X - 1.0, PLAY_Y - 1.0},
                    {PLAY_X + PLAY_WIDTH + 1.0, PLAY_Y - 1.0},
                    {PLAY_X + PLAY_WIDTH + 1.0, PLAY_Y + PLAY_HEIGHT + 1.0},
                    {PLAY_X - 1.0, PLAY_Y + PLAY_HEIGHT + 1.0}});
  screen.Paint(Mask(frame, SCREEN_WIDTH, SCREEN_HEIGHT), Hex(0x000000));
  Image field(PLAY_WIDTH, PLAY_HEIGHT);
  Tile(field, art.grass, 0, 0);
  screen.Draw(field, PLAY_X, PLAY_Y);
  screen.Draw(art.logo, SCREEN_WIDTH / 2 - art.logo.Width() / 2, 0);
  art.Digits(screen, score, SCREEN_WIDTH - DigitsWidth(art.digitAdvances, score) - 8, 8,
             Tint(255, 255, 0));
  art.Digits(screen, "500000", 6, 8, Tint(0, 255, 0));
  return screen;
}

Image TitleScreen(const GameArt& art) {
  Image screen = Screen(art, "123450");
  const auto text = [&](const std::string& line, int x, int y, Colour tint, bool centred) {
    art.Text(screen, line, PLAY_X + x, PLAY_Y + y, tint, centred);
  };
  text("THE ZORPIEST HALL OF FAME", 396, 8, Tint(255, 255, 255), true);
  const int rankWidth = FontTextWidth(art.fontAdvances, "10");
  const std::string names[] = {
      "QUILLMOOR SOFTWARE", "MWMWMWMWMWMWMWMW", "ZORP & CO.", "A-TEAM",  "JACK QUICK",
      "VEXING BOZ",         "HALF-LIFE",        "O.K. 123",   "WILLIAM", "QUILLMOOR SOFTWARE"};
  for (int i = 0; i < 10; ++i) {
    const std::string rank = std::to_string(i + 1), score = std::to_string(500000 - 50000 * i);
    const int y = 56 + 24 * i;
    text(rank, rankWidth + 128 - FontTextWidth(art.fontAdvances, rank), y, Tint(255, 255, 0),
         false);
    text(score, 320 - FontTextWidth(art.fontAdvances, score), y, Tint(255, 255, 0), false);
    text(names[i], 360, y, Tint(255, 255, 0), false);
  }
  text("USE ARROW KEYS TO MOVE", 396, 326, Tint(255, 128, 0), true);
  text("P PAUSES   ESC QUITS   M TOGGLES MUSIC", 396, 356, Tint(255, 128, 0), true);
  text("PRESS G TO SWITCH TO DIRECTX", 396, 396, Tint(128, 128, 128), true);
  text("PRESS SPACE TO START", 396, 446, Tint(255, 128, 255), true);
  text("GAME & ART BY QUILLMOOR SOFTWARE", 8, 499, Tint(180, 200, 255), false);
  text("MUSIC BY THE QUILLMOOR BAND", 8, 521, Tint(180, 200, 255), false);
  screen.Draw(art.logoSmall, PLAY_X + 786 - art.logoSmall.Width(),
              PLAY_Y + 544 - art.logoSmall.Height());
  return screen;
}

Image PlayScreen(const GameArt& art) {
  Image screen = Screen(art, "9870");
  const auto at = [&](const Image& image, double x, double y, Colour tint = {1, 1, 1, 1}) {
    screen.Draw(image, PLAY_X + int(x), PLAY_Y + int(y), tint);
  };
  // A zorp heading up with a bend in its body, drawn tail first; items drawn
  // at their centres.
  std::vector<Point> balls;
  for (int i = 0; i < 9; ++i) balls.push_back({360, 264.0 + 8 * i});
  for (int i = 1; i <= 8; ++i) balls.push_back({360.0 + 8 * i, 328});
  for (size_t i = balls.size(); i-- > 0;) at(art.zorp[i == 0 ? 1 : 0], balls[i].x, balls[i].y);
  at(art.face, 360, 264);
  for (int n = 1; n <= 9; ++n) at(art.objects[n], 24 * (3 + 2 * n) + 12 - 12, 48 + 12 - 12);
  at(art.objects[0], 24 * 14, 24 * 15);
  at(art.objects[7], 24 * 20, 24 * 9);
  art.Text(screen, "PAUSED", PLAY_X + 400, PLAY_Y + 320 - 12, Tint(255, 255, 255), true);
  at(art.ready, 560 - art.ready.Width() / 2, 400 - art.ready.Height() / 2);
  at(art.gameOver, 150 - art.gameOver.Width() / 2, 400 - art.gameOver.Height() / 2,
     {1, 1, 1, 0.85f});
  return screen;
}

// Some lines of text twice the size, on grass and on the border.
Image TextSamples(const GameArt& art) {
  Image samples(SHEET_WIDTH / 2 - MARGIN, 150);
  Tile(samples, art.grass, 0, 0);
  art.Text(samples, "PRESS SPACE TO START", 6, 4, Tint(255, 128, 255));
  art.Text(samples, "THE ZORPIEST HALL OF FAME", 6, 30, Tint(255, 255, 255));
  art.Text(samples, "0123456789 ABCDEFGHIJKLM", 6, 56, Tint(255, 255, 0));
  art.Text(samples, "NOPQRSTUVWXYZ. -&", 6, 82, Tint(128, 255, 255));
  Image strip(samples.Width(), 44);
  Tile(strip, art.border, 0, 0);
  art.Digits(strip, "123450", 6, 8, Tint(255, 255, 0));
  art.Digits(strip, "6789", 200, 8, Tint(0, 255, 0));
  samples.Draw(strip, 0, 106);
  return samples;
}

void Label(Image& image, const Typefaces& faces, const std::string& text, int x, int y) {
  const Path path = faces.sans.Text(text, 15).Transformed(Affine::Translate(x, y + 15));
  image.Paint(Mask(path, image.Width(), image.Height()), Hex(0x202020));
}

// The enlargement that makes a picture of this size easy to judge.
int Enlargement(const TPixmap& pixmap) {
  const int side = std::max(pixmap.Width(), pixmap.Height());
  return side <= 48 ? 6 : side <= 128 ? 4 : side <= 200 ? 3 : side <= 330 ? 2 : 1;
}

}  // namespace

Ref<TPixmap> MakeContactSheet(const std::vector<Picture>& pictures, const Typefaces& faces) {
  const GameArt art(pictures);
  // Lay the enlarged pictures out in rows, then the screens below them.
  struct Placed {
    const Picture* picture;
    int x, y, scale;
  };
  std::vector<Placed> placed;
  int x = MARGIN, y = MARGIN, rowHeight = 0;
  for (const Picture& picture : pictures) {
    const int scale = Enlargement(*picture.pixmap);
    const int width = picture.pixmap->Width() * scale, height = picture.pixmap->Height() * scale;
    if (x + width > SHEET_WIDTH - MARGIN) {
      x = MARGIN;
      y += rowHeight + MARGIN;
      rowHeight = 0;
    }
    placed.push_back({&picture, x, y, scale});
    x += width + MARGIN;
    rowHeight = std::max(rowHeight, height + LABEL_HEIGHT);
  }
  const int screensY = y + rowHeight + MARGIN;
  const Image samples = TextSamples(art);
  const int height = screensY + SCREEN_HEIGHT + MARGIN + samples.Height() * 2 + MARGIN;

  Image sheet = Image::Shade(SHEET_WIDTH, height, 1, [](double, double) { return NEUTRAL; });
  for (const Placed& p : placed) {
    Label(sheet, faces,
          p.picture->name + "  " + std::to_string(p.picture->pixmap->Width()) + " x " +
              std::to_string(p.picture->pixmap->Height()) + "  x" + std::to_string(p.scale),
          p.x, p.y);
    sheet.Draw(Image::FromPixmap(*p.picture->pixmap), p.x, p.y + LABEL_HEIGHT, {1, 1, 1, 1},
               p.scale);
  }
  sheet.Draw(TitleScreen(art), MARGIN, screensY);
  sheet.Draw(PlayScreen(art), SHEET_WIDTH - MARGIN - SCREEN_WIDTH, screensY);
  sheet.Draw(samples, MARGIN, screensY + SCREEN_HEIGHT + MARGIN, {1, 1, 1, 1}, 2);
  return sheet.ToPixmap(false);
}
