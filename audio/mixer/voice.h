#pragma once
// One playing voice of the mixer: a pcmbuffer, a position in it and the
// voice's parameters.
//
// No pass overwrites a change the game thread makes while it runs: the game
// thread alone writes the target values and the mixer thread alone the
// current values (it ramps them to the targets). The state is changed by
// both: the game thread by compare-exchange, so that it never undoes the end
// of a voice, and the mixer only to end one (a one-shot sound ran out, or the
// voice goes back), which outlives any pause or stop made meanwhile.

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

// Bits of sound::held: values set while paused, to become current.
constexpr int HELD_RATE = 1;
constexpr int HELD_VOLUME = 2;
constexpr int HELD_PAN = 4;

// Results of MixVoice.
constexpr int MIXED = 0;
constexpr int MIX_FINISHED = 1;
constexpr int MIX_PAUSED = -2;
constexpr int MIX_FREE = -1;

// What one pass mixes of a voice, as the pass read it from the voice.
struct voicepass {
  int result = MIXED;  // what the pass makes of the voice when it mixes nothing
  int first = 0;       // the first frame mixed, after the start delay
  int frames = 0;      // how many are mixed
  bool looped = false;
  uint64_t fromStep = 0;
  uint64_t toStep = 0;
  int fromVolume = 0;
  int toVolume = 0;
  int pan = 0;
  int depth = 0;
};

// A voice's rate, volume, pan and depth.
struct voiceparams {
  int rate = MIX_RATE_ONE;
  int16_t volume = MIX_GAIN_ONE;
  int16_t pan = 0;
  int16_t depth = 0;
};

class sound final : public output {
 public:
  // Setters store the target; while paused the value is also the current one
  // (depth excepted), so a change made before resuming is heard at once: the
  // mixer makes it current, without a ramp, when it next looks at the voice,
  // and until then it reads as the current value.
  void setrate(int rate) override;
  void setvolume(int16_t volume) override;
  void setpan(int16_t pan) override;
  void setdepth(int16_t depth) override;
  int getrate(int which) override { return Read(rate, heldRate, HELD_RATE, which); }
  int16_t getvolume(int which) override { return Read(volume, heldVolume, HELD_VOLUME, which); }
  int16_t getpan(int which) override { return Read(pan, heldPan, HELD_PAN, which); }
  int16_t getdepth(int which) override { return depth[which].load(relaxed); }

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
  // Values set while paused: the game thread writes one and then raises its
  // HELD_ bit; the mixer takes the bits, and the values with them.
  std::atomic<int> held{0};
  std::atomic<int> heldRate{MIX_RATE_ONE};
  std::atomic<int16_t> heldVolume{MIX_GAIN_ONE};
  std::atomic<int16_t> heldPan{0};
  uint32_t startTime = 0;
  int startDelay = 0;  // output frames still to skip
  voicepass pass;      // mixer thread: the pass under way

 private:
  static constexpr auto relaxed = std::memory_order_relaxed;
  template <class T>
  T Read(const std::atomic<T> (&value)[2], const std::atomic<T>& heldValue, int heldBit,
         int which) const {
    if (which == MIX_CURRENT && (held.load(relaxed) & heldBit)) return heldValue.load(relaxed);
    return value[which].load(relaxed);
  }
};

// A pass takes a voice in two steps, so that it can choose the width of its
// accumulator from every voice's gains before it mixes any.
//
// PrepareVoice reads the voice's state and parameters for its next count / 2
// frames into voice.pass, and returns the most that one of those frames can
// add to a sample of the accumulator, in either direction.
int64_t PrepareVoice(sound& voice, int count, int outputRate);
// Adds the prepared frames to the interleaved stereo accumulator. Returns
// MIXED, MIX_FINISHED (stopped, or a one-shot sound ran out, which leaves it
// stopped), MIX_PAUSED or MIX_FREE.
int MixVoice(sound& voice, int32_t* accumulator);
int MixVoice(sound& voice, int64_t* accumulator);
