// Loads arbitrary bytes as an audio sample through the game's loader chain
// (Ogg Vorbis first, then WAV): every input must end in a sample or null,
// never a crash, a hang, a leak or an exception. The seeds are Ogg Vorbis
// files.

#include <ogg/ogg.h>

#include <cstring>
#include <vector>

#include "tests/fuzz/sample_fuzz.h"

namespace {

constexpr size_t PAGE_HEADER = 27;

// Mutated pages would almost never get past libogg's CRC checks; with their
// CRCs made right, the mutations reach vorbisfile and the loader. Bad CRCs
// are covered by the unit tests.
void FixCrcs(std::vector<uint8_t>& file) {
  size_t at = 0;
  while (file.size() - at >= PAGE_HEADER && std::memcmp(&file[at], "OggS", 4) == 0) {
    const size_t segments = file[at + 26];
    if (file.size() - at - PAGE_HEADER < segments) return;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += file[at + PAGE_HEADER + i];
    const size_t headerBytes = PAGE_HEADER + segments;
    if (file.size() - at - headerBytes < body) return;
    ogg_page page{&file[at], static_cast<long>(headerBytes), &file[at + headerBytes],
                  static_cast<long>(body)};
    ogg_page_checksum_set(&page);
    at += headerBytes + body;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartSampleLoaders();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  FixCrcs(file);
  LoadSampleFromBytes(file.data(), file.size());
  return 0;
}
