#pragma once
// SDL2_mixer driven synchronously, as the mixing benchmark's reference: its
// audio callback runs in the caller's thread, one pass at a time, with no
// audio device behind it.

#include <cstdint>
#include <memory>
#include <vector>

struct Mix_Chunk;
struct chunkfree {
  void operator()(Mix_Chunk* chunk) const;
};
using chunkref = std::unique_ptr<Mix_Chunk, chunkfree>;

class sdlmixer {
 public:
  // 44100 Hz, 16-bit stereo, passes of `frames` frames; `channels` mixing
  // channels.
  sdlmixer(int frames, int channels);
  ~sdlmixer();
  sdlmixer(const sdlmixer&) = delete;
  sdlmixer& operator=(const sdlmixer&) = delete;

  // A chunk playing the interleaved stereo data in place (no conversion).
  chunkref Wrap(std::vector<int16_t>& data);
  // A chunk loaded from a WAV file of the data at hertz, converted to the
  // mixer's rate by SDL2_mixer as it loads it.
  chunkref Load(const std::vector<int16_t>& data, int hertz);
  // Starts the chunk looping on every channel at volume (0..128); the
  // channels stop when the mixer closes, before the chunk may go.
  void PlayAll(const chunkref& chunk, int volume);
  // Mixes the next pass into out (frames * 2 samples).
  void Pass(int16_t* out);
};
