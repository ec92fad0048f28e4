#include "audio/mixer/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <thread>

#include "audio/mixer/mix.h"
#include "tests/audio/capture_device.h"

namespace {

struct ReleaseBuffer {
  void operator()(pcmbuffer* buffer) const { MixReleaseBuffer(buffer); }
};
using Buffer = std::unique_ptr<pcmbuffer, ReleaseBuffer>;

Buffer MakeBuffer(const std::vector<int16_t>& samples, int channels, int hertz, bool loop) {
  const int frames = static_cast<int>(samples.size()) / channels;
  return Buffer(MixCreateBuffer(frames, 16, channels, hertz, samples.data(), loop ? 1 : 0));
}

// frames of one value on both sides.
Buffer Constant(int frames, int16_t value, bool loop = false, int hertz = MIX_OUTPUT_RATE) {
  return MakeBuffer(std::vector<int16_t>(static_cast<size_t>(frames) * 2, value), 2, hertz, loop);
}

// Mono frames whose values climb by step from 0.
Buffer Ramp(int frames, int step, int hertz, bool loop) {
  std::vector<int16_t> ramp(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) ramp[i] = static_cast<int16_t>(step * i);
  return MakeBuffer(ramp, 1, hertz, loop);
}

using Sides = std::pair<int16_t, int16_t>;

int16_t Left(const std::vector<int16_t>& out, int frame) { return out[2 * frame]; }
int16_t Right(const std::vector<int16_t>& out, int frame) { return out[2 * frame + 1]; }

// Lets the start delay of everything queued so far pass.
void PassStartDelay() { testMillis += MIX_START_DELAY_MS; }

class MixerTest : public ::testing::Test {
 protected:
  CaptureMixer mixer;
  capturedevice& device = *mixer.device;
};

// Where one pass stands against the game thread's action.
enum race { RACE_NONE, RACE_AT_SEAM, RACE_ACTED };
std::atomic<int> raceStep{RACE_NONE};

// Holds the pass at the race point of the first voice it mixes until the
// game thread has acted.
void WaitForTheGameThread(sound&) {
  int none = RACE_NONE;
  if (!raceStep.compare_exchange_strong(none, RACE_AT_SEAM, std::memory_order_relaxed)) return;
  while (raceStep.load(std::memory_order_relaxed) != RACE_ACTED) std::this_thread::yield();
}

// One pass on a thread of its own, as the output device runs it, with the
// game thread's action (on this thread) made while the pass stands between
// reading a voice and writing back to it. The threads hand over through
// relaxed flags only, so ThreadSanitizer sees the action as concurrent with
// the pass.
std::vector<int16_t> MixWithRace(capturedevice& device, const std::function<void()>& action) {
  raceStep = RACE_NONE;
  std::atomic<bool> done{false};
  device.mix->racepoint = WaitForTheGameThread;
  std::vector<int16_t> out;
  std::thread pass([&] {
    out = device.Mix();
    done.store(true, std::memory_order_relaxed);
  });
  while (raceStep.load(std::memory_order_relaxed) != RACE_AT_SEAM &&
         !done.load(std::memory_order_relaxed)) {
    std::this_thread::yield();
  }
  const bool reached = raceStep.load(std::memory_order_relaxed) == RACE_AT_SEAM;
  if (reached) action();
  raceStep.store(RACE_ACTED, std::memory_order_relaxed);
  pass.join();
  device.mix->racepoint = nullptr;
  EXPECT_TRUE(reached) << "the pass mixed no voice";
  return out;
}

TEST_F(MixerTest, OneShotFinishesInsideAPass) {
  Buffer sound = Constant(700, 1000);
  const int channel = MixPlay(sound.get(), 0, 0);
  EXPECT_EQ(channel, 8193) << "the first handle: index 1 of generation 8192";
  PassStartDelay();
  std::vector<int16_t> out = device.Mix(2);
  for (int frame = 0; frame < 700; ++frame) {
    ASSERT_EQ(Left(out, frame), 1000) << frame;
    ASSERT_EQ(Right(out, frame), 1000) << frame;
  }
  for (int frame = 700; frame < 1024; ++frame) ASSERT_EQ(Left(out, frame), 0) << frame;
  EXPECT_LE(MixChannelState(channel), 1);
}

TEST_F(MixerTest, LoopWrapsSampleExactlyAtHalfRate) {
  // One second at 22050 Hz: every source frame is heard for two output
  // frames, and the loop comes round every 44100 output frames.
  Buffer sound = Ramp(22050, 1, 22050, true);
  MixPlay(sound.get(), 0, 0);
  PassStartDelay();
  const std::vector<int16_t> out = device.Mix(2 * 44100 / 512 + 2);
  for (int frame = 0; frame < 2 * 44100 + 512; ++frame) {
    ASSERT_EQ(Left(out, frame), (frame / 2) % 22050) << frame;
    ASSERT_EQ(Right(out, frame), (frame / 2) % 22050) << frame;
  }
}

TEST_F(MixerTest, VolumeChangeRampsOverOnePass) {
  Buffer sound = Constant(100, 8000, true);
  const int channel = MixPlay(sound.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  MixSetVolume(channel, 0.5f);
  const std::vector<int16_t> ramp = device.Mix();
  EXPECT_EQ(Left(ramp, 0), 8000) << "the ramp starts at the old level";
  for (int frame = 1; frame < 512; ++frame) ASSERT_LT(Left(ramp, frame), Left(ramp, frame - 1));
  EXPECT_NEAR(Left(ramp, 256), 6000, 20);
  EXPECT_NEAR(Left(ramp, 511), 4000, 20);
  const std::vector<int16_t> after = device.Mix();
  for (int frame = 0; frame < 512; ++frame) ASSERT_EQ(Left(after, frame), 4000);
}

TEST_F(MixerTest, PanAndDepth) {
  Buffer sound = Constant(100, 8000, true);
  const int channel = MixPlay(sound.get(), 1, 0);
  PassStartDelay();
  auto both = [&] {
    const std::vector<int16_t> out = device.Mix();
    return Sides(Left(out, 100), Right(out, 100));
  };
  MixSetPan(channel, 0.0f);
  MixSetPaused(channel, 0);
  EXPECT_EQ(both(), Sides(8000, 8000)) << "no pan law in the centre";
  MixSetPaused(channel, 1);
  MixSetPan(channel, 1.0f);
  MixSetPaused(channel, 0);
  EXPECT_EQ(both(), Sides(0, 8000));
  MixSetPan(channel, -0.5f);
  EXPECT_EQ(both(), Sides(8000, 4000));
  MixSetPan(channel, 0.0f);
  MixSetDepth(channel, -1.0f);
  EXPECT_EQ(both(), Sides(8000, -8000)) << "negative depth inverts the right";
}

TEST_F(MixerTest, FullScaleReachesTheLimitAndSumsClip) {
  Buffer high = Constant(100, 32767, true);
  Buffer low = Constant(100, -32768, true);
  const int first = MixPlay(high.get(), 0, 0);
  PassStartDelay();
  std::vector<int16_t> out = device.Mix();
  EXPECT_EQ(Left(out, 0), 32767);
  MixPlay(high.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  out = device.Mix();
  EXPECT_EQ(Left(out, 0), 32767) << "two voices in phase clip";
  MixStop(first);
  device.Mix();
  MixPlay(low.get(), 0, 0);
  MixPlay(low.get(), 0, 0);
  MixPlay(low.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  out = device.Mix();
  EXPECT_EQ(Left(out, 0), -32768);
}

TEST_F(MixerTest, VoicesStartTwentyMillisecondsAfterTheyAreQueued) {
  Buffer sound = Constant(5000, 1000);
  MixPlay(sound.get(), 0, 0);
  std::vector<int16_t> out = device.Mix(2);
  const int delay = MIX_START_DELAY_MS * MIX_OUTPUT_RATE / 1000;
  EXPECT_EQ(Left(out, delay - 1), 0);
  EXPECT_EQ(Left(out, delay), 1000);

  // Queued 15 ms before the pass: only 5 ms are left to wait.
  MixPlay(sound.get(), 0, 0);
  testMillis += 15;
  out = device.Mix();
  EXPECT_EQ(Left(out, 219), 1000);
  EXPECT_EQ(Left(out, 220), 2000);
}

TEST_F(MixerTest, PauseKeepsThePositionAndChangesApplyWithoutRamp) {
  Buffer sound = Ramp(4000, 8, MIX_OUTPUT_RATE, true);
  const int channel = MixPlay(sound.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  MixSetPaused(channel, 1);
  EXPECT_GT(MixChannelState(channel), 1) << "paused counts as playing";
  std::vector<int16_t> out = device.Mix(3);
  for (int16_t sample : out) ASSERT_EQ(sample, 0);
  MixSetVolume(channel, 0.5f);
  MixSetPaused(channel, 0);
  out = device.Mix();
  EXPECT_EQ(Left(out, 0), 8 * 512 / 2) << "resumes where it paused, at the new level at once";
  EXPECT_EQ(Left(out, 511), 8 * 1023 / 2);
}

// The game thread pauses a voice and sets its volume and rate while a pass
// ramps its volume: the pass's write-back loses none of it, so the voice
// stays paused where it was and resumes at the new values at once.
TEST_F(MixerTest, APauseAndChangesMadeDuringAPassHold) {
  Buffer sound = Ramp(4000, 8, MIX_OUTPUT_RATE, true);
  const int channel = MixPlay(sound.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  MixSetVolume(channel, 0.5f);
  MixWithRace(device, [channel] {
    MixSetPaused(channel, 1);
    MixSetVolume(channel, 0.25f);
    MixSetRate(channel, 2.0f);
  });
  std::vector<int16_t> out = device.Mix(2);
  for (int16_t sample : out) ASSERT_EQ(sample, 0) << "the pause holds";
  EXPECT_EQ(MixChannelState(channel), VOICE_PLAYING_LOOPED | VOICE_PAUSED);
  MixSetPaused(channel, 0);
  out = device.Mix();
  // Two passes played source frames 0..1023; on from frame 1024, every
  // second frame at a quarter of full level.
  for (int frame = 0; frame < 512; ++frame) {
    ASSERT_EQ(Left(out, frame), 2 * (1024 + 2 * frame)) << frame;
  }
}

// More one-shot voices finish in one pass than the return ring holds, while
// the game thread takes none back: those left over are finished all the same
// and never mixed again (their position is past their data), and go back
// once the game thread makes room.
TEST_F(MixerTest, FinishedVoicesBeyondTheReturnRingAreNeverMixedAgain) {
  Buffer blip = Constant(10, 1000);
  std::vector<int> channels;
  for (int i = 0; i < 4095; ++i) channels.push_back(MixPlay(blip.get(), 0, 0));
  device.Mix();  // takes them in while their start delay runs
  for (int i = 0; i < 4095; ++i) ASSERT_EQ(MixPlay(blip.get(), 0, 0), 0) << "no channel left";
  PassStartDelay();
  device.Mix();  // all 8190 finish here
  const std::vector<int16_t> out = device.Mix(2);
  for (int16_t sample : out) ASSERT_EQ(sample, 0);
  for (int channel : channels) ASSERT_LE(MixChannelState(channel), 1) << channel;

  MixAllocChannel();  // takes back the first 4095
  device.Mix();
  MixAllocChannel();
  EXPECT_EQ(device.mix->spare.size(), device.mix->voices.size());
  EXPECT_EQ(device.mix->active, nullptr);
  EXPECT_EQ(blip->RefCount(), 1) << "every voice let go of the data";
}

TEST_F(MixerTest, StoppedChannelsStaySilent) {
  Buffer sound = Constant(100, 1000, true);
  const int channel = MixPlay(sound.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  MixStop(channel);
  MixSetPaused(channel, 1);
  MixSetPaused(channel, 0);
  EXPECT_LE(MixChannelState(channel), 1);
  const std::vector<int16_t> out = device.Mix();
  for (int16_t sample : out) ASSERT_EQ(sample, 0);
  EXPECT_LE(MixChannelState(channel), 1);
}

TEST_F(MixerTest, PlayingOnAChannelReplacesItsVoiceAndKeepsItsParameters) {
  Buffer first = Constant(100, 1000, true);
  Buffer second = Constant(100, 3000, true);
  const int channel = MixAllocChannel();
  ASSERT_NE(channel, 0);
  EXPECT_EQ(MixChannelState(channel), 1) << "a fresh channel answers as stopped";
  MixSetVolume(channel, 0.5f);
  MixSetPan(channel, 1.0f);
  EXPECT_EQ(MixPlay(first.get(), 0, channel), channel);
  PassStartDelay();
  device.Mix();
  EXPECT_EQ(MixPlay(second.get(), 0, channel), channel);
  PassStartDelay();
  device.Mix();
  const std::vector<int16_t> out = device.Mix();
  EXPECT_EQ(Left(out, 0), 0);
  EXPECT_EQ(Right(out, 0), 1500) << "only the second sound, at the channel's volume";

  // Many replays on one channel reuse a few voices; none is left behind.
  for (int i = 0; i < 3000; ++i) {
    MixPlay(first.get(), 0, channel);
    PassStartDelay();
    device.Mix();
  }
  EXPECT_LT(device.mix->voices.size(), 8u);
  int active = 0;
  for (auto* voice = device.mix->active; voice; voice = voice->next) ++active;
  EXPECT_EQ(active, 1);
}

TEST_F(MixerTest, StaleHandlesNeverTouchTheNewOwnerOfTheirIndex) {
  Buffer blip = Constant(10, 1000);
  Buffer tone = Constant(100, 2000, true);
  const int old = MixPlay(blip.get(), 0, 0);
  PassStartDelay();
  device.Mix();
  // The finished voice gives its handle back; the index comes out again with
  // a new generation.
  const int current = MixPlay(tone.get(), 0, 0);
  EXPECT_EQ(current & 4095, old & 4095);
  EXPECT_NE(current, old);
  MixSetVolume(current, 0.5f);
  EXPECT_EQ(MixChannelState(old), 0);

  EXPECT_EQ(MixPlay(tone.get(), 0, old), old);
  MixSetVolume(old, 0.0f);
  MixStop(old);
  PassStartDelay();
  device.Mix();
  const std::vector<int16_t> out = device.Mix();
  EXPECT_EQ(Left(out, 0), 1000 + 2000)
      << "the stale play runs with defaults beside the current one";
  EXPECT_EQ(MixChannelState(old), 0);
  EXPECT_EQ(MixChannelState(current), VOICE_PLAYING_LOOPED);
  EXPECT_EQ(MixChannelState(0), 0);
  EXPECT_EQ(MixChannelState(-5), 0);
  EXPECT_EQ(MixChannelState(4096), 0) << "index 0 is never a channel";
}

TEST_F(MixerTest, ChannelsRunOutAtFourThousandNinetyFive) {
  std::set<int> handles;
  for (int i = 0; i < 4095; ++i) handles.insert(MixAllocChannel());
  EXPECT_EQ(handles.size(), 4095u);
  EXPECT_EQ(handles.count(0), 0u);
  EXPECT_EQ(MixAllocChannel(), 0);

  Buffer sound = Constant(100, 1000);
  EXPECT_EQ(MixPlay(sound.get(), 0, 0), 0) << "still plays, without a channel";
  PassStartDelay();
  const std::vector<int16_t> out = device.Mix();
  EXPECT_EQ(Left(out, 0), 1000);
}

TEST_F(MixerTest, AFullQueueRefusesVoicesInsteadOfOverwriting) {
  Buffer sound = Constant(1000, 1);
  int accepted = 0;
  for (int i = 0; i < 5000; ++i) accepted += MixPlay(sound.get(), 0, 0) != 0;
  EXPECT_EQ(accepted, 4095);
  PassStartDelay();
  const std::vector<int16_t> out = device.Mix();
  EXPECT_EQ(Left(out, 0), 4095);
}

TEST_F(MixerTest, ParameterValuesAreClampedToTheirFixedPointRange) {
  Buffer sound = Constant(100, 100, true);
  const int channel = MixPlay(sound.get(), 1, 0);
  auto* voice = device.mix->voices.back().get();
  MixSetVolume(channel, 100.0f);
  EXPECT_EQ(voice->getvolume(MIX_TARGET), 32767);
  MixSetVolume(channel, -100.0f);
  EXPECT_EQ(voice->getvolume(MIX_TARGET), -32768);
  MixSetVolume(channel, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(voice->getvolume(MIX_TARGET), 0);
  MixSetPan(channel, -9.0f);
  EXPECT_EQ(voice->getpan(MIX_TARGET), -32768);
  MixSetDepth(channel, -0.5f);
  EXPECT_EQ(voice->getdepth(MIX_TARGET), -2048);
  EXPECT_EQ(voice->getdepth(MIX_CURRENT), 0) << "depth sets only its target";
  MixSetRate(channel, 1.5f);
  EXPECT_EQ(voice->getrate(MIX_CURRENT), 98304);
  MixSetRate(channel, -2.0f);
  EXPECT_EQ(voice->getrate(MIX_TARGET), 0) << "no running backwards out of the data";
  MixSetRate(channel, 1e12f);
  EXPECT_EQ(voice->getrate(MIX_TARGET), std::numeric_limits<int>::max());
  MixSetVolume(channel, 1.0f);
  MixSetPan(channel, 0.0f);
  MixSetDepth(channel, 0.0f);
  MixSetPaused(channel, 0);
  PassStartDelay();
  // A huge rate on a short loop still wraps within the data: every frame
  // reads one of its frames.
  const std::vector<int16_t> out = device.Mix(4);
  for (int16_t sample : out) ASSERT_EQ(sample, 100);
  EXPECT_EQ(MixChannelState(channel), VOICE_PLAYING_LOOPED);
}

TEST_F(MixerTest, BuffersAreCopiedAndRefusedWhenUnplayable) {
  std::vector<int16_t> data(200, 500);
  Buffer sound(MixCreateBuffer(100, 16, 2, 44100, data.data(), 0));
  ASSERT_TRUE(sound);
  data.assign(200, 0);
  EXPECT_EQ(sound->Samples()[0], 500);
  EXPECT_EQ(sound->bytes, 400u);
  EXPECT_EQ(sound->bytesPerFrame, 4);
  EXPECT_EQ(sound->RefCount(), 1);
  EXPECT_FALSE(Buffer(MixCreateBuffer(0, 16, 2, 44100, data.data(), 0)));
  EXPECT_FALSE(Buffer(MixCreateBuffer(100, 8, 2, 44100, data.data(), 0)));
  EXPECT_FALSE(Buffer(MixCreateBuffer(100, 16, 3, 44100, data.data(), 0)));
  EXPECT_FALSE(Buffer(MixCreateBuffer(100, 16, 2, 0, data.data(), 0)));
  // A voice plays on after its sound let go of the data, and the voice lets
  // go of it when it is done.
  data.assign(200, 700);
  pcmbuffer* raw = MixCreateBuffer(100, 16, 2, 44100, data.data(), 1);
  const int channel = MixPlay(raw, 0, 0);
  EXPECT_EQ(raw->RefCount(), 2);
  MixReleaseBuffer(raw);
  PassStartDelay();
  EXPECT_EQ(Left(device.Mix(), 0), 700);
  EXPECT_EQ(raw->RefCount(), 1);
  MixStop(channel);
  EXPECT_EQ(Left(device.Mix(), 0), 0);
  EXPECT_EQ(MixChannelState(channel), 0) << "the voice went back, and its data with it";
}

TEST(MixerClosed, EverythingIsHarmlessWithoutADevice) {
  EXPECT_EQ(MixCreateBuffer(10, 16, 2, 44100, nullptr, 0), nullptr);
  EXPECT_EQ(MixAllocChannel(), 0);
  EXPECT_EQ(MixPlay(nullptr, 0, 77), 77);
  EXPECT_EQ(MixChannelState(8193), 0);
  MixStop(8193);
  MixSetVolume(8193, 1.0f);
  MixReleaseBuffer(nullptr);
  MixShutdown();

  auto refused = std::make_unique<capturedevice>();
  refused->opens = false;
  EXPECT_EQ(MixOpenDevice(std::move(refused)), -1);
  EXPECT_EQ(MixDevice(), nullptr);
}

// A late refill costs no restart: mixing goes on at once, with more lead.
TEST(MixerRefill, KeepsItsLeadAndGoesOnAtOnceWhenLate) {
  CaptureMixer opened;
  capturedevice& device = *opened.device;
  device.RefillDevice();
  EXPECT_EQ(device.written, 6) << "six fragments ahead before anything plays";
  device.played = 1000;
  device.RefillDevice();
  EXPECT_EQ(device.written, 7) << "any progress lets it write one fragment more";
  device.played = 1024;
  device.RefillDevice();
  EXPECT_EQ(device.written, 7);
  device.where = audiodevice::position::unknown;
  device.played = 100000;
  device.RefillDevice();
  EXPECT_EQ(device.written, 7);
  device.where = audiodevice::position::known;

  // The play position runs to within two fragments of what was written.
  device.played = 6 * 1024;
  device.RefillDevice();
  EXPECT_EQ(device.lead, 8);
  EXPECT_EQ(device.writePosition, 14u * 1024) << "eight fragments ahead at once";

  // Further underruns add two fragments of lead each time, up to ten.
  for (int underrun = 0; underrun < 3; ++underrun) {
    device.played = device.writePosition;
    device.RefillDevice();
  }
  EXPECT_EQ(device.lead, audiodevice::MAX_LEAD);
}

}  // namespace
