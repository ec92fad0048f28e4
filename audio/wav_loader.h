#pragma once
// Uncompressed RIFF/WAVE files: 8 or 16 bits, mono or stereo PCM.

#include "audio/sample_loader.h"

class TWavSampleLoader : public TAudioSampleLoader {
 public:
  // The sample of the stream's first "data" chunk, or null. The "fmt " chunk
  // must come first. A "data" chunk that declares more than the stream holds
  // gives only the frames that are there. The zero byte that pads a chunk of
  // odd size is skipped, and may be missing.
  Ref<TAudioSample> LoadSample(const Ref<TStream>& stream) override;
};

// Puts the WAV loader at the head of the sample loader chain, once.
void StartWavLoader();
