// Writes the seed corpora of the audio fuzz targets when ZORP_AUDIO_SEED_DIR
// names the corpus folder:
//   ZORP_AUDIO_SEED_DIR=tests/fuzz/corpus audio_tests --gtest_filter='AudioFuzzSeeds.*'
// Each seed stays under 4 KiB a stream (a chained file holds two), so that
// the fuzzer's inputs stay small.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/audio/audio_test_files.h"

namespace {

struct Seed {
  const char* name;
  Bytes bytes;
};

Bytes Ramp(size_t count) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(i * 37);
  return b;
}

std::vector<Seed> WavSeeds() {
  const Bytes data = Ramp(64);
  return {
      {"mono8.wav", WavWriter().Header().Format(1, 8, 8000).Chunk("data", data).bytes},
      {"stereo8.wav", WavWriter().Header().Format(2, 8, 11025).Chunk("data", data).bytes},
      {"mono16.wav", WavWriter().Header().Format(1, 16, 22050).Chunk("data", data).bytes},
      {"stereo16.wav", WavWriter().Header().Format(2, 16, 44100).Chunk("data", data).bytes},
      {"fmt18.wav", WavWriter().Header().Format(1, 16, 8000, 2).Chunk("data", data).bytes},
      {"list_odd_padded.wav", WavWriter()
                                  .Header()
                                  .Format(2, 16, 8000)
                                  .Chunk("LIST", Bytes(13, 'i'))
                                  .Raw({0})
                                  .Chunk("data", data)
                                  .bytes},
      {"truncated_data.wav",
       WavWriter().Header().Format(2, 16, 8000).Tag("data").U32(4096).Raw(Ramp(20)).bytes},
  };
}

std::vector<Seed> OggSeeds() {
  const auto tone = [](int c, int i) {
    return 0.4f * static_cast<float>(std::sin((c ? 0.07 : 0.05) * i));
  };
  return {
      {"mono.ogg", EncodeOgg(1, 8000, 300, tone)},
      {"stereo.ogg", EncodeOgg(2, 11025, 400, tone)},
      {"stereo_longer_claim.ogg", EncodeOgg(2, 8000, 200, tone, 1000)},
      {"chained_mono_then_stereo.ogg",
       Chain({EncodeOgg(1, 8000, 100, tone, 0, 1), EncodeOgg(2, 11025, 200, tone, 0, 2)})},
      {"chained_empty_first.ogg",
       Chain({EncodeOgg(1, 8000, 0, tone, 0, 1), EncodeOgg(1, 8000, 150, tone, 0, 2)})},
  };
}

void WriteSeeds(const std::string& dir, const std::vector<Seed>& seeds) {
  for (const Seed& seed : seeds) {
    ASSERT_LT(seed.bytes.size(), 8192u) << seed.name;
    std::ofstream(dir + "/" + seed.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(seed.bytes.data()),
               static_cast<std::streamsize>(seed.bytes.size()));
  }
}

TEST(AudioFuzzSeeds, WrittenWhenAsked) {
  const char* dir = std::getenv("ZORP_AUDIO_SEED_DIR");
  if (!dir) GTEST_SKIP() << "ZORP_AUDIO_SEED_DIR is not set";
  WriteSeeds(std::string(dir) + "/wav_fuzz", WavSeeds());
  WriteSeeds(std::string(dir) + "/ogg_fuzz", OggSeeds());
}

}  // namespace
