#pragma once
// Audio samples: blocks of PCM frames in one of six fixed formats, and the
// conversion between those formats.

#include <cstdint>

#include "runtime/object.h"

// Sample format codes; 0 is no format.
constexpr int SF_MONO8 = 1;       // unsigned 8-bit, 128 = silence
constexpr int SF_MONO16LE = 2;    // signed 16-bit little-endian
constexpr int SF_MONO16BE = 3;    // signed 16-bit big-endian
constexpr int SF_STEREO8 = 4;     // left, right: unsigned 8-bit each
constexpr int SF_STEREO16LE = 5;  // left, right: signed 16-bit little-endian each
constexpr int SF_STEREO16BE = 6;  // left, right: signed 16-bit big-endian each; the pivot

// Bytes per frame, indexed by format code 0..6.
extern const int BytesPerSample[7];

// Bytes per frame of format; 0 for a code outside 1..6.
int SampleFormatBytes(int format);
int SampleFormatChannels(int format);
int SampleFormatBits(int format);

class TAudioSample : public Object {
 public:
  TAudioSample() = default;
  ~TAudioSample() override;
  TAudioSample(const TAudioSample&) = delete;
  TAudioSample& operator=(const TAudioSample&) = delete;

  // A new owned sample with a byte copy of the frames.
  Ref<TAudioSample> Copy();
  // A new owned sample of format with the same length and hertz.
  Ref<TAudioSample> Convert(int format);

  // Owned memory for length frames, 16-byte aligned and not cleared. A
  // negative length, an unknown format or more than 2 GiB of frames raise a
  // run-time error.
  static Ref<TAudioSample> Create(int length, int hertz, int format);
  // Wraps the caller's memory, which the sample never frees.
  static Ref<TAudioSample> CreateStatic(void* data, int length, int hertz, int format);

  uint8_t* samples = nullptr;
  int length = 0;
  int hertz = 0;
  int format = 0;
  // Bytes owned, or -1 when the memory belongs to someone else.
  int capacity = -1;
};

Ref<TAudioSample> NewSample(int length, int hertz, int format);
Ref<TAudioSample> WrapSampleData(void* data, int length, int hertz, int format);

// Converts count frames from src in srcFormat to dst in dstFormat, through
// STEREO16BE. Mono output is the average of both channels. A format code
// outside 1..6 (other than a copy between equal formats) raises
// "Unimplemented sample format conversion".
void ConvertSampleData(const void* src, int srcFormat, void* dst, int dstFormat, int count);
