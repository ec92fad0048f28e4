// The picture generator against the real FreeType, DejaVu fonts and libpng.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "pixmap/png.h"
#include "stream/stream_factory.h"
#include "tests/support/temp_dir.h"
#include "tools/makeart/canvas.h"
#include "tools/makeart/glyph_metrics.h"
#include "tools/makeart/lettering.h"
#include "tools/makeart/noise.h"
#include "tools/makeart/path.h"
#include "tools/makeart/pictures.h"

namespace {

const char* const NAMES[] = {"grass.png",    "zorp.png",     "bground.png", "face.png",
                             "digits.png",   "objects.png",  "logo.png",    "font.png",
                             "logo_sml.png", "logo_lge.png", "ready.png",   "game_over.png",
                             "title.png",    "presents.png"};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int RunMakeArt(const std::string& arguments) {
  const int status = std::system(
      (std::string("\"") + MAKEART_PROGRAM + "\" " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Sum(const std::vector<float>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0);
}

TEST(MakeArtTest, ProgramPaintsTheCommittedPicturesByteForByte) {
  TempDir dir;
  ASSERT_EQ(RunMakeArt("--sheet \"" + (dir / "sheet.png") + "\" \"" + dir.path() + "\""), 0);
  std::vector<std::string> names(std::begin(NAMES), std::end(NAMES));
  for (int size : ICON_SIZES) names.push_back("icons/zorp-" + std::to_string(size) + ".png");
  names.push_back("icons/zorp.ico");
  for (const std::string& name : names) {
    const std::vector<uint8_t> made = ReadFile(dir / name);
    EXPECT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == ReadFile(std::string(ZORP_GFX_DIR) + "/" + name))
        << name << " differs from what makeart paints now; run makeart gfx";
  }
  StartPNG();
  const Ref<TPixmap> sheet = LoadPixmapPNG(OpenReadStream((dir / "sheet.png").c_str()));
  ASSERT_TRUE(sheet);
  // Two screens side by side and every picture above them.
  EXPECT_GE(sheet->Width(), 1600);
  EXPECT_GE(sheet->Height(), 1200);
}

TEST(MakeArtTest, ProgramWritesNothingOnBadArgumentsOrAMissingFont) {
  TempDir dir;
  EXPECT_EQ(RunMakeArt(""), 2);
  EXPECT_EQ(RunMakeArt("--unknown \"" + dir.path() + "\""), 2);
  EXPECT_EQ(RunMakeArt("\"" + dir.path() + "\" \"" + dir.path() + "\""), 2);
  EXPECT_EQ(RunMakeArt("--fonts \"" + (dir / "none") + "\" \"" + dir.path() + "\""), 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RasterTest, CoverageIsExactOnEdgesAndAreasAddUp) {
  Path square;
  square.AddPolygon({{2.5, 2.0}, {7.5, 2.0}, {7.5, 6.0}, {2.5, 6.0}});
  const std::vector<float> coverage = Rasterize(square, 10, 10);
  EXPECT_FLOAT_EQ(coverage[3 * 10 + 2], 0.5f);  // half of the column is inside
  EXPECT_FLOAT_EQ(coverage[3 * 10 + 5], 1.0f);
  EXPECT_FLOAT_EQ(coverage[3 * 10 + 7], 0.5f);
  EXPECT_FLOAT_EQ(coverage[6 * 10 + 5], 0.0f);
  EXPECT_NEAR(Sum(coverage), 20.0, 1e-4);

  Path disc;
  disc.AddCircle({16, 16}, 10);
  EXPECT_NEAR(Sum(Rasterize(disc, 32, 32)), std::numbers::pi * 100, 0.5);

  // Overlapping outlines turning the same way cover once; one turning the
  // other way cuts a hole.
  Path twice = square;
  twice.Append(square);
  EXPECT_NEAR(Sum(Rasterize(twice, 10, 10)), 20.0, 1e-4);
  Path ring;
  ring.AddPolygon({{0, 0}, {8, 0}, {8, 8}, {0, 8}});
  ring.AddPolygon({{2, 2}, {2, 6}, {6, 6}, {6, 2}});
  EXPECT_NEAR(Sum(Rasterize(ring, 10, 10)), 64.0 - 16.0, 1e-4);

  // Shapes reaching past the edges are clipped, not wrapped.
  Path wide;
  wide.AddPolygon({{-5, 1}, {15, 1}, {15, 2}, {-5, 2}});
  EXPECT_NEAR(Sum(Rasterize(wide, 10, 4)), 10.0, 1e-4);
}

TEST(RasterTest, StrokesAndTransformsKeepTheirMeasure) {
  const Path line = Stroke({{4, 10}, {24, 10}}, 2);
  EXPECT_NEAR(Sum(Rasterize(line, 32, 20)), 20 * 2 + std::numbers::pi, 0.2);
  Path box;
  box.AddRoundRect(0, 0, 4, 2, 0);
  const Affine move = Affine::Translate(10, 5).After(Affine::Rotate(90)).After(Affine::Scale(2, 2));
  const Bounds moved = box.Transformed(move).Extent();
  EXPECT_NEAR(moved.left, 6, 1e-9);
  EXPECT_NEAR(moved.right, 10, 1e-9);
  EXPECT_NEAR(moved.top, 5, 1e-9);
  EXPECT_NEAR(moved.bottom, 13, 1e-9);
  const Bounds fitted = FitTo(box, {20, 30, 40, 35}, true).Extent();
  EXPECT_NEAR(fitted.Width(), 10, 1e-9);
  EXPECT_NEAR(fitted.left, 25, 1e-9);
}

TEST(CanvasTest, TransparentEdgesTakeTheirNeighboursColour) {
  Image image(6, 1);
  image.Set(0, 0, {1, 0, 0, 1});
  image.Set(1, 0, {1, 0, 0, 0.5f});
  const Ref<TPixmap> rgba = image.ToPixmap(true);
  EXPECT_EQ(uint32_t(rgba->ReadPixel(0, 0)), 0xFFFF0000u);
  EXPECT_EQ(uint32_t(rgba->ReadPixel(1, 0)), 0x80FF0000u);
  EXPECT_EQ(uint32_t(rgba->ReadPixel(2, 0)), 0x00FF0000u);  // first ring
  EXPECT_EQ(uint32_t(rgba->ReadPixel(3, 0)), 0x00FF0000u);  // second ring
  EXPECT_EQ(uint32_t(rgba->ReadPixel(4, 0)), 0x00000000u);
  EXPECT_EQ(image.ToPixmap(false)->Format(), PIXFMT_RGB24);

  // Painting over: half green over opaque red.
  Image over(1, 1);
  over.Set(0, 0, {1, 0, 0, 1});
  Mask full(1, 1);
  full(0, 0) = 1;
  over.Paint(full, Colour{0, 1, 0, 0.5f});
  EXPECT_EQ(uint32_t(over.ToPixmap(true)->ReadPixel(0, 0)), 0xFF808000u);
}

TEST(CanvasTest, MasksGrowAndBlurWithoutLosingTheirPlace) {
  Mask dot(9, 9);
  dot(4, 4) = 1;
  const Mask grown = dot.Dilated(2);
  EXPECT_EQ(grown.At(5, 5), 1.0f);
  EXPECT_EQ(grown.At(6, 4), 0.5f);  // the soft rim
  EXPECT_EQ(grown.At(4, 2), 0.5f);
  EXPECT_EQ(grown.At(7, 4), 0.0f);
  EXPECT_EQ(grown.At(6, 6), 0.0f);  // round, not square
  const Mask soft = dot.Blurred(1);
  EXPECT_NEAR(soft.At(4, 4), 7.0 / 27 * 7.0 / 27, 1e-6);
  EXPECT_EQ(soft.At(3, 4), soft.At(5, 4));
  EXPECT_EQ(dot.Shifted(2, -1).At(6, 3), 1.0f);
}

TEST(NoiseTest, TileNoiseRepeatsWithItsPeriodAndRandomIsRepeatable) {
  for (double x : {0.25, 3.5, 7.75}) {
    for (double y : {0.5, 2.25}) {
      EXPECT_DOUBLE_EQ(TileNoise(x, y, 8, 3), TileNoise(x + 8, y - 16, 8, 3));
      EXPECT_DOUBLE_EQ(TileFractalNoise(x, y, 4, 3, 5), TileFractalNoise(x + 4, y + 4, 4, 3, 5));
    }
  }
  EXPECT_NE(TileNoise(0.5, 0.5, 8, 3), TileNoise(0.5, 0.5, 8, 4));
  Random a(7), b(7);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a.Next(), b.Next());
  for (int i = 0; i < 100; ++i) {
    const double value = a.Between(2, 3);
    EXPECT_GE(value, 2);
    EXPECT_LT(value, 3);
  }
}

TEST(LetteringTest, HintedCapitalsSitOnWholePixels) {
  const Typeface sans(std::string(ZORP_DEJAVU_DIR) + "/DejaVuSans-Bold.ttf");
  double advance = 0;
  const Bounds h = sans.Glyph('H', 22, true, &advance).Extent();
  EXPECT_DOUBLE_EQ(h.top, std::round(h.top));
  EXPECT_DOUBLE_EQ(h.bottom, 0);
  EXPECT_NEAR(h.Height(), 16, 1);
  EXPECT_GT(advance, h.Width());
  // Unhinted text scales with its size.
  const Bounds small = sans.Text("ZORP", 50).Extent(), large = sans.Text("ZORP", 100).Extent();
  EXPECT_NEAR(large.Width(), 2 * small.Width(), 1e-6);
  EXPECT_THROW(Typeface(std::string(ZORP_DEJAVU_DIR) + "/NoSuchFont.ttf"), std::runtime_error);
}

TEST(GlyphMetricsTest, AdvancesFollowTheGamesRule) {
  // A font sheet whose glyph 0 reaches column 5, glyph 1 only alpha 1 in
  // column 30, and the space cell holding a stray pixel.
  const Ref<TPixmap> font = TPixmap::Create(160, 192, PIXFMT_RGBA32);
  for (int y = 0; y < 192; ++y) {
    for (int x = 0; x < 160; ++x) font->WritePixel(x, y, 0x00FFFFFF);
  }
  font->WritePixel(5, 23, int(0xFFFFFFFF));
  font->WritePixel(32 + 30, 0, 0x01000000);
  font->WritePixel(2 * 32 + 4, 7 * 24 + 4, int(0xFFFFFFFF));  // glyph 37, the space
  const std::vector<int> advances = FontAdvances(*font);
  ASSERT_EQ(advances.size(), 40u);
  EXPECT_EQ(advances[0], 6);
  EXPECT_EQ(advances[1], 31);
  EXPECT_EQ(advances[2], 0);
  EXPECT_EQ(advances[37], 12);
  EXPECT_EQ(FontTextWidth(advances, "01"), 37);
  EXPECT_EQ(FontTextWidth(advances, "0a,"), 6 + 12 + 12);  // outside the alphabet: spaces

  const Ref<TPixmap> digits = TPixmap::Create(160, 64, PIXFMT_RGBA32);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 160; ++x) digits->WritePixel(x, y, 0);
  }
  digits->WritePixel(32 * 4 + 20, 31, 0x01000000);          // digit 4
  digits->WritePixel(32 * 2 + 9, 32 + 3, int(0xFF000000));  // digit 7
  const std::vector<int> digitAdvances = DigitAdvances(*digits);
  EXPECT_EQ(digitAdvances[4], 20);
  EXPECT_EQ(digitAdvances[7], 9);
  EXPECT_EQ(digitAdvances[0], 0);
  EXPECT_EQ(DigitsWidth(digitAdvances, "477"), 38);
}

TEST(GlyphMetricsTest, PaintedFontStopsTheScanAtItsSpacingPixel) {
  // The painted cells put their spacing pixel where the rule should stop.
  const std::vector<Picture> pictures = {{"font.png", MakeFont(Typefaces(ZORP_DEJAVU_DIR))}};
  const std::vector<int> advances = FontAdvances(*pictures[0].pixmap);
  for (int g = 0; g < FONT_GLYPH_COUNT; ++g) {
    if (g == FONT_SPACE_GLYPH) continue;
    const int column = advances[g] - 1;
    const int x = g % 5 * 32, y = g / 5 * 24;
    int strongest = 0;
    for (int row = 0; row < 24; ++row) {
      strongest = std::max(strongest,
                           int(uint32_t(pictures[0].pixmap->ReadPixel(x + column, y + row)) >> 24));
    }
    EXPECT_EQ(strongest, 1) << "glyph " << FONT_ALPHABET[g];
  }
}

}  // namespace
