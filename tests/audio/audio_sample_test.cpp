#include "audio/audio_sample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/runtime_error.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Convert(const Bytes& src, int from, int to) {
  const int frames = static_cast<int>(src.size()) / SampleFormatBytes(from);
  Bytes dst(static_cast<size_t>(frames * SampleFormatBytes(to)), 0xEE);
  ConvertSampleData(src.data(), from, dst.data(), to, frames);
  return dst;
}

int16_t Le16(const Bytes& b, size_t at) { return static_cast<int16_t>(b[at] | b[at + 1] << 8); }
int16_t Be16(const Bytes& b, size_t at) { return static_cast<int16_t>(b[at] << 8 | b[at + 1]); }

TEST(AudioSampleTest, FormatTable) {
  const int bytes[] = {0, 1, 2, 2, 2, 4, 4};
  const int channels[] = {0, 1, 1, 1, 2, 2, 2};
  const int bits[] = {0, 8, 16, 16, 8, 16, 16};
  for (int f = 0; f <= 6; ++f) {
    EXPECT_EQ(BytesPerSample[f], bytes[f]);
    EXPECT_EQ(SampleFormatBytes(f), bytes[f]);
    EXPECT_EQ(SampleFormatChannels(f), channels[f]);
    EXPECT_EQ(SampleFormatBits(f), bits[f]);
  }
  EXPECT_EQ(SampleFormatBytes(7), 0);
  EXPECT_EQ(SampleFormatBytes(-1), 0);
}

// One value that every format holds exactly: 8-bit 200 is 200 * 257 - 32768 =
// 18632 = 0x48C8 in 16 bits. Every pair of formats must carry it unchanged,
// through the pivot or through the temporary two-step buffer.
TEST(AudioSampleTest, EveryFormatPairCarriesTheSameFrames) {
  const Bytes frames[7] = {
      {},
      {200, 200},
      {0xC8, 0x48, 0xC8, 0x48},
      {0x48, 0xC8, 0x48, 0xC8},
      {200, 200, 200, 200},
      {0xC8, 0x48, 0xC8, 0x48, 0xC8, 0x48, 0xC8, 0x48},
      {0x48, 0xC8, 0x48, 0xC8, 0x48, 0xC8, 0x48, 0xC8},
  };
  for (int from = 1; from <= 6; ++from) {
    for (int to = 1; to <= 6; ++to) {
      EXPECT_EQ(Convert(frames[from], from, to), frames[to]) << from << " to " << to;
    }
  }
}

TEST(AudioSampleTest, EightBitScaleAndListedValues) {
  // 0, 128 and 255 become -32768, 128 and 32767.
  const Bytes wide = Convert({0, 128, 255}, SF_MONO8, SF_STEREO16BE);
  EXPECT_EQ(Be16(wide, 0), -32768);
  EXPECT_EQ(Be16(wide, 2), -32768);
  EXPECT_EQ(Be16(wide, 4), 128);
  EXPECT_EQ(Be16(wide, 8), 32767);
  EXPECT_EQ(Be16(wide, 10), 32767);

  EXPECT_EQ(Convert({128}, SF_MONO8, SF_MONO16LE), (Bytes{0x80, 0x00}));
  EXPECT_EQ(Convert({0x80, 0x00}, SF_MONO16LE, SF_MONO8), Bytes{128});

  // Left 1000, right -1000 averages to 0.
  EXPECT_EQ(Convert({0xE8, 0x03, 0x18, 0xFC}, SF_STEREO16LE, SF_MONO16BE), (Bytes{0, 0}));
  // Left 1, right 0: (0 + 32768) / 257 = 127.
  EXPECT_EQ(Convert({1, 0, 0, 0}, SF_STEREO16LE, SF_MONO8), Bytes{127});

  // Stereo 8-bit keeps the channels apart.
  const Bytes split = Convert({0, 255}, SF_STEREO8, SF_STEREO16LE);
  EXPECT_EQ(Le16(split, 0), -32768);
  EXPECT_EQ(Le16(split, 2), 32767);
  EXPECT_EQ(Convert(split, SF_STEREO16LE, SF_STEREO8), (Bytes{0, 255}));
}

TEST(AudioSampleTest, MonoOutputIsTheAverageTruncatedTowardZero) {
  // Frames (1000, 3001), (-3, 0) and (-32768, 32767) in STEREO16BE.
  const Bytes pivot = {0x03, 0xE8, 0x0B, 0xB9, 0xFF, 0xFD, 0x00, 0x00, 0x80, 0x00, 0x7F, 0xFF};
  const Bytes le = Convert(pivot, SF_STEREO16BE, SF_MONO16LE);
  EXPECT_EQ(Le16(le, 0), 2000);
  EXPECT_EQ(Le16(le, 2), -1);
  EXPECT_EQ(Le16(le, 4), 0);
  const Bytes be = Convert(pivot, SF_STEREO16BE, SF_MONO16BE);
  EXPECT_EQ(Be16(be, 0), 2000);
  EXPECT_EQ(Be16(be, 2), -1);
  // Through the two-step path as well: one channel loud, the other silent.
  EXPECT_EQ(Convert({255, 128}, SF_STEREO8, SF_MONO8), Bytes{191});
  EXPECT_EQ(Convert({0, 0, 0, 0x80}, SF_STEREO16LE, SF_MONO8), Bytes{63});
}

TEST(AudioSampleTest, UnknownFormatsAreRefused) {
  Bytes src(8), dst(8);
  for (const auto& [from, to] : {std::pair{0, 2}, {2, 0}, {7, 6}, {6, 7}, {-1, 1}}) {
    try {
      ConvertSampleData(src.data(), from, dst.data(), to, 1);
      ADD_FAILURE() << from << " to " << to;
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), "Unimplemented sample format conversion");
    }
  }
  // Equal codes copy bytes per frame: nothing for a code without a format.
  EXPECT_NO_THROW(ConvertSampleData(src.data(), 0, dst.data(), 0, 4));
  EXPECT_THROW(NewSample(4, 44100, SF_MONO8)->Convert(0), RuntimeError);
  EXPECT_THROW(NewSample(-1, 44100, SF_MONO8), RuntimeError);
}

TEST(AudioSampleTest, CreateCopyConvertAndWrap) {
  Ref<TAudioSample> sample = NewSample(5, 22050, SF_STEREO16LE);
  EXPECT_EQ(sample->length, 5);
  EXPECT_EQ(sample->hertz, 22050);
  EXPECT_EQ(sample->format, SF_STEREO16LE);
  EXPECT_EQ(sample->capacity, 20);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(sample->samples) % 16, 0u);
  for (int i = 0; i < 20; ++i) sample->samples[i] = static_cast<uint8_t>(i);

  for (Ref<TAudioSample> copy : {sample->Copy(), sample->Convert(SF_STEREO16LE)}) {
    EXPECT_NE(copy->samples, sample->samples);
    EXPECT_EQ(copy->capacity, 20);
    EXPECT_EQ(Bytes(copy->samples, copy->samples + 20),
              Bytes(sample->samples, sample->samples + 20));
    copy->samples[0] = 99;
    EXPECT_EQ(sample->samples[0], 0);
  }

  Ref<TAudioSample> mono = sample->Convert(SF_MONO16BE);
  EXPECT_EQ(mono->length, 5);
  EXPECT_EQ(mono->hertz, 22050);
  EXPECT_EQ(mono->capacity, 10);

  EXPECT_EQ(NewSample(0, 8000, SF_MONO8)->capacity, 0);

  // The caller's memory outlives a wrapping sample (a sanitizer build would
  // also catch a free of it).
  Bytes owned = {1, 2, 3, 4};
  {
    Ref<TAudioSample> wrapped = WrapSampleData(owned.data(), 2, 11025, SF_MONO16LE);
    EXPECT_EQ(wrapped->capacity, -1);
    EXPECT_EQ(wrapped->samples, owned.data());
    EXPECT_EQ(wrapped->Copy()->capacity, 4);
  }
  EXPECT_EQ(owned, (Bytes{1, 2, 3, 4}));
}

}  // namespace
