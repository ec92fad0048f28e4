// The ALSA output device for real: the file plugin captures what the refill
// thread writes, and the null plugin takes the output of the stress test.

#include "audio/mixer/alsa/alsa_device.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <thread>

#include "audio/mixer/mix.h"
#include "audio/mixer_audio_driver.h"
#include "audio/sample_loader.h"
#include "audio/wav_loader.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

Ref<TAudioSample> Sine(int frames, int hertz, double frequency, double level) {
  Ref<TAudioSample> sample = NewSample(frames, hertz, SF_MONO16LE);
  auto* data = reinterpret_cast<int16_t*>(sample->samples);
  for (int i = 0; i < frames; ++i) {
    data[i] = static_cast<int16_t>(
        std::lround(level * 32767 * std::sin(2 * std::numbers::pi * frequency * i / hertz)));
  }
  return sample;
}

struct Side {
  double frequency;
  int peak;
};

// Frequency by rising zero crossings, and the peak level, of one side of
// interleaved stereo frames [from, to).
Side Measure(const int16_t* frames, int from, int to, int side, int hertz) {
  int crossings = 0;
  int peak = 0;
  for (int i = from + 1; i < to; ++i) {
    const int before = frames[2 * (i - 1) + side], now = frames[2 * i + side];
    crossings += before < 0 && now >= 0;
    peak = std::max(peak, std::abs(now));
  }
  return {crossings * static_cast<double>(hertz) / (to - from), peak};
}

// The first frame where the side is not silent.
int Onset(const int16_t* frames, int length, int side) {
  for (int i = 0; i < length; ++i) {
    if (frames[2 * i + side] != 0) return i;
  }
  return length;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The longest run of zero samples on one side of frames [from, to).
int LongestSilence(const int16_t* frames, int from, int to, int side) {
  int longest = 0, run = 0;
  for (int i = from; i < to; ++i) {
    run = frames[2 * i + side] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

bool WaitUntilStopped(const Ref<TChannel>& channel) {
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
  while (IsChannelPlaying(channel) && Clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return !IsChannelPlaying(channel);
}

// The mixer on the file plugin for one test: the times around opening and
// closing bracket the time the device ran, whatever the machine's load does
// to the test's own thread.
class Capture {
 public:
  Capture() {
    setenv("ZORP_AUDIO_DEVICE", ("file:FILE=" + path + ",FORMAT=wav").c_str(), 1);
    beforeOpen = Clock::now();
    opened = MixOpen() == 0;
    afterOpen = Clock::now();
    if (opened) SetAudioDriver(New<TMixerAudioDriver>());
  }
  ~Capture() { Close(); }

  Ref<TAudioSample> Close() {
    if (!opened) return nullptr;
    opened = false;
    beforeClose = Clock::now();
    MixShutdown();
    afterClose = Clock::now();
    SetAudioDriver(New<TAudioDriver>());
    StartWavLoader();
    return LoadSample(path.c_str());
  }

  // The device ran at least from the open's return to the close's call...
  double Least() const { return Seconds(beforeClose - afterOpen); }
  // ...and wrote at most until the close returned, with its largest lead.
  double Most() const {
    return Seconds(afterClose - beforeOpen) +
           audiodevice::MAX_LEAD * MIX_FRAGMENT / MIX_OUTPUT_CHANNELS / 44100.0;
  }

  TempDir dir;
  const std::string path = dir / "out.wav";
  bool opened = false;
  Clock::time_point beforeOpen, afterOpen, beforeClose, afterClose;
};

TEST(AlsaDevice, PlaysAtRealTimeIntoACapturedFile) {
  Capture capture;
  ASSERT_TRUE(capture.opened);

  // Left: a 440 Hz one-shot of half a second. Right: a looped 20 ms of
  // 1050 Hz (21 whole cycles at 22050 Hz), which must run on to the end.
  const Ref<TChannel> once = PlaySound(LoadSound(Sine(22050, 44100, 440, 0.5), 0), nullptr);
  SetChannelPan(once, -1.0f);
  const Ref<TChannel> loop = StartSoundPaused(LoadSound(Sine(441, 22050, 1050, 0.8), 1), nullptr);
  SetChannelPan(loop, 1.0f);
  SetChannelVolume(loop, 0.5f);
  ResumeChannel(loop);
  const Clock::time_point requested = Clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_TRUE(WaitUntilStopped(once));
  // Enough of the loop alone to measure it.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(IsChannelPlaying(loop), 1);
  const Ref<TAudioSample> captured = capture.Close();
  ASSERT_TRUE(captured);
  ASSERT_EQ(captured->format, SF_STEREO16LE);
  ASSERT_EQ(captured->hertz, 44100);
  const double seconds = captured->length / 44100.0;
  EXPECT_GE(seconds, capture.Least() * 0.95) << "real time";
  EXPECT_LE(seconds, capture.Most()) << "never ahead of real time by more than the lead";

  const auto* frames = reinterpret_cast<const int16_t*>(captured->samples);
  const int length = captured->length;
  // Each side starts within its start delay and the largest lead of the
  // time it was asked for, however long the test's thread took to ask.
  const int soon = static_cast<int>(Seconds(requested - capture.beforeOpen) * 44100) +
                   MIX_START_DELAY_MS * 44100 / 1000 +
                   (audiodevice::MAX_LEAD + 1) * MIX_FRAGMENT / MIX_OUTPUT_CHANNELS;
  const int start = Onset(frames, length, 0);
  ASSERT_LE(start, soon) << "the sound starts soon";
  EXPECT_LE(Onset(frames, length, 1), soon);
  ASSERT_GE(length, start + 22100 + 20000) << "the measures below stay inside the capture";
  const Side tone = Measure(frames, start, start + 20000, 0, 44100);
  EXPECT_NEAR(tone.frequency, 440, 5);
  EXPECT_NEAR(tone.peak, 16384, 400);
  EXPECT_EQ(Measure(frames, start + 22100, length, 0, 44100).peak, 0) << "the one-shot ended";
  const Side looped = Measure(frames, length - 20000, length, 1, 44100);
  EXPECT_NEAR(looped.frequency, 1050, 10);
  EXPECT_NEAR(looped.peak, 0.8 * 32767 / 2, 400);
}

// The refill thread starved well past its lead (a real-time thread of higher
// priority spins on the only processor it may use): a device metered by the
// clock holds its clock back instead of going silent for a restart, and the
// sound goes on intact from where it was.
TEST(AlsaDevice, AStarvedRefillThreadHoldsTheClockAndLosesNoSound) {
  cpu_set_t all, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  // Threads made from here on inherit the one processor.
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  struct RestoreAffinity {
    cpu_set_t set;
    ~RestoreAffinity() { sched_setaffinity(0, sizeof set, &set); }
  } restore{all};

  Capture capture;
  ASSERT_TRUE(capture.opened);
  const Ref<TChannel> once = PlaySound(LoadSound(Sine(22050, 44100, 440, 0.5), 0), nullptr);
  constexpr auto STARVED = std::chrono::milliseconds(300);
  bool spun = false;
  std::thread hog([&spun, STARVED] {
    sched_param param{};
    param.sched_priority = 50;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) != 0) return;
    spun = true;
    const Clock::time_point end = Clock::now() + STARVED;
    while (Clock::now() < end) {
    }
  });
  hog.join();
  if (!spun) GTEST_SKIP() << "real-time scheduling is not allowed here";
  EXPECT_TRUE(WaitUntilStopped(once));
  const Ref<TAudioSample> captured = capture.Close();
  ASSERT_TRUE(captured);

  // Only the starved time is missing: a restart would have lost 1.25 s more.
  const double seconds = captured->length / 44100.0;
  EXPECT_GE(seconds, capture.Least() - Seconds(STARVED) - 0.05);
  EXPECT_LE(seconds, capture.Most());
  const auto* frames = reinterpret_cast<const int16_t*>(captured->samples);
  const int length = captured->length;
  const int start = Onset(frames, length, 0);
  ASSERT_LE(start + 22050, length);
  const Side tone = Measure(frames, start, start + 22050, 0, 44100);
  EXPECT_NEAR(tone.frequency, 440, 2);
  EXPECT_NEAR(tone.peak, 16384, 400);
  EXPECT_LE(LongestSilence(frames, start, start + 22050, 0), 1) << "no gap in the sound";
  EXPECT_EQ(Measure(frames, start + 22100, length, 0, 44100).peak, 0) << "played once";
}

TEST(AlsaDevice, WithoutADeviceTheSilentDriverStays) {
  setenv("ZORP_AUDIO_DEVICE", "zorp_no_such_device", 1);
  testing::internal::CaptureStderr();
  StartMixerAudio();
  StartMixerAudio();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.rfind("Sound is off: no audio output on \"zorp_no_such_device\" (", 0), 0u)
      << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "one line, once: " << said;
  EXPECT_EQ(MixDevice(), nullptr);
  EXPECT_FALSE(Cast<TMixerAudioDriver>(CurrentAudioDriver()));
  const Ref<TChannel> channel = PlaySound(LoadSound(Sine(100, 44100, 440, 0.5), 0), nullptr);
  ASSERT_TRUE(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  EXPECT_TRUE(NewChannel());
}

// Delay reads fail on cue; all else is ALSA's null device.
std::atomic<int> failWith{0}, delayReads{0};
std::atomic<uint32_t> millis{0};
alsadelay realDelay = nullptr;
int ScriptedDelay(snd_pcm_t* pcm, snd_pcm_sframes_t* delay) {
  ++delayReads;
  const int error = failWith.exchange(0);
  return error != 0 ? error : realDelay(pcm, delay);
}

// A device that ran dry is made ready and refilled at once; one that
// snd_pcm_recover cannot mend is opened again by its name, at most once a
// second by the mixer's clock, and the sounds being mixed play on.
TEST(AlsaDevice, RecoversAnUnderrunAndOpensALostDeviceAgain) {
  setenv("ZORP_AUDIO_DEVICE", "null", 1);
  realDelay = SetAlsaDelay(ScriptedDelay);
  std::unique_ptr<audiodevice> made = NewPlatformAudioDevice();
  made->mix->clock = [] { return millis.load(); };
  const audiodevice& device = *made;
  ASSERT_EQ(MixOpenDevice(std::move(made)), 0);
  SetAudioDriver(New<TMixerAudioDriver>());
  // Fails the next delay read and waits for the tick after it: a read counted
  // after the failure is set fails, or comes after the one that did.
  auto failOnce = [](int error) {
    failWith = error;
    const int read = delayReads;
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
    while (delayReads < read + 2 && Clock::now() < limit) std::this_thread::yield();
    return delayReads >= read + 2;
  };
  const int late = device.lateRefills;
  ASSERT_TRUE(failOnce(-EPIPE));
  EXPECT_GT(device.lateRefills, late);
  ASSERT_TRUE(failOnce(-ENODEV));
  EXPECT_EQ(device.reopens, 0) << "not within a second of the last opening";
  millis = audiodevice::REOPEN_INTERVAL_MS;
  ASSERT_TRUE(failOnce(-ENODEV));
  EXPECT_EQ(device.reopens, 1);
  const Ref<TChannel> once = PlaySound(LoadSound(Sine(4410, 44100, 440, 0.5), 0), nullptr);
  EXPECT_TRUE(WaitUntilStopped(once)) << "the opened device mixes on";
  MixShutdown();
  SetAudioDriver(New<TAudioDriver>());
  SetAlsaDelay(realDelay);
}

// The game thread plays, steers and drops channels as fast as it can while
// the refill thread mixes; the thread sanitizer build runs this too.
TEST(AlsaDevice, GameAndRefillThreadsShareOnlyWhatIsSafe) {
  setenv("ZORP_AUDIO_DEVICE", "null", 1);
  ASSERT_EQ(MixOpen(), 0);
  SetAudioDriver(New<TMixerAudioDriver>());
  const Ref<TSound> sounds[] = {LoadSound(Sine(300, 44100, 880, 0.3), 0),
                                LoadSound(Sine(2000, 22050, 220, 0.3), 0),
                                LoadSound(Sine(500, 11025, 330, 0.3), 1)};
  std::mt19937 random(7);
  std::vector<Ref<TChannel>> channels;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(600);
  while (Clock::now() < end) {
    const Ref<TSound>& sound = sounds[random() % 3];
    const size_t pick = channels.empty() ? 0 : random() % channels.size();
    switch (random() % 8) {
      case 0:
      case 1:
        if (Ref<TChannel> channel = StartSoundPaused(sound, nullptr)) {
          SetChannelVolume(channel, 0.5f);
          ResumeChannel(channel);
          channels.push_back(channel);
        }
        break;
      case 2:
        // One-shot sounds only: a looped one played on a channel that has
        // gone stale plays on, with nothing left to stop it by.
        if (!channels.empty()) PlaySound(sounds[random() % 2], channels[pick]);
        break;
      case 3:
        if (!channels.empty()) StopChannel(channels[pick]);
        break;
      case 4:
        if (!channels.empty()) PauseChannel(channels[pick]);
        break;
      case 5:
        if (!channels.empty()) ResumeChannel(channels[pick]);
        break;
      case 6:
        if (!channels.empty()) {
          SetChannelRate(channels[pick], 0.5f + (random() % 100) / 50.0f);
          SetChannelPan(channels[pick], (random() % 200) / 100.0f - 1.0f);
        }
        break;
      default:
        std::erase_if(channels, [](const Ref<TChannel>& c) { return !IsChannelPlaying(c); });
        break;
    }
    if (random() % 64 == 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  for (const Ref<TChannel>& channel : channels) StopChannel(channel);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (const Ref<TChannel>& channel : channels) EXPECT_EQ(IsChannelPlaying(channel), 0);

  // Every voice comes back, and more rounds of sounds need no new ones. The
  // wait allows for the silence after an underrun on a busy machine.
  const mixer& mix = *MixDevice()->mix;
  auto allBack = [&mix] {
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < limit) {
      MixAllocChannel();  // takes back what the mixer has finished with
      if (mix.spare.size() == mix.voices.size()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  ASSERT_TRUE(allBack()) << mix.spare.size() << " of " << mix.voices.size() << " back";
  const size_t voices = mix.voices.size();
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 50; ++i) PlaySound(sounds[0], nullptr);
    ASSERT_TRUE(allBack());
  }
  EXPECT_EQ(mix.voices.size(), voices);
  MixShutdown();
  SetAudioDriver(New<TAudioDriver>());
}

}  // namespace
