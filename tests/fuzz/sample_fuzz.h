#pragma once
// What the audio sample fuzz targets share: the loaders in the game's order,
// and a load whose result must be a well-formed sample or null.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/ogg_loader.h"
#include "audio/sample_loader.h"
#include "audio/wav_loader.h"
#include "stream/memory_stream.h"

// libvorbisfile 1.3.7 loses the serial number list and the codec setup of a
// later link whose headers fail to parse while it opens a seekable stream
// (inside ov_open_callbacks, which then clears the file itself); that leak is
// the library's, not the loader's. The setup is allocated in libvorbis, where
// the sanitizer's fast-unwound stacks end, so both libraries are named; the
// unit tests under AddressSanitizer still catch a loader that leaks a file.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libvorbisfile.so\nleak:libvorbis.so\n";
}

inline void StartSampleLoaders() {
  StartWavLoader();
  StartOggLoader();
}

inline void LoadSampleFromBytes(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return;
  Ref<TAudioSample> sample = LoadSample(
      CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false));
  if (!sample) return;
  // Every frame must be there to read: the sanitizers catch a short buffer.
  const int frameBytes = SampleFormatBytes(sample->format);
  if (frameBytes == 0 || sample->length < 0 || sample->hertz <= 0) std::abort();
  volatile uint8_t sum = 0;
  const int64_t bytes = int64_t{sample->length} * frameBytes;
  for (int64_t i = 0; i < bytes; i += 61) sum = sum + sample->samples[i];
  if (bytes > 0) sum = sum + sample->samples[bytes - 1];
}
