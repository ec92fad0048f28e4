#pragma once
// One playing voice of the mixer: a pcmbuffer, a position in it and the
// voice's parameters.
//
// The game thread sets parameters and the state; the mixer thread reads them
// at its next pass, moves the position and writes the current values while it
// ramps. Both sides touch the shared words only through atomics.

#include <atomic>
#include <cstdint>

#include "audio/mixer/output.h"
#include "audio/mixer/pcm_buffer.h"

class mixer;

// Voice states. PAUSED is a bit added to PLAYING_ONCE or PLAYING_LOOPED.
constexpr int VOICE_FREE = 0;
constexpr int VOICE_STOPPED = 1;
constexpr int VOICE_PLAYING_ONCE = 2;
constexpr int VOICE_PLAYING_LOOPED = 4;
constexpr int VOICE_PAUSED = 0x10;

// Results of MixVoice.
constexpr int MIXED = 0;
constexpr int MIX_FINISHED = 1;
constexpr int MIX_PAUSED = -2;
constexpr int MIX_FREE = -1;

// A voice's rate, volume, pan and depth.
struct voiceparams {
  int rate = MIX_RATE_ONE;
  int16_t volume = MIX_GAIN_ONE;
  int16_t pan = 0;
  int16_t depth = 0;
};

class sound final : public output {
 public:
  // Setters store the target; while paused they also store the current value
  // (depth excepted), so a change made before resuming is heard at once.
  void setrate(int rate) override;
  void setvolume(int16_t volume) override;
  void setpan(int16_t pan) override;
  void setdepth(int16_t depth) override;
  int getrate(int which) override { return rate[which].load(std::memory_order_relaxed); }
  int16_t getvolume(int which) override { return volume[which].load(std::memory_order_relaxed); }
  int16_t getpan(int which) override { return pan[which].load(std::memory_order_relaxed); }
  int16_t getdepth(int which) override { return depth[which].load(std::memory_order_relaxed); }

  // The target values, and both current and target set to params.
  voiceparams targets();
  void reset(const voiceparams& params);

  bool paused() const { return state.load(std::memory_order_relaxed) & VOICE_PAUSED; }

  mixer* owner = nullptr;
  std::atomic<int> state{VOICE_STOPPED};
  // The channel handle whose table entry holds this voice, or 0 (game thread).
  int handle = 0;
  // True from queueing until the mixer hands the voice back (game thread).
  bool withMixer = false;
  sound* next = nullptr;
  pcmbuffer* buffer = nullptr;
  uint64_t position = 0;  // 32.32 count of sample values
  std::atomic<int> rate[2] = {MIX_RATE_ONE, MIX_RATE_ONE};
  std::atomic<int16_t> volume[2] = {MIX_GAIN_ONE, MIX_GAIN_ONE};
  std::atomic<int16_t> pan[2] = {0, 0};
  std::atomic<int16_t> depth[2] = {0, 0};
  uint32_t startTime = 0;
  int startDelay = 0;  // output frames still to skip
};

// Adds the voice's next count / 2 frames to the interleaved stereo
// accumulator. Returns MIXED, MIX_FINISHED (stopped, or a one-shot sound ran
// out, which leaves it stopped), MIX_PAUSED or MIX_FREE.
int MixVoice(sound& voice, int64_t* accumulator, int count, int outputRate);
