#include "audio/wav_loader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "runtime/program.h"
#include "stream/byte_swap_stream.h"

namespace {

constexpr int PCM_FORMAT_TAG = 1;
constexpr uint32_t BASIC_FORMAT_BYTES = 16;

bool ReadTag(TStream& in, const char* expected) {
  char tag[4] = {};
  in.ReadBytes(tag, 4);
  return std::memcmp(tag, expected, 4) == 0;
}

uint32_t ReadSize(TStream& in) { return static_cast<uint32_t>(in.ReadInt()); }

struct WavLayout {
  int bits, channels, format;
};
constexpr WavLayout LAYOUTS[] = {
    {8, 1, SF_MONO8},
    {8, 2, SF_STEREO8},
    {16, 1, SF_MONO16LE},
    {16, 2, SF_STEREO16LE},
};

int ChooseFormat(int bits, int channels) {
  for (const WavLayout& layout : LAYOUTS) {
    if (layout.bits == bits && layout.channels == channels) return layout.format;
  }
  return 0;
}

// Moves past count bytes. Chunk sizes come from the file, so the target is
// worked out in 64 bits: false when it lies beyond the end of the stream.
bool Skip(TStream& in, uint32_t count) {
  const int64_t target = int64_t{in.Position()} + count;
  if (target > in.Size()) return false;
  return in.Seek(static_cast<int>(target)) == target;
}

// RIFF pads a chunk of odd size with a zero byte, so that the next chunk
// starts at an even offset. Some writers leave the pad out; as no chunk tag
// starts with a zero byte, only a zero is taken for the pad.
void SkipPad(TStream& in, uint32_t size) {
  if (size % 2 == 0 || in.Eof()) return;
  const int at = in.Position();
  if (in.ReadByte() != 0) in.Seek(at);
}

Ref<TAudioSample> ReadData(TStream& in, uint32_t declared, int hertz, int format) {
  // Never trust the declared size: only what the stream holds is allocated.
  const int64_t available = std::max<int64_t>(0, int64_t{in.Size()} - in.Position());
  const int frameBytes = SampleFormatBytes(format);
  const int64_t bytes = std::min<int64_t>(declared, available) / frameBytes * frameBytes;
  Ref<TAudioSample> sample = NewSample(static_cast<int>(bytes / frameBytes), hertz, format);
  // Frames the stream cannot deliver after all stay silent.
  const bool unsigned8 = format == SF_MONO8 || format == SF_STEREO8;
  std::memset(sample->samples, unsigned8 ? 0x80 : 0, static_cast<size_t>(bytes));
  in.ReadBytes(sample->samples, static_cast<int>(bytes));
  return sample;
}

}  // namespace

Ref<TAudioSample> TWavSampleLoader::LoadSample(const Ref<TStream>& stream) {
  // Chunks are found by position, so a stream that cannot seek is not read.
  if (stream->Position() < 0) return nullptr;
  Ref<TStream> view = LittleEndianStream(stream);
  TStream& in = *view;

  if (!ReadTag(in, "RIFF")) return nullptr;
  in.ReadInt();
  if (!ReadTag(in, "WAVE") || !ReadTag(in, "fmt ")) return nullptr;
  const uint32_t formatBytes = ReadSize(in);
  if (formatBytes < BASIC_FORMAT_BYTES) return nullptr;
  if (in.ReadShort() != PCM_FORMAT_TAG) return nullptr;
  const int channels = in.ReadShort();
  const uint32_t rate = ReadSize(in);
  in.ReadInt();    // byte rate
  in.ReadShort();  // block align
  const int bits = in.ReadShort();
  const int format = ChooseFormat(bits, channels);
  if (!format || rate == 0 || rate > INT_MAX) return nullptr;
  if (!Skip(in, formatBytes - BASIC_FORMAT_BYTES)) return nullptr;
  SkipPad(in, formatBytes);

  // Every pass reads a tag and a size, so even empty chunks move forward.
  while (!in.Eof()) {
    const bool isData = ReadTag(in, "data");
    const uint32_t size = ReadSize(in);
    if (isData) return ReadData(in, size, static_cast<int>(rate), format);
    if (!Skip(in, size)) return nullptr;
    SkipPad(in, size);
  }
  return nullptr;
}

void StartWavLoader() {
  static bool started = false;
  if (!FirstStart(started)) return;
  static TWavSampleLoader loader;
}
