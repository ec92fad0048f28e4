#include "audio/audio_sample.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "runtime/runtime_error.h"

namespace {

constexpr std::align_val_t SAMPLE_ALIGNMENT{16};

struct FormatInfo {
  int bytes, channels, bits;
};
constexpr FormatInfo FORMATS[7] = {
    {0, 0, 0}, {1, 1, 8}, {2, 1, 16}, {2, 1, 16}, {2, 2, 8}, {4, 2, 16}, {4, 2, 16},
};

bool IsSampleFormat(int format) { return format >= SF_MONO8 && format <= SF_STEREO16BE; }

[[noreturn]] void ThrowUnimplemented() {
  throw RuntimeError("Unimplemented sample format conversion");
}

int From8(uint8_t c) { return c * 257 - 32768; }
uint8_t To8(int v) { return static_cast<uint8_t>((v + 32768) / 257); }
int Read16BE(const uint8_t* p) { return static_cast<int16_t>(p[0] << 8 | p[1]); }
void Write16BE(uint8_t* p, int v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

// One frame into the pivot: two big-endian 16-bit values.
// Little-endian and big-endian stereo 16-bit frames differ by the byte order
// of each channel; the same swap goes both ways.
void SwapStereo16(const uint8_t* in, uint8_t* out) {
  const uint8_t a = in[0], b = in[1], c = in[2], d = in[3];
  out[0] = b, out[1] = a, out[2] = d, out[3] = c;
}

void ToPivot(const uint8_t* in, int format, uint8_t* out, size_t count) {
  const size_t bytes = static_cast<size_t>(FORMATS[format].bytes);
  for (size_t i = 0; i < count; ++i, in += bytes, out += 4) {
    switch (format) {
      case SF_MONO8:
        Write16BE(out, From8(in[0]));
        Write16BE(out + 2, From8(in[0]));
        break;
      case SF_MONO16LE:
        out[0] = out[2] = in[1];
        out[1] = out[3] = in[0];
        break;
      case SF_MONO16BE:
        out[0] = out[2] = in[0];
        out[1] = out[3] = in[1];
        break;
      case SF_STEREO8:
        Write16BE(out, From8(in[0]));
        Write16BE(out + 2, From8(in[1]));
        break;
      case SF_STEREO16LE:
        SwapStereo16(in, out);
        break;
      default:
        std::memcpy(out, in, 4);
        break;
    }
  }
}

void FromPivot(const uint8_t* in, uint8_t* out, int format, size_t count) {
  const size_t bytes = static_cast<size_t>(FORMATS[format].bytes);
  for (size_t i = 0; i < count; ++i, in += 4, out += bytes) {
    const int left = Read16BE(in);
    const int right = Read16BE(in + 2);
    // Mono is the average of both channels; C++ division truncates toward zero.
    const int mid = (left + right) / 2;
    switch (format) {
      case SF_MONO8:
        out[0] = To8(mid);
        break;
      case SF_MONO16LE:
        out[0] = static_cast<uint8_t>(mid);
        out[1] = static_cast<uint8_t>(mid >> 8);
        break;
      case SF_MONO16BE:
        Write16BE(out, mid);
        break;
      case SF_STEREO8:
        out[0] = To8(left);
        out[1] = To8(right);
        break;
      case SF_STEREO16LE:
        SwapStereo16(in, out);
        break;
      default:
        std::memcpy(out, in, 4);
        break;
    }
  }
}

}  // namespace

const int BytesPerSample[7] = {0, 1, 2, 2, 2, 4, 4};

int SampleFormatBytes(int format) { return IsSampleFormat(format) ? FORMATS[format].bytes : 0; }
int SampleFormatChannels(int format) {
  return IsSampleFormat(format) ? FORMATS[format].channels : 0;
}
int SampleFormatBits(int format) { return IsSampleFormat(format) ? FORMATS[format].bits : 0; }

void ConvertSampleData(const void* src, int srcFormat, void* dst, int dstFormat, int count) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  const size_t frames = count > 0 ? static_cast<size_t>(count) : 0;
  if (srcFormat == dstFormat) {
    if (frames) std::memmove(out, in, frames * SampleFormatBytes(srcFormat));
    return;
  }
  if (!IsSampleFormat(srcFormat) || !IsSampleFormat(dstFormat)) ThrowUnimplemented();
  if (srcFormat == SF_STEREO16BE) {
    FromPivot(in, out, dstFormat, frames);
  } else if (dstFormat == SF_STEREO16BE) {
    ToPivot(in, srcFormat, out, frames);
  } else {
    std::vector<uint8_t> pivot(frames * 4);
    ToPivot(in, srcFormat, pivot.data(), frames);
    FromPivot(pivot.data(), out, dstFormat, frames);
  }
}

TAudioSample::~TAudioSample() {
  if (capacity >= 0 && samples) ::operator delete(samples, SAMPLE_ALIGNMENT);
}

Ref<TAudioSample> TAudioSample::Create(int length, int hertz, int format) {
  if (length < 0 || !IsSampleFormat(format)) throw RuntimeError("Illegal sample format or length");
  const int64_t bytes = int64_t{length} * FORMATS[format].bytes;
  if (bytes > INT_MAX) throw RuntimeError("Sample too large");
  Ref<TAudioSample> sample = New<TAudioSample>();
  // Rounded up so that a mixer may read whole 16-byte blocks.
  const size_t allocated = (static_cast<size_t>(bytes) + 15) / 16 * 16;
  sample->samples =
      static_cast<uint8_t*>(::operator new(allocated ? allocated : 16, SAMPLE_ALIGNMENT));
  sample->length = length;
  sample->hertz = hertz;
  sample->format = format;
  sample->capacity = static_cast<int>(bytes);
  return sample;
}

Ref<TAudioSample> TAudioSample::CreateStatic(void* data, int length, int hertz, int format) {
  Ref<TAudioSample> sample = New<TAudioSample>();
  sample->samples = static_cast<uint8_t*>(data);
  sample->length = length;
  sample->hertz = hertz;
  sample->format = format;
  sample->capacity = -1;
  return sample;
}

Ref<TAudioSample> TAudioSample::Copy() {
  Ref<TAudioSample> copy = Create(length, hertz, format);
  if (copy->capacity > 0) std::memcpy(copy->samples, samples, static_cast<size_t>(copy->capacity));
  return copy;
}

Ref<TAudioSample> TAudioSample::Convert(int to) {
  if (to != format && !(IsSampleFormat(to) && IsSampleFormat(format))) ThrowUnimplemented();
  Ref<TAudioSample> converted = Create(length, hertz, to);
  ConvertSampleData(samples, format, converted->samples, to, length);
  return converted;
}

Ref<TAudioSample> NewSample(int length, int hertz, int format) {
  return TAudioSample::Create(length, hertz, format);
}

Ref<TAudioSample> WrapSampleData(void* data, int length, int hertz, int format) {
  return TAudioSample::CreateStatic(data, length, hertz, format);
}
