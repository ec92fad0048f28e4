#pragma once
// Audio files made by the tests: WAV files written byte by byte, and Ogg
// Vorbis files encoded with libvorbisenc.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/audio_sample.h"
#include "stream/memory_stream.h"

using Bytes = std::vector<uint8_t>;

struct WavWriter {
  Bytes bytes;
  WavWriter& Tag(const char* tag) {
    bytes.insert(bytes.end(), tag, tag + 4);
    return *this;
  }
  WavWriter& U16(int v) {
    for (int i = 0; i < 2; ++i) bytes.push_back(static_cast<uint8_t>(v >> 8 * i));
    return *this;
  }
  WavWriter& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> 8 * i));
    return *this;
  }
  WavWriter& Raw(const Bytes& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }
  // "RIFF", its size and "WAVE".
  WavWriter& Header() { return Tag("RIFF").U32(0).Tag("WAVE"); }
  // A PCM "fmt " chunk; extra bytes after the 16 basic ones are zeros.
  WavWriter& Format(int channels, int bits, uint32_t rate, int extra = 0) {
    Tag("fmt ").U32(16 + static_cast<uint32_t>(extra)).U16(1).U16(channels).U32(rate);
    U32(rate * static_cast<uint32_t>(channels * bits / 8)).U16(channels * bits / 8).U16(bits);
    return Raw(Bytes(static_cast<size_t>(extra), 0));
  }
  WavWriter& Chunk(const char* tag, const Bytes& body) {
    return Tag(tag).U32(static_cast<uint32_t>(body.size())).Raw(body);
  }
};

// Interleaved 16-bit frames of channels from the generator (channel, frame)
// in -1..1, encoded at quality 0.4. granuleShift moves the last page's
// granule position, which claims a longer (or shorter) stream than is there.
// Files with different serial numbers joined end to end make a chained file.
Bytes EncodeOgg(int channels, int rate, int frames, const std::function<float(int, int)>& wave,
                int64_t granuleShift = 0, int serial = 1);

// Ogg files with different serial numbers, end to end: one chained file.
inline Bytes Chain(const std::vector<Bytes>& links) {
  Bytes file;
  for (const Bytes& link : links) file.insert(file.end(), link.begin(), link.end());
  return file;
}

// A read-only memory stream over bytes, which must outlive it.
inline Ref<TStream> StreamOf(Bytes& bytes) {
  return CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false);
}

inline int16_t FrameValue(const Ref<TAudioSample>& sample, int frame, int channel) {
  const int channels = SampleFormatChannels(sample->format);
  const uint8_t* p = sample->samples + (frame * channels + channel) * 2;
  return static_cast<int16_t>(p[0] | p[1] << 8);
}
