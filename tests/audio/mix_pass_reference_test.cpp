// Mix passes against the mixer's arithmetic written plainly: every voice
// frame by frame, summed in 64 bits, over many voices and parameters; and
// sums beyond 32 bits, which must still clamp.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <vector>

#include "audio/mixer/mix.h"
#include "audio/mixer/mixer.h"
#include "tests/audio/capture_device.h"

namespace {

constexpr int FRAMES = MIX_FRAGMENT / 2;

struct sampledata {
  std::vector<int16_t> samples;
  int channels;
  int hertz;
  bool loop;
  pcmbuffer* buffer;
};

// One voice as the plain model plays it. Index 0 of each pair is the current
// value, 1 the target.
struct modelvoice {
  const sampledata* data;
  int handle;
  uint32_t startTime;
  bool taken = false;
  bool playing = true;
  int delay = 0;
  uint64_t position = 0;
  int rate[2] = {MIX_RATE_ONE, MIX_RATE_ONE};
  int volume[2] = {MIX_GAIN_ONE, MIX_GAIN_ONE};
  int pan = 0;
  int depth = 0;
};

int Clamp16(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, -32768, 32767)); }

// One voice's pass: a ramp from the current values to the targets, which is
// no ramp at all where they are equal.
void ModelVoice(modelvoice& v, std::vector<int64_t>& acc, uint32_t now) {
  if (!v.taken) {
    v.taken = true;
    const int64_t wait = std::max<int64_t>(0, int64_t{v.startTime} + MIX_START_DELAY_MS - now);
    v.delay = static_cast<int>(wait * MIX_OUTPUT_RATE / 1000);
  }
  if (!v.playing) return;
  if (v.delay >= FRAMES) {
    v.delay -= FRAMES;
    return;
  }
  const int first = v.delay;
  const int frames = FRAMES - first;
  v.delay = 0;
  const int channels = v.data->channels;
  auto stepOf = [&](int rate) {
    return ((uint64_t(rate) * uint64_t(v.data->hertz) / MIX_OUTPUT_RATE) << 16) * channels;
  };
  int64_t step = static_cast<int64_t>(stepOf(v.rate[0]));
  const int64_t stepDelta = (static_cast<int64_t>(stepOf(v.rate[1])) - step) / frames;
  int gain = v.volume[0] * 256;
  const int gainDelta = ((v.volume[1] - v.volume[0]) * 256) / frames;
  const int left = v.pan > 0 ? MIX_GAIN_ONE - v.pan : MIX_GAIN_ONE;
  const int right = (v.pan < 0 ? MIX_GAIN_ONE + v.pan : MIX_GAIN_ONE) * (v.depth < 0 ? -1 : 1);
  const uint64_t end = uint64_t(v.data->samples.size()) << 32;
  for (int i = 0; i < frames; ++i) {
    const int volume = gain >> 8;
    const uint64_t index = (v.position >> 32) & ~uint64_t(channels - 1);
    const int64_t frame = 2 * (first + i);
    acc[frame] += (v.data->samples[index] * Clamp16((volume * left) >> 12)) >> 8;
    acc[frame + 1] +=
        (v.data->samples[index + channels - 1] * Clamp16((volume * right) >> 12)) >> 8;
    v.position += static_cast<uint64_t>(step);
    if (v.position >= end) {
      if (!v.data->loop) {
        v.playing = false;
        break;
      }
      v.position %= end;
    }
    step += stepDelta;
    gain += gainDelta;
  }
  v.rate[0] = v.rate[1];
  v.volume[0] = v.volume[1];
}

class MixPassReference : public ::testing::Test {
 protected:
  ~MixPassReference() override {
    for (sampledata& d : data_) MixReleaseBuffer(d.buffer);
  }

  const sampledata& AddData(std::vector<int16_t> samples, int channels, int hertz, bool loop) {
    const int frames = static_cast<int>(samples.size()) / channels;
    pcmbuffer* buffer = MixCreateBuffer(frames, 16, channels, hertz, samples.data(), loop);
    data_.push_back({std::move(samples), channels, hertz, loop, buffer});
    return data_.back();
  }

  // Starts a voice on both sides.
  void Play(const sampledata& data) {
    const int handle = MixPlay(data.buffer, 0, 0);
    ASSERT_NE(handle, 0) << "every channel in use";
    voices_.push_back({&data, handle, testMillis});
  }

  // Parameters go through the float interface in values it holds exactly.
  void SetVolume(modelvoice& v, int volume) {
    MixSetVolume(v.handle, static_cast<float>(volume) / MIX_GAIN_ONE);
    v.volume[1] = volume;
  }
  void SetRate(modelvoice& v, int rate) {
    MixSetRate(v.handle, static_cast<float>(rate) / MIX_RATE_ONE);
    v.rate[1] = rate;
  }
  void SetPan(modelvoice& v, int pan) {
    MixSetPan(v.handle, static_cast<float>(pan) / MIX_GAIN_ONE);
    v.pan = pan;
  }
  void SetDepth(modelvoice& v, int depth) {
    MixSetDepth(v.handle, static_cast<float>(depth) / MIX_GAIN_ONE);
    v.depth = depth;
  }

  // One pass of the mixer against the model's; the mixer's samples.
  std::vector<int16_t> PassMatches(int pass) {
    std::vector<int64_t> acc(MIX_FRAGMENT);
    for (modelvoice& v : voices_) ModelVoice(v, acc, testMillis);
    const std::vector<int16_t> out = device.Mix();
    for (int i = 0; i < MIX_FRAGMENT; ++i) {
      EXPECT_EQ(out[i], Clamp16(acc[i] >> 4)) << "pass " << pass << ", sample " << i;
      if (out[i] != Clamp16(acc[i] >> 4)) break;
    }
    std::erase_if(voices_, [](const modelvoice& v) { return !v.playing; });
    return out;
  }

  CaptureMixer mixer;
  capturedevice& device = *mixer.device;
  std::deque<sampledata> data_;  // which voices point into
  std::vector<modelvoice> voices_;
};

TEST_F(MixPassReference, ManyVoicesRampsRatesPansLoopsEndsAndDelays) {
  std::mt19937 random(20260);
  auto between = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  const int rates[] = {8000, 11025, 22050, 44100, 48000, 96000};
  for (int i = 0; i < 12; ++i) {
    const int channels = between(1, 2);
    // Lengths down to one frame, which a loop wraps many times in a pass.
    const int frames = i < 2 ? between(1, 3) : between(50, 3000);
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    for (int16_t& sample : samples) sample = static_cast<int16_t>(between(-32768, 32767));
    AddData(std::move(samples), channels, rates[between(0, 5)], between(0, 3) != 0);
  }
  auto randomVoice = [&]() -> modelvoice& { return voices_[between(0, voices_.size() - 1)]; };
  for (int pass = 0; pass < 60; ++pass) {
    // Bursts of voices now and then take the sum past 32 bits.
    const int starts = pass % 20 == 10 ? 700 : between(0, 12);
    for (int i = 0; i < starts; ++i) {
      Play(data_[between(0, 11)]);
      ASSERT_FALSE(HasFailure());
      modelvoice& v = voices_.back();
      if (between(0, 3) != 0) SetVolume(v, between(-8192, 32767));
      if (between(0, 2) == 0) SetRate(v, between(0, 4 * MIX_RATE_ONE));
      if (between(0, 2) == 0) SetPan(v, between(-MIX_GAIN_ONE, MIX_GAIN_ONE));
      if (between(0, 4) == 0) SetDepth(v, -MIX_GAIN_ONE);
    }
    for (int i = between(0, 8); i > 0 && !voices_.empty(); --i) {
      modelvoice& v = randomVoice();
      switch (between(0, 4)) {
        case 0:
          SetVolume(v, between(0, 2 * MIX_GAIN_ONE));
          break;
        case 1:
          SetRate(v, between(MIX_RATE_ONE / 4, 3 * MIX_RATE_ONE));
          break;
        case 2:
          SetPan(v, between(-MIX_GAIN_ONE, MIX_GAIN_ONE));
          break;
        case 3:
          SetDepth(v, between(-1, 1) * MIX_GAIN_ONE);
          break;
        default:
          MixStop(v.handle);
          v.playing = false;
      }
    }
    testMillis += static_cast<uint32_t>(between(0, 15));
    PassMatches(pass);
    if (HasFailure()) return;
  }
}

TEST_F(MixPassReference, SumsBeyondThirtyTwoBitsStillClamp) {
  // Full-scale data at the highest gain: each voice adds 2^22 a sample, in
  // one direction, so 512 voices overflow 32 bits. The gain ramps up from 1
  // in the first pass, then holds.
  const sampledata& low = AddData(std::vector<int16_t>(200, -32768), 2, MIX_OUTPUT_RATE, true);
  const sampledata& high = AddData(std::vector<int16_t>(200, 32767), 1, 22050, true);
  auto playAll = [&](const sampledata& data, int count, int volume) {
    for (int i = 0; i < count; ++i) {
      Play(data);
      SetVolume(voices_.back(), volume);
    }
  };
  playAll(low, 511, 32767);  // the most that fits 32 bits
  testMillis += MIX_START_DELAY_MS;
  EXPECT_EQ(PassMatches(0).back(), -32768);
  playAll(low, 1, 32767);
  playAll(high, 3583, 32767);  // every channel in use: far past 32 bits, either way
  testMillis += MIX_START_DELAY_MS;
  for (int pass = 1; pass < 4; ++pass) {
    const std::vector<int16_t> out = PassMatches(pass);
    if (HasFailure()) return;
    EXPECT_EQ(out.back(), 32767);
  }
  for (size_t i = 0; i < voices_.size(); i += 2) SetPan(voices_[i], MIX_GAIN_ONE);
  EXPECT_EQ(PassMatches(4)[0], 32767);
}

}  // namespace
