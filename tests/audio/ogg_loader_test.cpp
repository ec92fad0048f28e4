#include "audio/ogg_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "audio/sample_loader.h"
#include "audio/wav_loader.h"
#include "tests/audio/audio_test_files.h"

// libvorbisenc 1.3.7 keeps a block of its six-channel setup when the
// encoder is cleared; that leak is the library's, not the loader's.
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_encode_setup_init\n"; }

namespace {

// Loaders join the chain for good, so a test's own one lives as long.
TOggSampleLoader& OggLoader() {
  static TOggSampleLoader loader;
  return loader;
}

constexpr float AMPLITUDE = 0.5f;

float Sine(double hertz, int rate, int frame) {
  return AMPLITUDE * static_cast<float>(std::sin(2 * std::numbers::pi * hertz * frame / rate));
}

// White noise in -0.4..0.4, the same for the same frame.
float Noise(int frame) {
  uint32_t x = static_cast<uint32_t>(frame) * 2654435761u;
  x = (x ^ x >> 15) * 2246822519u;
  x ^= x >> 13;
  return 0.8f * (static_cast<float>(x) / 4294967296.0f - 0.5f);
}

// How closely a decoded channel follows the wave, as a correlation 0..1, and
// its level relative to full scale.
struct Match {
  double correlation, rms;
};
Match Compare(const Ref<TAudioSample>& s, int channel, int frames,
              const std::function<float(int, int)>& wave) {
  double xy = 0, xx = 0, yy = 0;
  for (int i = 0; i < frames; ++i) {
    const double x = FrameValue(s, i, channel) / 32768.0, y = wave(channel, i);
    xy += x * y;
    xx += x * x;
    yy += y * y;
  }
  return {xy / std::sqrt(xx * yy + 1e-12), std::sqrt(xx / frames)};
}

class AudioOggTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWavLoader();
    StartOggLoader();
  }
};

TEST_F(AudioOggTest, MonoAndStereoDecode) {
  const auto mono = [](int, int i) { return Sine(440, 22050, i); };
  Bytes file = EncodeOgg(1, 22050, 11025, mono);
  Ref<TAudioSample> s = LoadSample(StreamOf(file));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->format, SF_MONO16LE);
  EXPECT_EQ(s->hertz, 22050);
  EXPECT_EQ(s->length, 11025);
  const Match m = Compare(s, 0, s->length, mono);
  EXPECT_GT(m.correlation, 0.95);
  EXPECT_NEAR(m.rms, AMPLITUDE / std::sqrt(2.0), 0.05);

  // A different tone on each side keeps the channels apart.
  const auto stereo = [](int c, int i) { return c ? Sine(1000, 44100, i) : Sine(300, 44100, i); };
  file = EncodeOgg(2, 44100, 30000, stereo);
  s = LoadSample(StreamOf(file));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->format, SF_STEREO16LE);
  EXPECT_EQ(s->hertz, 44100);
  EXPECT_EQ(s->length, 30000);
  EXPECT_GT(Compare(s, 0, s->length, stereo).correlation, 0.95);
  EXPECT_GT(Compare(s, 1, s->length, stereo).correlation, 0.95);
  const auto swapped = [&](int c, int i) { return stereo(1 - c, i); };
  EXPECT_LT(std::abs(Compare(s, 0, s->length, swapped).correlation), 0.2);
}

// Files with their own serial numbers joined end to end make one chained
// file. It loads as its first stream that has audio, whatever the sizes,
// rates and channels of the streams; vorbisfile on its own starts in the
// second stream when the first fits on one page.
TEST_F(AudioOggTest, ChainedFilesLoadTheirFirstStreamWithAudio) {
  struct Link {
    int channels, rate, frames;
    double hertz;
  };
  struct Layout {
    const char* name;
    std::vector<Link> links;
    size_t loads;
  };
  const Layout layouts[] = {
      {"one-page first, long second", {{1, 8000, 100, 440}, {1, 8000, 20000, 1000}}, 0},
      {"long first, one-page second", {{1, 8000, 20000, 440}, {1, 8000, 100, 1000}}, 0},
      {"three one-page streams",
       {{1, 8000, 100, 440}, {1, 8000, 200, 1000}, {1, 8000, 300, 700}},
       0},
      {"mono 8 kHz, then stereo 44.1 kHz", {{1, 8000, 300, 440}, {2, 44100, 20000, 1000}}, 0},
      {"stereo 44.1 kHz, then mono 8 kHz", {{2, 44100, 20000, 440}, {1, 8000, 100, 1000}}, 0},
      {"empty first, long second", {{1, 8000, 0, 440}, {2, 22050, 20000, 1000}}, 1},
      {"empty first, one-page second", {{1, 8000, 0, 440}, {1, 11025, 100, 1000}}, 1},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    const auto waveOf = [](const Link& link) {
      return [link](int c, int i) { return Sine(link.hertz * (1 + c), link.rate, i); };
    };
    Bytes file;
    int serial = 1;
    for (const Link& link : layout.links) {
      const Bytes part =
          EncodeOgg(link.channels, link.rate, link.frames, waveOf(link), 0, serial++);
      file.insert(file.end(), part.begin(), part.end());
    }
    const Link& expected = layout.links[layout.loads];
    Ref<TAudioSample> s = LoadSample(StreamOf(file));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->length, expected.frames);
    EXPECT_EQ(s->hertz, expected.rate);
    EXPECT_EQ(s->format, expected.channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
    for (int c = 0; c < expected.channels; ++c) {
      EXPECT_GT(Compare(s, c, s->length, waveOf(expected)).correlation, 0.9) << c;
    }
  }

  // The first stream's six channels refuse the file; a later stream never
  // stands in for it.
  Bytes six = EncodeOgg(
      6, 8000, 100, [](int, int i) { return Noise(i); }, 0, 1);
  const Bytes mono = EncodeOgg(
      1, 8000, 100, [](int, int i) { return Noise(i); }, 0, 2);
  six.insert(six.end(), mono.begin(), mono.end());
  EXPECT_FALSE(OggLoader().LoadSample(StreamOf(six)));
}

TEST_F(AudioOggTest, RefusesWhatItCannotHold) {
  // Six channels would not fit a stereo sample.
  Bytes six = EncodeOgg(6, 44100, 4410, [](int c, int i) { return Sine(200 + 100 * c, 44100, i); });
  ASSERT_FALSE(six.empty());
  EXPECT_FALSE(OggLoader().LoadSample(StreamOf(six)));
  EXPECT_FALSE(LoadSample(StreamOf(six)));

  // Cut short or corrupt: refused (or, for a cut that keeps whole pages,
  // shorter), never a crash.
  Bytes file = EncodeOgg(1, 8000, 8000, [](int, int i) { return Sine(440, 8000, i); });
  for (size_t keep : {size_t{0}, size_t{4}, size_t{60}, file.size() / 2}) {
    Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
    Ref<TAudioSample> s = OggLoader().LoadSample(StreamOf(cut));
    if (s) {
      EXPECT_LE(s->length, 8000) << keep;
    }
  }
  Bytes wav = WavWriter().Header().Format(1, 8, 8000).Chunk("data", {1, 2}).bytes;
  EXPECT_FALSE(OggLoader().LoadSample(StreamOf(wav)));
}

TEST_F(AudioOggTest, LengthClaimedByTheLastPage) {
  // Noise fills more than one page, so that only the last granule position
  // changes the length (on a single page it would move the start instead).
  const auto wave = [](int, int i) { return Noise(i); };
  constexpr int FRAMES = 16000;
  // A longer claim than the data holds: the decoded frames, then silence.
  Bytes file = EncodeOgg(1, 8000, FRAMES, wave, 5000);
  Ref<TAudioSample> s = OggLoader().LoadSample(StreamOf(file));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->length, FRAMES + 5000);
  EXPECT_GT(Compare(s, 0, FRAMES, wave).rms, 0.1);
  // Past the last block the encoder flushed, nothing but zeros.
  int nonzero = 0;
  for (int i = FRAMES + 2048; i < s->length; ++i) nonzero += FrameValue(s, i, 0) != 0;
  EXPECT_EQ(nonzero, 0);
  // A shorter claim cuts the sample.
  file = EncodeOgg(1, 8000, FRAMES, wave, -1000);
  s = OggLoader().LoadSample(StreamOf(file));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->length, FRAMES - 1000);

  // Claims that no packets of this file could decode to, up to ones that
  // overflow a byte count, are refused without allocating them (200 MB
  // would still be within the memory limit).
  for (int64_t shift : {int64_t{100'000'000}, int64_t{1} << 40, int64_t{1} << 61}) {
    file = EncodeOgg(1, 8000, FRAMES, wave, shift);
    EXPECT_FALSE(OggLoader().LoadSample(StreamOf(file))) << shift;
  }
}

TEST_F(AudioOggTest, RefusesMoreThan512MiB) {
  // Noise keeps the file large, so that its claim of one frame more than
  // 512 MiB holds is plausible and only the memory limit refuses it.
  const auto wave = [](int c, int i) { return Noise(2 * i + c); };
  constexpr int FRAMES = 88200;
  constexpr int64_t OVER = (int64_t{512} << 20) / 4 + 1;
  Bytes file = EncodeOgg(2, 44100, FRAMES, wave, OVER - FRAMES);
  ASSERT_GT(int64_t{static_cast<int64_t>(file.size())} * 4096, OVER);
  EXPECT_FALSE(OggLoader().LoadSample(StreamOf(file)));
}

}  // namespace
