// The committed sound effects and music, loaded through the engine's
// loaders as the game loads them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/ogg_loader.h"
#include "audio/sample_loader.h"
#include "audio/wav_loader.h"

namespace {

// -1 dBFS.
constexpr double PEAK_LIMIT = 0.891;

std::string SourcePath(const std::string& name) {
  return std::string(ZORP_SOURCE_DIR) + "/" + name;
}

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream file(SourcePath(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Ref<TAudioSample> Load(const std::string& name) {
  StartWavLoader();
  StartOggLoader();
  return LoadSample(SourcePath(name).c_str());
}

uint32_t LittleEndian(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

// Samples of an 8-bit effect around silence, -128 .. 127.
std::vector<int> Centred(const Ref<TAudioSample>& sample) {
  std::vector<int> values(sample->samples, sample->samples + sample->length);
  for (int& v : values) v -= 128;
  return values;
}

// How often the signal crosses zero between from and to, with a little
// hysteresis so that the rounding noise of quiet stretches does not count.
int Crossings(const std::vector<int>& v, size_t from, size_t to) {
  int count = 0, sign = 0;
  for (size_t i = from; i < to; ++i) {
    const int s = v[i] >= 2 ? 1 : v[i] <= -2 ? -1 : 0;
    if (s != 0 && s != sign) {
      count += sign != 0;
      sign = s;
    }
  }
  return count;
}

struct EffectFile {
  const char* name;
  int rate;
  double seconds;
  int pitch;  // +1 rises, -1 falls
};

class EffectFileTest : public testing::TestWithParam<EffectFile> {};

TEST_P(EffectFileTest, IsEightBitMonoPcmAtItsRateAndLength) {
  const EffectFile& effect = GetParam();
  const std::vector<uint8_t> bytes = ReadFile(effect.name);
  ASSERT_GE(bytes.size(), 44u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(LittleEndian(bytes, 20, 2), 1u) << "PCM";
  EXPECT_EQ(LittleEndian(bytes, 22, 2), 1u) << "mono";
  EXPECT_EQ(LittleEndian(bytes, 24, 4), static_cast<uint32_t>(effect.rate));
  EXPECT_EQ(LittleEndian(bytes, 34, 2), 8u) << "bits";
  EXPECT_EQ(LittleEndian(bytes, 4, 4), bytes.size() - 8) << "RIFF size";

  const Ref<TAudioSample> sample = Load(effect.name);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->format, SF_MONO8);
  EXPECT_EQ(sample->hertz, effect.rate);
  EXPECT_NEAR(sample->length, effect.seconds * effect.rate, 0.1 * effect.seconds * effect.rate);
}

TEST_P(EffectFileTest, StartsAndEndsInSilenceAndNeverClips) {
  const EffectFile& effect = GetParam();
  const Ref<TAudioSample> sample = Load(effect.name);
  ASSERT_TRUE(sample);
  const std::vector<int> v = Centred(sample);
  EXPECT_LE(std::abs(v.front()), 1);
  EXPECT_LE(std::abs(v.back()), 1);
  // Fades, not steps: the first and last millisecond stay low.
  const size_t edge = static_cast<size_t>(effect.rate / 1000);
  for (size_t i = 0; i < edge; ++i) {
    EXPECT_LE(std::abs(v[i]), 40) << "frame " << i;
    EXPECT_LE(std::abs(v[v.size() - 1 - i]), 40) << "frame from the end " << i;
  }
  int peak = 0;
  for (int s : v) peak = std::max(peak, std::abs(s));
  EXPECT_LT(peak, PEAK_LIMIT * 128);
  EXPECT_GT(peak, 64) << "louder than -6 dBFS, to be heard over the music";
}

TEST_P(EffectFileTest, PitchMovesTheRightWay) {
  const EffectFile& effect = GetParam();
  const Ref<TAudioSample> sample = Load(effect.name);
  ASSERT_TRUE(sample);
  const std::vector<int> v = Centred(sample);
  // The first two fifths against the next two; the fading tail is left out.
  const size_t fifth = v.size() / 5;
  const int early = Crossings(v, 0, 2 * fifth);
  const int late = Crossings(v, 2 * fifth, 4 * fifth);
  if (effect.pitch > 0) {
    EXPECT_GT(late, early * 1.2);
  } else {
    EXPECT_LT(late * 1.2, early);
  }
}

INSTANTIATE_TEST_SUITE_P(Effects, EffectFileTest,
                         testing::Values(EffectFile{"sfx/bonus.wav", 8000, 0.8, +1},
                                         EffectFile{"sfx/death.wav", 8000, 0.3, -1},
                                         EffectFile{"sfx/number.wav", 11025, 0.13, +1}),
                         [](const testing::TestParamInfo<EffectFile>& info) {
                           const std::string name = info.param.name;
                           return name.substr(4, name.find('.') - 4);
                         });

constexpr const char* MUSIC = "music/son.ogg";

// The decoded music, loaded once for all the tests.
class MusicFileTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { music_ = new Ref<TAudioSample>(Load(MUSIC)); }
  static void TearDownTestSuite() {
    delete music_;
    music_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(*music_) << MUSIC << " does not load"; }

  static const TAudioSample& Music() { return **music_; }
  static int Frames() { return Music().length; }
  // Channel c of frame i in -1 .. 1.
  static double At(int i, int c) {
    const uint8_t* p = Music().samples + (static_cast<size_t>(i) * 2 + c) * 2;
    return static_cast<int16_t>(p[0] | p[1] << 8) / 32768.0;
  }
  static double Rms(int from, int to) {
    double sum = 0;
    for (int i = from; i < to; ++i) sum += At(i, 0) * At(i, 0) + At(i, 1) * At(i, 1);
    return std::sqrt(sum / (2.0 * (to - from)));
  }

  static Ref<TAudioSample>* music_;
};

Ref<TAudioSample>* MusicFileTest::music_ = nullptr;

TEST_F(MusicFileTest, IsStereo44100HzOfTwoAndAHalfToThreeMinutesInAboutThreeMegabytes) {
  EXPECT_EQ(Music().format, SF_STEREO16LE);
  EXPECT_EQ(Music().hertz, 44100);
  EXPECT_GE(Frames(), 150 * 44100);
  EXPECT_LE(Frames(), 180 * 44100);
  // The loop is whole bars of 4 beats at 140 a minute (75600 frames): the
  // file ends exactly where the music turns back, with no padding.
  EXPECT_EQ(Frames() % 75600, 0);
  const auto size = std::filesystem::file_size(SourcePath(MUSIC));
  EXPECT_GE(size, 2'500'000u);
  EXPECT_LE(size, 3'000'000u);
}

TEST_F(MusicFileTest, PeaksStayBelowMinusOneDbfs) {
  double peak = 0;
  for (int i = 0; i < Frames(); ++i)
    peak = std::max({peak, std::abs(At(i, 0)), std::abs(At(i, 1))});
  EXPECT_LT(peak, PEAK_LIMIT);
  EXPECT_GT(peak, 0.5) << "the music should use most of the range";
}

TEST_F(MusicFileTest, LoopJoinsWithoutAStep) {
  // The step from the last frame to the first, against the ordinary steps
  // within a tenth of a second of the join on either side.
  const int window = 4410;
  std::vector<double> steps;
  double join = 0;
  for (int c = 0; c < 2; ++c) {
    join = std::max(join, std::abs(At(0, c) - At(Frames() - 1, c)));
    for (int i = 0; i + 1 < window; ++i) {
      steps.push_back(std::abs(At(i + 1, c) - At(i, c)));
      steps.push_back(std::abs(At(Frames() - 1 - i, c) - At(Frames() - 2 - i, c)));
    }
  }
  std::sort(steps.begin(), steps.end());
  EXPECT_LE(join, steps[steps.size() * 99 / 100]);
  // And the level carries on across it.
  const double before = Rms(Frames() - window, Frames());
  const double after = Rms(0, window);
  EXPECT_LT(std::abs(20 * std::log10(after / before)), 6.0);
}

TEST_F(MusicFileTest, PlaysThroughoutAtAnEvenLevel) {
  // Five-second stretches: no gap of silence, none much louder than the rest.
  const int stretch = 5 * 44100;
  for (int from = 0; from + stretch <= Frames(); from += stretch) {
    const double db = 20 * std::log10(Rms(from, from + stretch));
    EXPECT_GT(db, -32) << "at " << from / 44100 << " s";
    EXPECT_LT(db, -12) << "at " << from / 44100 << " s";
  }
}

TEST_F(MusicFileTest, IsWideStereoThatStaysInPhase) {
  double mid = 0, side = 0, product = 0;
  for (int i = 0; i < Frames(); ++i) {
    const double l = At(i, 0), r = At(i, 1);
    mid += (l + r) * (l + r);
    side += (l - r) * (l - r);
    product += l * r;
  }
  const double sideDb = 10 * std::log10(side / mid);
  EXPECT_GT(sideDb, -25) << "hardly any stereo";
  EXPECT_LT(sideDb, -5) << "too wide: it would thin out in mono";
  EXPECT_GT(product, 0);
}

}  // namespace
