// Loads arbitrary bytes as an audio sample through the game's loader chain
// (Ogg Vorbis first, then WAV): every input must end in a sample or null,
// never a crash, a hang, a leak or an exception. The seeds are WAV files.

#include "tests/fuzz/sample_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartSampleLoaders();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadSampleFromBytes(data, size);
  return 0;
}
