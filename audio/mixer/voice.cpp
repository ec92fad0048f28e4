#include "audio/mixer/voice.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "audio/mixer/mixer.h"

static_assert(std::endian::native == std::endian::little,
              "the mixer reads its 16-bit little-endian data directly");

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

// Game thread. A value set while paused is to be heard at once on resume:
// it is held for the mixer, the only writer of the current values, to take
// over at its next look at the voice.
template <class T, class V>
void SetTarget(sound& voice, std::atomic<T> (&value)[2], std::atomic<T>& heldValue, int heldBit,
               V v) {
  value[MIX_TARGET].store(static_cast<T>(v), relaxed);
  if (!voice.paused()) return;
  heldValue.store(static_cast<T>(v), relaxed);
  voice.held.fetch_or(heldBit, std::memory_order_release);
}

template <class T, class V>
void SetBoth(std::atomic<T> (&value)[2], V v) {
  value[MIX_TARGET].store(static_cast<T>(v), relaxed);
  value[MIX_CURRENT].store(static_cast<T>(v), relaxed);
}

template <class T>
void TakeHeld(std::atomic<T> (&value)[2], const std::atomic<T>& heldValue) {
  value[MIX_CURRENT].store(heldValue.load(relaxed), relaxed);
}

// Mixer thread: values set while paused become current.
void TakeHeld(sound& voice) {
  const int held = voice.held.exchange(0, std::memory_order_acquire);
  if (held & HELD_RATE) TakeHeld(voice.rate, voice.heldRate);
  if (held & HELD_VOLUME) TakeHeld(voice.volume, voice.heldVolume);
  if (held & HELD_PAN) TakeHeld(voice.pan, voice.heldPan);
}

struct gains {
  int left;
  int right;
};

// Pan takes level from one side only; there is no pan law, so the centre
// leaves both sides at full level. Negative depth inverts the right side.
// The factors are 4.12 multipliers of the volume, fixed for a whole pass.
struct panning {
  int left;
  int right;

  panning(int pan, int depth)
      : left(pan > 0 ? MIX_GAIN_ONE - pan : MIX_GAIN_ONE),
        right((pan < 0 ? MIX_GAIN_ONE + pan : MIX_GAIN_ONE) * (depth < 0 ? -1 : 1)) {}

  gains Of(int volume) const {
    return {std::clamp((volume * left) >> 12, -32768, 32767),
            std::clamp((volume * right) >> 12, -32768, 32767)};
  }
};

// The 32.32 advance per output frame, in sample values, for a 16.16 rate.
uint64_t StepOf(int rate, const pcmbuffer& buffer, int outputRate) {
  const uint64_t frames1616 = static_cast<uint64_t>(rate) * static_cast<uint64_t>(buffer.hertz) /
                              static_cast<uint64_t>(outputRate);
  return (frames1616 << 16) * static_cast<uint64_t>(buffer.channels);
}

// Where a mixing loop stands, and what its end test needs.
struct cursor {
  const int16_t* data;
  uint64_t position;
  uint64_t end;
  bool looped;

  // Applies the end rule after an advance: false when a one-shot sound ran
  // out. A loop wraps sample-exactly, keeping the overshoot.
  bool Wrap() {
    if (position < end) return true;
    if (!looped) return false;
    position %= end;
    return true;
  }

  // Frames from here up to and including the one whose advance reaches the
  // end: only after the last of them does the end rule apply.
  uint64_t FramesToEnd(uint64_t step) const {
    if (step == 0) return UINT64_MAX;
    return (end - position + step - 1) / step;
  }
};

// Adds the frame at position to the accumulator's frame.
template <int CHANNELS, class T>
void Accumulate(const int16_t* data, uint64_t position, T* frame, gains g) {
  const uint64_t index = (position >> 32) & ~static_cast<uint64_t>(CHANNELS - 1);
  frame[0] += (data[index] * g.left) >> 8;
  frame[1] += (data[index + CHANNELS - 1] * g.right) >> 8;
}

// Moves the cursor frames frames on at a constant step, in runs that stop
// where the data ends, so that a run needs no end test; each run's frames go
// to mix(position, first frame, count). False when a one-shot sound ran out.
template <class Run>
bool Advance(cursor& at, int frames, uint64_t step, Run mix) {
  for (int done = 0; done < frames;) {
    const int run =
        static_cast<int>(std::min(static_cast<uint64_t>(frames - done), at.FramesToEnd(step)));
    mix(at.position, done, run);
    at.position += step * static_cast<uint64_t>(run);
    done += run;
    if (!at.Wrap()) return false;
  }
  return true;
}

// A run at one source frame an output frame, from the frame at source: a
// loop over neighbouring samples, which the compiler vectorises. The gains
// are clamped to 16 bits, so the products are those of Accumulate.
template <int CHANNELS, class T>
void MixUnitRun(const int16_t* __restrict source, T* __restrict frame, int count, gains g) {
  const auto left = static_cast<int16_t>(g.left);
  const auto right = static_cast<int16_t>(g.right);
  for (int i = 0; i < count; ++i) {
    frame[2 * i] += (source[CHANNELS * i] * left) >> 8;
    frame[2 * i + 1] += (source[CHANNELS * i + CHANNELS - 1] * right) >> 8;
  }
}

template <int CHANNELS, class T>
bool MixConstant(cursor& where, T* acc, int frames, uint64_t step, gains g) {
  cursor at = where;  // a local copy, which stores to acc cannot alias
  const bool unit = step == uint64_t{CHANNELS} << 32;
  const bool more = Advance(at, frames, step, [&](uint64_t position, int first, int count) {
    T* frame = acc + 2 * first;
    if (unit) {
      const uint64_t index = (position >> 32) & ~static_cast<uint64_t>(CHANNELS - 1);
      MixUnitRun<CHANNELS>(at.data + index, frame, count, g);
      return;
    }
    for (int i = 0; i < count; ++i) {
      Accumulate<CHANNELS>(at.data, position, frame + 2 * i, g);
      position += step;
    }
  });
  where = at;
  return more;
}

template <int CHANNELS, class T>
bool MixRamped(cursor& where, T* acc, int frames, uint64_t fromStep, uint64_t toStep,
               int fromVolume, int toVolume, panning sides) {
  cursor at = where;
  int64_t step = static_cast<int64_t>(fromStep);
  const int64_t stepDelta = (static_cast<int64_t>(toStep) - step) / frames;
  int gain = fromVolume * 256;
  const int gainDelta = ((toVolume - fromVolume) * 256) / frames;
  bool more = true;
  for (int i = 0; i < frames && more; ++i) {
    Accumulate<CHANNELS>(at.data, at.position, acc + 2 * i, sides.Of(gain >> 8));
    at.position += static_cast<uint64_t>(step);
    more = at.Wrap();
    step += stepDelta;
    gain += gainDelta;
  }
  where = at;
  return more;
}

// What a pass makes of a voice in this state without mixing it; MIXED for a
// voice that plays.
int UnmixedResult(int state) {
  if (state == VOICE_STOPPED) return MIX_FINISHED;
  if (state & VOICE_PAUSED) return MIX_PAUSED;
  if (state == VOICE_FREE) return MIX_FREE;
  return MIXED;
}

// The most a frame at these gains adds to a sample, in either direction.
int64_t Peak(gains g) { return 128 * int64_t{std::max(std::abs(g.left), std::abs(g.right))}; }

template <class T>
int MixPrepared(sound& voice, T* accumulator) {
  const voicepass& pass = voice.pass;
  if (pass.frames == 0) return pass.result;
  const pcmbuffer& buffer = *voice.buffer;
  cursor at{buffer.Samples(), voice.position,
            static_cast<uint64_t>(buffer.length) * static_cast<uint64_t>(buffer.channels) << 32,
            pass.looped};
  T* acc = accumulator + 2 * pass.first;
  const int frames = pass.frames;
  const panning sides(pass.pan, pass.depth);
  const bool stereo = buffer.channels == 2;
  bool more;
  if (pass.fromVolume == pass.toVolume && pass.fromStep == pass.toStep) {
    if (pass.toVolume == 0) {
      more = Advance(at, frames, pass.toStep, [](uint64_t, int, int) {});
    } else {
      const gains g = sides.Of(pass.toVolume);
      more = stereo ? MixConstant<2>(at, acc, frames, pass.toStep, g)
                    : MixConstant<1>(at, acc, frames, pass.toStep, g);
    }
  } else {
    more = stereo ? MixRamped<2>(at, acc, frames, pass.fromStep, pass.toStep, pass.fromVolume,
                                 pass.toVolume, sides)
                  : MixRamped<1>(at, acc, frames, pass.fromStep, pass.toStep, pass.fromVolume,
                                 pass.toVolume, sides);
  }
  voice.position = at.position;
  if (more) return MIXED;
  // Finished for good, even while the return ring is full and the voice
  // stays in the mix: its position is past its data.
  voice.state.store(VOICE_STOPPED, std::memory_order_relaxed);
  return MIX_FINISHED;
}

}  // namespace

void sound::setrate(int r) { SetTarget(*this, rate, heldRate, HELD_RATE, r); }
void sound::setvolume(int16_t v) { SetTarget(*this, volume, heldVolume, HELD_VOLUME, v); }
void sound::setpan(int16_t p) { SetTarget(*this, pan, heldPan, HELD_PAN, p); }
// Only the sign of the target depth counts, so it holds nothing while paused.
void sound::setdepth(int16_t d) { depth[MIX_TARGET].store(d, relaxed); }

voiceparams sound::targets() {
  return {getrate(MIX_TARGET), getvolume(MIX_TARGET), getpan(MIX_TARGET), getdepth(MIX_TARGET)};
}

void sound::reset(const voiceparams& p) {
  SetBoth(rate, p.rate);
  SetBoth(volume, p.volume);
  SetBoth(pan, p.pan);
  SetBoth(depth, p.depth);
  held.store(0, relaxed);
}

int64_t PrepareVoice(sound& voice, int count, int outputRate) {
  voicepass& pass = voice.pass;
  pass.frames = 0;
  const int state = voice.state.load(std::memory_order_acquire);
  if (voice.held.load(relaxed) != 0) TakeHeld(voice);
  pass.result = UnmixedResult(state);
  if (pass.result != MIXED) return 0;

  // Skip the rest of the start delay; mix only what follows it.
  const int frames = count / 2;
  if (voice.startDelay >= frames) {
    voice.startDelay -= frames;
    return 0;
  }
  pass.first = voice.startDelay;
  pass.frames = frames - voice.startDelay;
  voice.startDelay = 0;

  const pcmbuffer& buffer = *voice.buffer;
  pass.looped = (state & VOICE_PLAYING_LOOPED) != 0;
  const int fromRate = voice.rate[MIX_CURRENT].load(relaxed);
  const int toRate = voice.rate[MIX_TARGET].load(relaxed);
  pass.fromVolume = voice.volume[MIX_CURRENT].load(relaxed);
  pass.toVolume = voice.volume[MIX_TARGET].load(relaxed);
  pass.pan = voice.pan[MIX_TARGET].load(relaxed);
  pass.depth = voice.depth[MIX_TARGET].load(relaxed);
  pass.fromStep = StepOf(fromRate, buffer, outputRate);
  pass.toStep = StepOf(toRate, buffer, outputRate);
  if (voice.owner->racepoint) voice.owner->racepoint(voice);

  const panning sides(pass.pan, pass.depth);
  if (pass.fromVolume == pass.toVolume && pass.fromStep == pass.toStep) {
    return pass.toVolume == 0 ? 0 : Peak(sides.Of(pass.toVolume));
  }
  // A ramp ends in this pass; its gains lie between those of its ends.
  voice.rate[MIX_CURRENT].store(toRate, relaxed);
  voice.volume[MIX_CURRENT].store(static_cast<int16_t>(pass.toVolume), relaxed);
  return std::max(Peak(sides.Of(pass.fromVolume)), Peak(sides.Of(pass.toVolume)));
}

int MixVoice(sound& voice, int32_t* accumulator) { return MixPrepared(voice, accumulator); }
int MixVoice(sound& voice, int64_t* accumulator) { return MixPrepared(voice, accumulator); }
