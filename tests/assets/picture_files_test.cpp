// The committed pictures in gfx/, read with libpng and judged the way the
// game uses them: sizes and frame grids, colour types, seamless tiles,
// glyph widths measured from the pixels, and the icon at each size.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Expected {
  const char* name;
  int width, height;
  bool alpha;
  int cellWidth, cellHeight;  // the whole picture when it is no strip
};

constexpr Expected PICTURES[] = {
    {"grass.png", 128, 128, false, 128, 128}, {"zorp.png", 48, 24, true, 24, 24},
    {"bground.png", 64, 64, false, 64, 64},   {"face.png", 24, 24, true, 24, 24},
    {"digits.png", 160, 64, true, 32, 32},    {"objects.png", 120, 48, true, 24, 24},
    {"logo.png", 176, 44, true, 176, 44},     {"font.png", 160, 192, true, 32, 24},
    {"logo_sml.png", 128, 85, true, 128, 85}, {"logo_lge.png", 480, 320, true, 480, 320},
    {"ready.png", 300, 170, true, 300, 170},  {"game_over.png", 256, 168, true, 256, 168},
    {"title.png", 428, 104, true, 428, 104},  {"presents.png", 312, 64, true, 312, 64},
};

constexpr std::string_view FONT_ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ. -&";
constexpr int SPACE_GLYPH = 37;
constexpr int SPACE_WIDTH = 12;
constexpr int PLAY_AREA_WIDTH = 792;

struct Rgba {
  uint8_t r, g, b, a;
};

// A picture decoded to 8-bit RGBA (opaque where the file has no alpha).
struct Picture {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;

  const Rgba& At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

std::string PathOf(const char* name) { return std::string(ZORP_GFX_DIR) + "/" + name; }

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

uint32_t BigEndian(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
         bytes[at + 3];
}

Picture Load(const char* name) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture picture;
  if (!png_image_begin_read_from_file(&image, PathOf(name).c_str())) return picture;
  image.format = PNG_FORMAT_RGBA;
  std::vector<Rgba> pixels(size_t(image.width) * image.height);
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    picture = {int(image.width), int(image.height), std::move(pixels)};
  }
  png_image_free(&image);
  return picture;
}

const Expected& Find(std::string_view name) {
  for (const Expected& expected : PICTURES) {
    if (expected.name == name) return expected;
  }
  throw std::logic_error("no such picture");
}

// The window of one cell, cells numbered in reading order.
struct Cell {
  const Picture& picture;
  int x0, y0, width, height;

  Cell(const Picture& p, int index, int cellWidth, int cellHeight)
      : picture(p),
        x0(index % (p.width / cellWidth) * cellWidth),
        y0(index / (p.width / cellWidth) * cellHeight),
        width(cellWidth),
        height(cellHeight) {}
  const Rgba& At(int x, int y) const { return picture.At(x0 + x, y0 + y); }

  int MaxAlpha() const {
    int most = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) most = std::max(most, int(At(x, y).a));
    }
    return most;
  }
  // The first and last columns holding a pixel with alpha of at least
  // minimum; -1 and -1 when there is none.
  std::pair<int, int> Columns(int minimum) const {
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x) {
      for (int y = 0; y < height; ++y) {
        if (At(x, y).a >= minimum) {
          if (first < 0) first = x;
          last = x;
          break;
        }
      }
    }
    return {first, last};
  }
};

// The game's measurement: the rightmost column with any alpha, plus one for
// the font, as it is for the digits; 0 for an empty cell.
int Advance(const Cell& cell, bool font) {
  const int last = cell.Columns(1).second;
  if (last < 0) return 0;
  return font ? last + 1 : last;
}

std::vector<int> FontAdvances(const Picture& font) {
  std::vector<int> advances;
  for (int g = 0; g < int(FONT_ALPHABET.size()); ++g)
    advances.push_back(Advance({font, g, 32, 24}, true));
  advances[SPACE_GLYPH] = SPACE_WIDTH;
  return advances;
}

int TextWidth(const std::vector<int>& advances, std::string_view text) {
  int width = 0;
  for (char c : text) {
    const size_t glyph = FONT_ALPHABET.find(c);
    width += advances[glyph == std::string_view::npos ? SPACE_GLYPH : glyph];
  }
  return width;
}

double Difference(const Rgba& p, const Rgba& q) {
  return std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
}

class PictureFileTest : public testing::TestWithParam<Expected> {};

void ExpectHeader(const std::string& name, int width, int height, bool alpha) {
  const std::vector<uint8_t> bytes = ReadFile(PathOf(name.c_str()));
  ASSERT_GE(bytes.size(), 33u) << name;
  ASSERT_EQ(png_sig_cmp(bytes.data(), 0, 8), 0) << name;
  ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
  EXPECT_EQ(BigEndian(bytes, 16), uint32_t(width)) << name;
  EXPECT_EQ(BigEndian(bytes, 20), uint32_t(height)) << name;
  EXPECT_EQ(bytes[24], 8) << name << " bit depth";
  EXPECT_EQ(bytes[25], alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB) << name;
  EXPECT_EQ(bytes[28], PNG_INTERLACE_NONE) << name;
}

TEST_P(PictureFileTest, HeaderGivesTheSizeAndColourType) {
  const Expected& expected = GetParam();
  ExpectHeader(expected.name, expected.width, expected.height, expected.alpha);
}

TEST_P(PictureFileTest, EveryFrameHoldsAPictureAndEdgesAreSmooth) {
  const Expected& expected = GetParam();
  const Picture picture = Load(expected.name);
  ASSERT_EQ(picture.width, expected.width);
  ASSERT_EQ(picture.height, expected.height);
  const int cells = (expected.width / expected.cellWidth) * (expected.height / expected.cellHeight);
  for (int i = 0; i < cells; ++i) {
    const Cell cell(picture, i, expected.cellWidth, expected.cellHeight);
    if (std::string_view(expected.name) == "font.png" && i == SPACE_GLYPH) {
      EXPECT_EQ(cell.MaxAlpha(), 0) << "the space cell is empty";
    } else {
      EXPECT_EQ(cell.MaxAlpha(), 255) << expected.name << " cell " << i;
    }
  }
  if (!expected.alpha) return;
  // Antialiased: shapes fade out over partly transparent pixels.
  const auto partial = std::count_if(picture.pixels.begin(), picture.pixels.end(),
                                     [](const Rgba& p) { return p.a > 0 && p.a < 255; });
  EXPECT_GT(partial, picture.width + picture.height) << expected.name;
}

INSTANTIATE_TEST_SUITE_P(Gfx, PictureFileTest, testing::ValuesIn(PICTURES),
                         [](const testing::TestParamInfo<Expected>& info) {
                           const std::string name = info.param.name;
                           return name.substr(0, name.find('.'));
                         });

class TileTest : public testing::TestWithParam<const char*> {};

// The difference across the wrap-around edge is no larger than the
// differences between neighbouring columns (or rows) inside the tile: within
// three standard deviations of their mean.
TEST_P(TileTest, WrapsAroundWithoutASeam) {
  const Picture tile = Load(GetParam());
  ASSERT_GT(tile.width, 0);
  for (bool columns : {true, false}) {
    const int lines = columns ? tile.width : tile.height;
    const int along = columns ? tile.height : tile.width;
    const auto pixel = [&](int line, int i) {
      return columns ? tile.At(line, i) : tile.At(i, line);
    };
    // Mean difference between line k and line k + 1, the last pair wrapping.
    std::vector<double> steps;
    for (int k = 0; k < lines; ++k) {
      double sum = 0;
      for (int i = 0; i < along; ++i) sum += Difference(pixel(k, i), pixel((k + 1) % lines, i));
      steps.push_back(sum / along);
    }
    const double seam = steps.back();
    steps.pop_back();
    double mean = 0, variance = 0;
    for (double step : steps) mean += step / double(steps.size());
    for (double step : steps) variance += (step - mean) * (step - mean) / double(steps.size());
    EXPECT_LE(seam, mean + 3 * std::sqrt(variance))
        << GetParam() << (columns ? " left and right" : " top and bottom");
  }
}

TEST_P(TileTest, HasNoPixelOfTheMaskColour) {
  // The game makes black pixels of pictures without alpha transparent.
  const Picture tile = Load(GetParam());
  for (const Rgba& p : tile.pixels) {
    ASSERT_FALSE(p.r == 0 && p.g == 0 && p.b == 0) << GetParam();
  }
}

INSTANTIATE_TEST_SUITE_P(Gfx, TileTest, testing::Values("grass.png", "bground.png"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// Each glyph starts at the cell's left edge, is white with a dark outline,
// and carries its own letter spacing: the measured advance ends a clear
// column or two after the visible ink.
void ExpectGlyph(const Cell& cell, bool font, const std::string& what) {
  const auto [first, lastVisible] = cell.Columns(2);
  ASSERT_GE(first, 0) << what;
  EXPECT_EQ(first, 0) << what << " is not left-aligned";
  const int gap = Advance(cell, font) - (lastVisible + 1);
  EXPECT_GE(gap, 1) << what;
  EXPECT_LE(gap, 2) << what;
  int white = 0, dark = 0;
  for (int y = 0; y < cell.height; ++y) {
    for (int x = 0; x < cell.width; ++x) {
      const Rgba& p = cell.At(x, y);
      if (p.a == 255) white += std::min({p.r, p.g, p.b}) >= 235;
      if (p.a >= 128) dark += std::max({p.r, p.g, p.b}) < 64;
    }
  }
  EXPECT_GT(white, 10) << what;
  EXPECT_GT(dark, 10) << what;
}

TEST(GlyphTest, FontGlyphsAreLeftAlignedWithTheirOwnSpacing) {
  const Picture font = Load("font.png");
  ASSERT_EQ(font.width, 160);
  for (int g = 0; g < int(FONT_ALPHABET.size()); ++g) {
    if (g == SPACE_GLYPH) continue;
    ExpectGlyph({font, g, 32, 24}, true, std::string("font glyph ") + FONT_ALPHABET[g]);
  }
}

TEST(GlyphTest, DigitsAreLeftAlignedWithTheirOwnSpacing) {
  const Picture digits = Load("digits.png");
  ASSERT_EQ(digits.width, 160);
  for (int d = 0; d < 10; ++d)
    ExpectGlyph({digits, d, 32, 32}, false, "digit " + std::to_string(d));
}

TEST(GlyphTest, TheGamesTextFitsItsPlaces) {
  const Picture font = Load("font.png");
  ASSERT_EQ(font.width, 160);
  const std::vector<int> advances = FontAdvances(font);
  // The longest centred lines stay inside the play area with room to spare.
  for (const char* line :
       {"P PAUSES   ESC QUITS   M TOGGLES MUSIC", "PLEASE ENTER YOUR NAME INTO THE RANKS",
        "YOU HAVE MADE THE ZORP HALL OF FAME", "THE ZORPIEST HALL OF FAME",
        "PRESS G TO SWITCH TO DIRECTX"}) {
    EXPECT_LE(TextWidth(advances, line), PLAY_AREA_WIDTH - 64) << line;
  }
  // Hall of fame: the rank numbers end before the widest score begins, and
  // the default name fits between the name column and the play area's edge.
  const int rankEnd = TextWidth(advances, "10") + 128;
  EXPECT_LT(rankEnd + 16, 320 - TextWidth(advances, "500000"));
  EXPECT_LE(360 + TextWidth(advances, "QUILLMOOR SOFTWARE"), PLAY_AREA_WIDTH - 16);
  // A name entry of 304 pixels holds a fair number of letters.
  int letters = 0;
  for (char c = 'A'; c <= 'Z'; ++c) letters += advances[FONT_ALPHABET.find(c)];
  EXPECT_GE(304 * 26 / letters, 15);

  // Nine-digit scores fit beside the logo in the score bar.
  const Picture digits = Load("digits.png");
  ASSERT_EQ(digits.width, 160);
  int widest = 0;
  for (int d = 0; d < 10; ++d) widest = std::max(widest, Advance({digits, d, 32, 32}, false));
  EXPECT_LE(9 * widest + 8, (800 - Find("logo.png").width) / 2);
}

// Alpha-weighted mean of a channel function over a cell.
template <typename F>
double Mean(const Cell& cell, F value) {
  double sum = 0, weight = 0;
  for (int y = 0; y < cell.height; ++y) {
    for (int x = 0; x < cell.width; ++x) {
      const Rgba& p = cell.At(x, y);
      sum += value(p, x, y) * p.a;
      weight += p.a;
    }
  }
  return weight > 0 ? sum / weight : 0;
}

double Luminance(const Rgba& p) { return 0.3 * p.r + 0.59 * p.g + 0.11 * p.b; }

TEST(SpriteTest, BodyBallIsCentredAndTheHeadFillsItsFrameBrighter) {
  const Picture zorp = Load("zorp.png");
  ASSERT_EQ(zorp.width, 48);
  const Cell body(zorp, 0, 24, 24), head(zorp, 1, 24, 24);
  const auto [bodyLeft, bodyRight] = body.Columns(128);
  EXPECT_GE(bodyRight - bodyLeft + 1, 19);
  EXPECT_LE(bodyRight - bodyLeft + 1, 21);
  EXPECT_EQ(bodyLeft + bodyRight, 23) << "centred";
  EXPECT_EQ(head.Columns(128), std::make_pair(0, 23));
  const auto luminance = [](const Rgba& p, int, int) { return Luminance(p); };
  EXPECT_GT(Mean(head, luminance), Mean(body, luminance) + 5);
}

// Mean row of the opaque pixels that pass the test.
template <typename F>
double MeanRow(const Cell& cell, F test) {
  return Mean(cell,
              [&](const Rgba& p, int, int y) { return p.a == 255 && test(p) ? y + 0.5 : 0; }) /
         Mean(cell, [&](const Rgba& p, int, int) { return p.a == 255 && test(p) ? 1.0 : 0; });
}

TEST(SpriteTest, FaceIsCentredAndLooksUp) {
  const Picture face = Load("face.png");
  ASSERT_EQ(face.width, 24);
  const Cell cell(face, 0, 24, 24);
  EXPECT_NEAR(Mean(cell, [](const Rgba&, int x, int) { return x + 0.5; }), 12, 0.5);
  // The whites of the eyes above the middle, the red of the mouth below it.
  const double eyes = MeanRow(cell, [](const Rgba& p) { return Luminance(p) > 200; });
  const double mouth = MeanRow(cell, [](const Rgba& p) { return p.r > p.g + 30; });
  EXPECT_GT(eyes, 4);
  EXPECT_LT(eyes, 11);
  EXPECT_GT(mouth, 14);
}

// The hue of the number tiles' colour, in degrees, running from blue (about
// 230) down through green and yellow to red (about 0).
double TileHue(const Cell& cell) {
  double r = 0, g = 0, b = 0, count = 0;
  for (int y = 0; y < cell.height; ++y) {
    for (int x = 0; x < cell.width; ++x) {
      const Rgba& p = cell.At(x, y);
      const int high = std::max({p.r, p.g, p.b}), low = std::min({p.r, p.g, p.b});
      if (p.a < 255 || high - low < 60) continue;  // the grey numeral and outline
      r += p.r;
      g += p.g;
      b += p.b;
      ++count;
    }
  }
  const double hue = std::atan2(std::sqrt(3.0) * (g - b), 2 * r - g - b) * 180 / std::numbers::pi;
  return hue < -60 ? hue + 360 : hue;
}

TEST(SpriteTest, NumberTilesRunFromCoolToHot) {
  const Picture objects = Load("objects.png");
  ASSERT_EQ(objects.width, 120);
  double previous = 360;
  for (int n = 1; n <= 9; ++n) {
    const double hue = TileHue({objects, n, 24, 24});
    EXPECT_LT(hue, previous - 8) << "tile " << n;
    previous = hue;
  }
  EXPECT_GT(TileHue({objects, 1, 24, 24}), 200) << "1 is blue";
  EXPECT_LT(std::abs(TileHue({objects, 9, 24, 24})), 20) << "9 is red";
}

class IconTest : public testing::TestWithParam<int> {};

// Every size of the icon is a rounded tile on a transparent square, mostly
// the zorp's purple on the grass's green, with the zorp's eyes showing even
// at 16 pixels, in the head at the upper right.
TEST_P(IconTest, IsTheZorpOnARoundedTileOfGrass) {
  const int size = GetParam();
  const std::string name = "icons/zorp-" + std::to_string(size) + ".png";
  ExpectHeader(name, size, size, true);
  const Picture icon = Load(name.c_str());
  ASSERT_EQ(icon.width, size);
  for (const auto& [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
    EXPECT_LE(icon.At(x, y).a, 8) << name << " corner " << x << "," << y;
  EXPECT_EQ(icon.At(size / 2, size / 2).a, 255) << name;

  int opaque = 0, purple = 0, green = 0, white = 0;
  double whiteX = 0, whiteY = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Rgba& p = icon.At(x, y);
      if (p.a < 255) continue;
      ++opaque;
      purple += p.b > p.g + 40 && p.r > p.g + 20;
      green += p.g > p.r + 20 && p.g > p.b + 20;
      if (std::min({p.r, p.g, p.b}) >= 220) {
        ++white;
        whiteX += x + 0.5;
        whiteY += y + 0.5;
      }
    }
  }
  const int area = size * size;
  EXPECT_GE(opaque, area * 6 / 10) << name;
  EXPECT_GE(purple, area * 15 / 100) << name;
  EXPECT_GE(green, area * 10 / 100) << name;
  ASSERT_GE(white, 4) << name << " has no eyes";
  EXPECT_GT(whiteX / white, size / 2.0) << name;
  EXPECT_LT(whiteY / white, size / 2.0) << name;
}

INSTANTIATE_TEST_SUITE_P(Gfx, IconTest, testing::Values(16, 22, 24, 32, 48, 64, 128, 256));

// The Windows icon file holds the committed pictures themselves, each entry
// giving its size (256 as 0), 32 bits per pixel, and where its bytes are.
TEST(IconFileTest, HoldsTheIconPicturesForWindowsSmallestFirst) {
  const std::vector<uint8_t> ico = ReadFile(PathOf("icons/zorp.ico"));
  ASSERT_GE(ico.size(), 6u);
  const auto little = [&](size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | ico[at + size_t(i)];
    return value;
  };
  EXPECT_EQ(little(0, 2), 0u);
  EXPECT_EQ(little(2, 2), 1u) << "an icon";
  const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
  ASSERT_EQ(little(4, 2), std::size(sizes));
  ASSERT_GE(ico.size(), 6 + 16 * std::size(sizes));
  for (size_t i = 0; i < std::size(sizes); ++i) {
    const size_t entry = 6 + 16 * i;
    const int size = sizes[i];
    EXPECT_EQ(ico[entry], size & 0xFF) << size;
    EXPECT_EQ(ico[entry + 1], size & 0xFF) << size;
    EXPECT_EQ(little(entry + 6, 2), 32u) << size;
    const uint32_t length = little(entry + 8, 4), offset = little(entry + 12, 4);
    ASSERT_LE(size_t(offset) + length, ico.size()) << size;
    const std::vector<uint8_t> png =
        ReadFile(PathOf(("icons/zorp-" + std::to_string(size) + ".png").c_str()));
    EXPECT_TRUE(
        std::equal(png.begin(), png.end(), ico.begin() + offset, ico.begin() + offset + length))
        << size;
    EXPECT_EQ(png.size(), length) << size;
  }
}

}  // namespace
