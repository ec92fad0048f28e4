#include "audio/sample_loader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio/ogg_loader.h"
#include "audio/wav_loader.h"
#include "runtime/runtime_error.h"
#include "tests/audio/audio_test_files.h"

namespace {

// Loaders join the chain for good, so a test's own one lives as long.
TWavSampleLoader& WavLoader() {
  static TWavSampleLoader loader;
  return loader;
}

// Reads into the data, then refuses it, as a decoder that is confused by a
// foreign header would.
class TGreedyLoader : public TAudioSampleLoader {
 public:
  Ref<TAudioSample> LoadSample(const Ref<TStream>& stream) override {
    ++calls;
    uint8_t scratch[24];
    stream->ReadBytes(scratch, sizeof scratch);
    return nullptr;
  }
  int calls = 0;
};

// Breaks off after limit bytes without reaching its end: reads then fail.
class TBrokenStream : public TStream {
 public:
  // quiet: the stream ends at limit although Size still counts every byte.
  TBrokenStream(Bytes data, int limit, bool quiet)
      : data_(std::move(data)), limit_(limit), quiet_(quiet) {}
  bool Eof() override { return quiet_ ? pos_ >= limit_ : pos_ == Size(); }
  int Position() override { return pos_; }
  int Size() override { return static_cast<int>(data_.size()); }
  int Seek(int pos) override { return pos_ = std::clamp(pos, 0, Size()); }
  int Read(void* buf, int count) override {
    const int n = std::max(0, std::min(count, limit_ - pos_));
    std::memcpy(buf, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }

 private:
  Bytes data_;
  int limit_;
  bool quiet_;
  int pos_ = 0;
};

// Reads nothing and cannot seek.
class TPipeStream : public TStream {
 public:
  int Read(void*, int) override { return 0; }
  bool Eof() override { return true; }
};

class AudioLoaderTest : public ::testing::Test {
 protected:
  // The game's order: WAV, then Ogg Vorbis, so Ogg Vorbis is tried first.
  void SetUp() override {
    StartWavLoader();
    StartOggLoader();
  }
  static Ref<TAudioSample> Load(Bytes bytes) { return LoadSample(StreamOf(bytes)); }
  static Bytes SampleBytes(const Ref<TAudioSample>& s) {
    return Bytes(s->samples, s->samples + s->length * SampleFormatBytes(s->format));
  }
};

TEST_F(AudioLoaderTest, WavFormats) {
  struct Case {
    int channels, bits, format;
  };
  const Bytes data = {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x02, 0x03, 0x04};
  for (const Case c : {Case{1, 8, SF_MONO8}, Case{2, 8, SF_STEREO8}, Case{1, 16, SF_MONO16LE},
                       Case{2, 16, SF_STEREO16LE}}) {
    Ref<TAudioSample> s =
        Load(WavWriter().Header().Format(c.channels, c.bits, 22050).Chunk("data", data).bytes);
    ASSERT_TRUE(s) << c.channels << " x " << c.bits;
    EXPECT_EQ(s->format, c.format);
    EXPECT_EQ(s->hertz, 22050);
    EXPECT_EQ(s->length, 8 / SampleFormatBytes(c.format));
    EXPECT_EQ(SampleBytes(s), data);
  }
}

TEST_F(AudioLoaderTest, WavChunkLayouts) {
  const Bytes data = {10, 20, 30, 40};
  // An 18-byte "fmt " chunk (with the extension size word); an odd-sized
  // chunk, a LIST chunk and an empty chunk before "data"; an odd data size
  // that leaves half a frame over.
  Ref<TAudioSample> s = Load(WavWriter().Header().Format(1, 16, 8000, 2).Chunk("data", data).bytes);
  ASSERT_TRUE(s);
  EXPECT_EQ(SampleBytes(s), data);
  s = Load(WavWriter()
               .Header()
               .Format(1, 8, 8000)
               .Chunk("LIST", Bytes(13, 'x'))
               .Chunk("junk", {})
               .Chunk("data", data)
               .bytes);
  ASSERT_TRUE(s);
  EXPECT_EQ(SampleBytes(s), data);
  s = Load(WavWriter().Header().Format(1, 16, 8000).Chunk("data", {1, 2, 3}).bytes);
  ASSERT_TRUE(s);
  EXPECT_EQ(SampleBytes(s), (Bytes{1, 2}));
}

TEST_F(AudioLoaderTest, WavOddChunksArePadded) {
  const Bytes data = {1, 2, 3, 4};
  // An odd LIST chunk and an odd "fmt " chunk, each followed by its pad byte.
  Ref<TAudioSample> s = Load(WavWriter()
                                 .Header()
                                 .Format(2, 8, 8000)
                                 .Chunk("LIST", Bytes(13, 'i'))
                                 .Raw({0})
                                 .Chunk("data", data)
                                 .bytes);
  ASSERT_TRUE(s);
  EXPECT_EQ(SampleBytes(s), data);
  s = Load(WavWriter().Header().Format(2, 8, 8000, 1).Raw({0}).Chunk("data", data).bytes);
  ASSERT_TRUE(s);
  EXPECT_EQ(SampleBytes(s), data);
  // Padded chunks one after the other, the last one "data" of odd size.
  s = Load(WavWriter()
               .Header()
               .Format(1, 8, 8000)
               .Chunk("aaaa", {7})
               .Raw({0})
               .Chunk("bbbb", {7, 7, 7})
               .Raw({0})
               .Chunk("data", {5, 6, 7})
               .Raw({0})
               .bytes);
  ASSERT_TRUE(s);
  EXPECT_EQ(SampleBytes(s), (Bytes{5, 6, 7}));
  // An odd chunk that ends the file, without its pad byte.
  EXPECT_FALSE(Load(WavWriter().Header().Format(1, 8, 8000).Chunk("LIST", {1, 2, 3}).bytes));
}

TEST_F(AudioLoaderTest, WavRefusals) {
  const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Bytes refused[] = {
      WavWriter()
          .Header()
          .Chunk("fact", {0, 0, 0, 0})
          .Format(1, 16, 8000)
          .Chunk("data", data)
          .bytes,
      WavWriter().Header().Chunk("LIST", {}).Format(1, 16, 8000).Chunk("data", data).bytes,
      WavWriter().Header().Format(1, 24, 8000).Chunk("data", data).bytes,
      WavWriter().Header().Format(4, 16, 8000).Chunk("data", data).bytes,
      WavWriter().Header().Format(1, 16, 0).Chunk("data", data).bytes,
      WavWriter().Header().Format(1, 16, 8000).bytes,
      WavWriter().Header().Format(1, 16, 8000).Chunk("LIST", data).bytes,
      WavWriter().Tag("RIFX").U32(0).Tag("WAVE").Format(1, 16, 8000).Chunk("data", data).bytes,
      WavWriter().Tag("RIFF").U32(0).Tag("AVI ").Format(1, 16, 8000).Chunk("data", data).bytes,
      // Compressed (format tag 2) and a "fmt " chunk too short for its fields.
      WavWriter().Header().Tag("fmt ").U32(16).U16(2).U16(1).U32(8000).U32(0).U16(2).U16(16).bytes,
      WavWriter().Header().Tag("fmt ").U32(8).U16(1).U16(1).U32(8000).bytes,
      Bytes{'R', 'I'},
      Bytes{},
  };
  for (const Bytes& bytes : refused) EXPECT_FALSE(Load(bytes)) << &bytes - refused;
}

TEST_F(AudioLoaderTest, WavHostileSizes) {
  // "data" chunks that claim 4 GiB, 256 MiB or one byte more than there is:
  // only the 6 bytes there are loaded, and only they are allocated.
  for (uint32_t declared : {0xFFFFFFFFu, 0x10000000u, 7u}) {
    Ref<TAudioSample> s = Load(WavWriter()
                                   .Header()
                                   .Format(2, 8, 11025)
                                   .Tag("data")
                                   .U32(declared)
                                   .Raw({1, 2, 3, 4, 5, 6})
                                   .bytes);
    ASSERT_TRUE(s) << declared;
    EXPECT_EQ(s->length, 3);
    EXPECT_EQ(s->capacity, 6);
    EXPECT_EQ(SampleBytes(s), (Bytes{1, 2, 3, 4, 5, 6}));
  }

  // Chunk and "fmt " sizes near 2^32 must not wrap the position back into the file.
  for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u, 0x80000000u, 0x7FFFFFFFu}) {
    EXPECT_FALSE(Load(WavWriter()
                          .Header()
                          .Format(1, 8, 8000)
                          .Tag("LIST")
                          .U32(size)
                          .Chunk("data", {1, 2, 3, 4})
                          .bytes))
        << size;
    EXPECT_FALSE(Load(WavWriter()
                          .Header()
                          .Tag("fmt ")
                          .U32(size)
                          .U16(1)
                          .U16(1)
                          .U32(8000)
                          .U32(8000)
                          .U16(1)
                          .U16(8)
                          .Chunk("data", {1, 2, 3, 4})
                          .bytes))
        << size;
  }
  // Many empty chunks and a truncated chunk header end without a "data" chunk.
  WavWriter empties;
  empties.Header().Format(1, 8, 8000);
  for (int i = 0; i < 100; ++i) empties.Chunk("pad ", {});
  EXPECT_FALSE(Load(empties.Raw({'d', 'a'}).bytes));
}

TEST_F(AudioLoaderTest, WavDataEndingEarly) {
  // The stream ends inside the data although its size promised more: the
  // frames that were not there are silence (128 for 8-bit).
  Bytes file = WavWriter().Header().Format(1, 8, 8000).Chunk("data", Bytes(16, 7)).bytes;
  const int limit = static_cast<int>(file.size()) - 10;
  Ref<TAudioSample> s = WavLoader().LoadSample(New<TBrokenStream>(file, limit, true));
  ASSERT_TRUE(s);
  Bytes expected(16, 128);
  std::fill_n(expected.begin(), 6, 7);
  EXPECT_EQ(SampleBytes(s), expected);
  // A stream whose reads fail inside the data: through the chain the read
  // error is a refusal, not an error.
  EXPECT_FALSE(LoadSample(Ref<TStream>(New<TBrokenStream>(file, limit, false))));
}

TEST_F(AudioLoaderTest, ChainRewindsBeforeEveryLoader) {
  static TGreedyLoader greedy;
  const int before = greedy.calls;
  Ref<TAudioSample> wav =
      Load(WavWriter().Header().Format(1, 16, 8000).Chunk("data", {5, 6, 7, 8}).bytes);
  ASSERT_TRUE(wav);
  EXPECT_EQ(SampleBytes(wav), (Bytes{5, 6, 7, 8}));
  Ref<TAudioSample> ogg =
      Load(EncodeOgg(1, 8000, 4000, [](int, int i) { return (i / 20) % 2 ? 0.5f : -0.5f; }));
  ASSERT_TRUE(ogg);
  EXPECT_EQ(ogg->length, 4000);
  EXPECT_EQ(greedy.calls, before + 2);

  // From a stream that is not at its start, every loader starts there too.
  Bytes padded = {'x', 'y', 'z'};
  const Bytes wavFile = WavWriter().Header().Format(1, 8, 8000).Chunk("data", {9}).bytes;
  padded.insert(padded.end(), wavFile.begin(), wavFile.end());
  Ref<TStream> stream = StreamOf(padded);
  stream->Seek(3);
  wav = LoadSample(stream);
  ASSERT_TRUE(wav);
  EXPECT_EQ(SampleBytes(wav), Bytes{9});
}

TEST_F(AudioLoaderTest, ChainFailures) {
  EXPECT_FALSE(LoadSample("/nonexistent/folder/sound.wav"));
  EXPECT_FALSE(Load(Bytes(100, 0x55)));
  try {
    LoadSample(Ref<TStream>(New<TPipeStream>()));
    ADD_FAILURE();
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "Stream is not seekable");
  }
}

}  // namespace
