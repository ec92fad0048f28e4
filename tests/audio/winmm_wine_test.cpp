// The waveOut device on Wine's own waveOut. WaveOut.* need an output device
// (Wine's ALSA driver over an ALSA default of the null device, whose play
// cursor runs, though not at real time); WaveOutMissing.* need Wine with its
// audio drivers disabled. Neither looks at timing: each waits for a state.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "audio/mixer/mix.h"
#include "audio/mixer/winmm/wave_device.h"
#include "audio/mixer_audio_driver.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the condition, polling; false when it has not come in a minute,
// which is far beyond anything Wine takes on a loaded machine.
bool WaitFor(const std::function<bool()>& condition) {
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(60);
  while (!condition()) {
    if (Clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

Ref<TSound> Constant(int frames, int16_t value, int flags) {
  Ref<TAudioSample> sample = NewSample(frames, MIX_OUTPUT_RATE, SF_STEREO16LE);
  std::fill_n(reinterpret_cast<int16_t*>(sample->samples), 2 * frames, value);
  return LoadSound(sample, flags);
}

// Every voice is back from the mixer and free for reuse.
bool AllVoicesBack() {
  MixAllocChannel();  // takes back what the mixer has finished with
  const mixer& mix = *MixDevice()->mix;
  return mix.spare.size() == mix.voices.size();
}

bool RingHolds(int16_t value) {
  const auto* device = static_cast<const winmmdevice*>(MixDevice());
  const int16_t* ring = device->ring();
  return std::count(ring, ring + winmmdevice::RING_BYTES / 2, value) >= MIX_FRAGMENT;
}

TEST(WaveOut, PlaysSoundsToTheirEndAndClosesWhilePlaying) {
  ASSERT_EQ(MixOpen(), 0) << "no waveOut device: is ALSA's default the null device?";
  SetAudioDriver(New<TMixerAudioDriver>());
  ASSERT_TRUE(WaitFor([] { return MixDevice()->writePosition > 20u * MIX_FRAGMENT; }))
      << "the timer refills the ring as the cursor moves";

  // A one-shot of a tenth of a second finishes, its voice comes back, and a
  // sound on its own channel gets into the ring.
  const Ref<TChannel> once = PlaySound(Constant(4410, 1234, 0), nullptr);
  ASSERT_TRUE(once);
  EXPECT_TRUE(WaitFor([&once] { return !IsChannelPlaying(once); }));
  EXPECT_TRUE(WaitFor(AllVoicesBack));
  const Ref<TSound> loop = Constant(441, -2345, 1);
  const Ref<TChannel> looping = PlaySound(loop, nullptr);
  EXPECT_TRUE(WaitFor([] { return RingHolds(-2345); }));
  EXPECT_EQ(IsChannelPlaying(looping), 1);

  // Closing while it plays, then again and again right after opening, each
  // time with the timer running.
  const pcmbuffer* buffer = Cast<TMixerSound>(loop)->buffer;
  MixShutdown();
  EXPECT_EQ(buffer->RefCount(), 1) << "the playing voice gave its buffer back";
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(MixOpen(), 0);
    PlaySound(Constant(44100, 1000, 1), nullptr);
    if (round % 2) {
      ASSERT_TRUE(WaitFor([] { return MixDevice()->writePosition > 6u * MIX_FRAGMENT; }));
    }
    MixShutdown();
  }
  SetAudioDriver(New<TAudioDriver>());
}

TEST(WaveOutMissing, TheSilentDriverStaysAndSaysSoOnce) {
  testing::internal::CaptureStderr();
  StartMixerAudio();
  StartMixerAudio();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.rfind("Sound is off: no audio output on \"wave mapper\" (", 0), 0u) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_EQ(MixDevice(), nullptr);
  EXPECT_FALSE(Cast<TMixerAudioDriver>(CurrentAudioDriver()));
  const Ref<TChannel> channel = PlaySound(Constant(100, 1000, 0), nullptr);
  ASSERT_TRUE(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
}

}  // namespace
