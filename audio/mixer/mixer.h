#pragma once
// The software mixer: sums every active voice into 16-bit stereo passes.
//
// The game thread queues voices on `incoming`; the output device's thread
// takes them into `active`, mixes them, and hands finished voices back on
// `recycled`. The voice objects themselves belong to the game thread, which
// creates and reuses them; the mixer thread never allocates.

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/mixer/output.h"
#include "audio/mixer/voice.h"
#include "audio/mixer/voice_ring.h"

// Milliseconds of a monotonic clock, wrapping round at 2^32.
uint32_t MixerMillis();

class mixer final : public output {
 public:
  explicit mixer(int count);
  ~mixer() override;

  // The mixer as a whole has neutral parameters.
  void setrate(int) override {}
  void setvolume(int16_t) override {}
  void setpan(int16_t) override {}
  void setdepth(int16_t) override {}
  int getrate(int) override { return MIX_RATE_ONE; }
  int16_t getvolume(int) override { return MIX_GAIN_ONE; }
  int16_t getpan(int) override { return 0; }
  int16_t getdepth(int) override { return 0; }

  // Mixer thread: gives every voice of `active` back on `recycled`, as far as
  // the ring takes them.
  void RecycleAll();

  // A pass sums in 32 bits where its voices' gains allow, else in 64.
  std::unique_ptr<int32_t[]> accumulator32;
  std::unique_ptr<int64_t[]> accumulator64;
  int count;  // sample values per pass
  int outputRate = 0;
  int outputChannels = 0;
  sound* active = nullptr;
  voicering<sound> incoming;
  voicering<sound> recycled;
  // The clock that times the start delay; tests replace it.
  uint32_t (*clock)() = MixerMillis;
  // Tests only: runs on the mixing thread for every voice a pass mixes, after
  // the pass has read the voice's parameters and before it writes back to the
  // voice, which is where a change from the game thread meets the pass.
  void (*racepoint)(sound&) = nullptr;

  // Game thread: every voice ever made, and those free for reuse.
  std::vector<std::unique_ptr<sound>> voices;
  std::vector<sound*> spare;
};

// Every voice starts this long after it was queued, so that sounds asked for
// in quick succession keep their spacing whatever the refill thread's jitter.
constexpr int MIX_START_DELAY_MS = 20;

// Mixer thread: one pass of count / 2 frames into out (count 16-bit samples,
// interleaved left and right).
void MixPass(mixer& mix, int16_t* out);
