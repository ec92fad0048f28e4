#include "game/random.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <map>
#include <vector>

TEST(Random, StepsFollowTheMinimalStandardSequence) {
  SeedRandom(1);
  RandomFloat();
  EXPECT_EQ(RandomSeed(), 48271);

  SeedRandom(4660);
  RandomFloat();
  EXPECT_EQ(RandomSeed(), 224942860);

  // The step of the largest state stays in range (Schrage keeps 32 bits).
  SeedRandom(2147483646);
  RandomFloat();
  EXPECT_EQ(RandomSeed(), static_cast<int>(2147483646LL * 48271 % 2147483647));
}

TEST(Random, SeedsThatWouldStallGiveTheDefaultState) {
  for (int seed : {0, -1, static_cast<int>(0x80000000u), 0x7FFFFFFF}) {
    SeedRandom(seed);
    EXPECT_EQ(RandomSeed(), 4660) << seed;
  }
  SeedRandom(static_cast<int>(0x80000005u));  // only the top bit is cleared
  EXPECT_EQ(RandomSeed(), 5);
}

TEST(Random, FloatAndDoubleUseTheDescribedBits) {
  SeedRandom(4660);
  EXPECT_FLOAT_EQ(RandomFloat(), static_cast<float>(224942860 & 0x0FFFFFF0) / 268435456.0f);

  SeedRandom(1);
  const double d = RandomDouble();
  const long long s1 = 48271, s2 = s1 * 48271 % 2147483647;
  EXPECT_DOUBLE_EQ(d, ((s1 & 0x1FFFFFFC) + (s2 & 0x1FFFFFF8) / 134217728.0) / 536870912.0);

  // Over many draws both stay in [0, 1).
  for (int i = 0; i < 100000; ++i) {
    const float f = RandomFloat();
    const double g = RandomDouble();
    ASSERT_TRUE(f >= 0 && f < 1 && g >= 0 && g < 1);
  }
}

TEST(Random, IntegersCoverTheBoundsInEitherOrderEvenly) {
  SeedRandom(12345);
  for (auto [a, b] : std::vector<std::pair<int, int>>{{6, 9}, {10, 1}, {-5, -1}, {-3, 3}}) {
    std::map<int, int> counts;
    const int draws = 40000;
    for (int i = 0; i < draws; ++i) counts[RandomInt(a, b)]++;
    const int lo = std::min(a, b), hi = std::max(a, b);
    ASSERT_EQ(counts.begin()->first, lo) << a << ".." << b;
    ASSERT_EQ(counts.rbegin()->first, hi) << a << ".." << b;
    ASSERT_EQ(static_cast<int>(counts.size()), hi - lo + 1);
    const double expected = static_cast<double>(draws) / (hi - lo + 1);
    for (auto [value, count] : counts) EXPECT_NEAR(count, expected, expected * 0.1) << value;
  }
  for (int i = 0; i < 100; ++i) ASSERT_EQ(RandomInt(7, 7), 7);
}

TEST(Random, IntegersOverTheWholeIntRangeSpreadAcrossIt) {
  // Worked out by hand: the first two steps from 1 are 48271 and
  // 182605794, which make the double 8.9909e-5, 386154.9 above INT_MIN.
  SeedRandom(1);
  EXPECT_EQ(RandomInt(INT_MIN, INT_MAX), -2147097494);
  SeedRandom(1);
  EXPECT_EQ(RandomInt(INT_MAX, INT_MIN), -2147097494);

  // Both signs, and every quarter of the range about as often.
  SeedRandom(2024);
  std::array<int, 4> quarters{};
  for (int i = 0; i < 4000; ++i) {
    const long long v = RandomInt(INT_MIN, INT_MAX);
    ++quarters[static_cast<size_t>((v - INT_MIN) >> 30)];
  }
  for (int q : quarters) EXPECT_NEAR(q, 1000, 150);
}

TEST(Random, BetweenTakesBoundsInEitherOrder) {
  SeedRandom(99);
  for (int i = 0; i < 10000; ++i) {
    const double x = RandomBetween(2.5, -1.0);
    ASSERT_TRUE(x >= -1.0 && x < 2.5) << x;
  }
}

TEST(Random, TheSameSeedRepeatsTheSequence) {
  auto draw = [] {
    std::vector<double> values;
    for (int i = 0; i < 50; ++i) {
      values.push_back(RandomFloat());
      values.push_back(RandomDouble());
      values.push_back(RandomInt(0, 1000));
      values.push_back(RandomBetween(0, 5));
    }
    return values;
  };
  SeedRandom(777);
  const auto first = draw();
  SeedRandom(777);
  EXPECT_EQ(draw(), first);
}
