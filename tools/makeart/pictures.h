#pragma once
// The game's fourteen pictures and its icon, and how each is painted.

#include <string>
#include <vector>

#include "pixmap/pixmap.h"
#include "tools/makeart/canvas.h"
#include "tools/makeart/lettering.h"

// The typefaces the lettering is made from (DejaVu, Debian's fonts-dejavu-core).
struct Typefaces {
  explicit Typefaces(const std::string& fontDir);
  Typeface sans;   // DejaVu Sans Bold
  Typeface serif;  // DejaVu Serif Bold
};

struct Picture {
  std::string name;  // file name in gfx/
  Ref<TPixmap> pixmap;
};

// The font alphabet, in the order of the font's cells.
constexpr const char* FONT_ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ. -&";
constexpr int FONT_GLYPH_COUNT = 40;
constexpr int FONT_SPACE_GLYPH = 37;

// In the order of the game's table of embedded files.
std::vector<Picture> MakePictures(const std::string& fontDir);

// The game's icon at each size, named icons/zorp-SIZE.png.
constexpr int ICON_SIZES[] = {16, 22, 24, 32, 48, 64, 128, 256};
std::vector<Picture> MakeIcons();

// Frames side by side, columns to a row, in reading order.
Ref<TPixmap> JoinFrames(const std::vector<Image>& frames, int columns);

// The shading of a glossy ball lit from the top left; transparent outside.
Shader SphereShader(Point centre, double radius, Colour base, Colour rim);
// The zorp's eyes and mouth, drawn on a 24 x 24 cell, placed by place.
void PaintFace(Image& image, const Affine& place);
// The zorp's colours, each ball darkening to its rim; the head is brighter.
constexpr int ZORP_BODY = 0x9A3CCC, ZORP_BODY_RIM = 0x2E0E48;
constexpr int ZORP_HEAD = 0xBA5CEC, ZORP_HEAD_RIM = 0x3A1458;

// Play field and its objects.
Ref<TPixmap> MakeGrass();
Ref<TPixmap> MakeBorder();
Ref<TPixmap> MakeZorp();
Ref<TPixmap> MakeFace();
Ref<TPixmap> MakeObjects(const Typefaces& faces);

// The bitmap font and the score digits.
Ref<TPixmap> MakeDigits(const Typefaces& faces);
Ref<TPixmap> MakeFont(const Typefaces& faces);

// Titles and the publisher's marks.
Ref<TPixmap> MakeLogo(const Typefaces& faces);
Ref<TPixmap> MakeTitle(const Typefaces& faces);
Ref<TPixmap> MakeReady(const Typefaces& faces);
Ref<TPixmap> MakeGameOver(const Typefaces& faces);
Ref<TPixmap> MakePresents(const Typefaces& faces);
Ref<TPixmap> MakePublisherSmall(const Typefaces& faces);
Ref<TPixmap> MakePublisherLarge(const Typefaces& faces);
