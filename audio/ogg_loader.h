#pragma once
// Ogg Vorbis files through libvorbisfile, decoded whole at load time.

#include "audio/sample_loader.h"

class TOggSampleLoader : public TAudioSampleLoader {
 public:
  // The first logical bitstream that has audio (in a chained file, the first
  // one unless it is empty) as MONO16LE or STEREO16LE, or null when the data
  // is not Ogg Vorbis, has more than 2 channels, would decode to more
  // than 512 MiB, claims a length that its data cannot hold, or fails to
  // decode at all. Decoded data that ends early leaves the rest of the sample
  // silent.
  Ref<TAudioSample> LoadSample(const Ref<TStream>& stream) override;
};

// Puts the Ogg Vorbis loader at the head of the sample loader chain, once.
void StartOggLoader();
