// The committed 8 x 16 font bitmaps, read as the engine reads them: byte
// (row r, glyph g) at r * 96 + g, bit k the pixel in column k.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int GLYPHS = 96;
constexpr int ROWS = 16;
constexpr int FIRST_CODE = 32;

using Glyph = std::array<uint8_t, ROWS>;

std::vector<uint8_t> ReadFont(const std::string& name) {
  std::ifstream file(std::string(ZORP_FONTS_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class FontFileTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    bytes_ = ReadFont(GetParam());
    ASSERT_EQ(bytes_.size(), size_t(GLYPHS * ROWS)) << GetParam();
  }

  Glyph At(int code) const {
    Glyph rows{};
    for (int r = 0; r < ROWS; ++r) rows[r] = bytes_[r * GLYPHS + code - FIRST_CODE];
    return rows;
  }
  // The first and last rows with ink; -1 for an empty glyph.
  int Top(int code) const {
    const Glyph rows = At(code);
    for (int r = 0; r < ROWS; ++r) {
      if (rows[r]) return r;
    }
    return -1;
  }
  int Bottom(int code) const {
    const Glyph rows = At(code);
    for (int r = ROWS - 1; r >= 0; --r) {
      if (rows[r]) return r;
    }
    return -1;
  }
  int PixelsApart(int a, int b) const {
    int count = 0;
    for (int r = 0; r < ROWS; ++r) count += std::popcount(uint8_t(At(a)[r] ^ At(b)[r]));
    return count;
  }

  std::vector<uint8_t> bytes_;
};

TEST_P(FontFileTest, SpaceIsEmptyAndEveryOtherGlyphIsInked) {
  EXPECT_EQ(At(' '), Glyph{});
  for (int code = '!'; code <= 127; ++code) EXPECT_NE(At(code), Glyph{}) << "code " << code;
}

TEST_P(FontFileTest, GlyphsLeaveGapsToNeighboursAndOtherLines) {
  for (int code = FIRST_CODE; code < FIRST_CODE + GLYPHS; ++code) {
    const Glyph rows = At(code);
    EXPECT_EQ(rows[0], 0) << "code " << code << " inks the top row";
    EXPECT_EQ(rows[ROWS - 1], 0) << "code " << code << " inks the bottom row";
    if (code == '_') continue;
    for (int r = 0; r < ROWS; ++r) EXPECT_EQ(rows[r] & 1, 0) << "code " << code << " row " << r;
  }
  // Underscores join into one line.
  EXPECT_EQ(At('_')[Bottom('_')], 0xFF);
}

TEST_P(FontFileTest, LookAlikesDiffer) {
  // More than a stray pixel apart, so that they tell apart at a glance.
  const std::pair<char, char> pairs[] = {{'O', '0'}, {'o', '0'}, {'l', '1'}, {'l', 'I'},
                                         {'1', 'I'}, {'|', 'l'}, {'|', '!'}, {'S', '5'},
                                         {'B', '8'}, {'Z', '2'}, {'g', '9'}, {'m', 'n'},
                                         {'w', 'v'}, {'M', 'N'}, {'W', 'V'}, {'(', '['}};
  for (auto [a, b] : pairs) EXPECT_GE(PixelsApart(a, b), 3) << a << " and " << b;
  for (int a = FIRST_CODE; a < FIRST_CODE + GLYPHS; ++a) {
    for (int b = a + 1; b < FIRST_CODE + GLYPHS; ++b) {
      EXPECT_NE(At(a), At(b)) << "codes " << a << " and " << b << " are the same glyph";
    }
  }
}

TEST_P(FontFileTest, LettersShareOneBaselineWithDescendersBelowIt) {
  const int capitalTop = Top('H');
  const int baseline = Bottom('H');
  for (int code = 'A'; code <= 'Z'; ++code) {
    EXPECT_EQ(Top(code), capitalTop) << char(code);
    // The tail of Q hangs below the baseline.
    if (code != 'Q') {
      EXPECT_EQ(Bottom(code), baseline) << char(code);
    }
  }
  for (char code : std::string("0123456789abcdefhiklmnorstuvwxz")) {
    EXPECT_EQ(Bottom(code), baseline) << code;
  }
  for (char code : std::string("gjpqy")) EXPECT_GE(Bottom(code), baseline + 2) << code;
  for (char code : std::string("bdhkl")) EXPECT_LE(Top(code), capitalTop) << code;
  for (char code : std::string("acemnorsuvwxz")) EXPECT_GE(Top(code), capitalTop + 2) << code;
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, FontFileTest, testing::Values("kestrafont.bin", "gldrawtextfont.bin"),
    [](const testing::TestParamInfo<const char*>& info) {
      return std::string(info.param).substr(0, std::string(info.param).find('.'));
    });

}  // namespace
