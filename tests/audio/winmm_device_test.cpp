// The waveOut device over a scripted sound card: the test plays the card's
// part (the play cursor, refused writes) and the timer's (each tick).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "audio/mixer/mix.h"
#include "audio/mixer/winmm/wave_device.h"
#include "tests/audio/capture_device.h"

namespace {

constexpr uint32_t FRAGMENT_BYTES = MIX_FRAGMENT * sizeof(int16_t);

class scriptedport final : public waveport {
 public:
  // Each open is a new output, which counts from 0 and reads well.
  bool Open(std::string& failure) override {
    calls += "open ";
    failure = "no card";
    played = 0;
    reads = true;
    return opens;
  }
  bool Prepare(int16_t* ring, uint32_t bytes) override {
    calls += "prepare ";
    EXPECT_EQ(bytes, 65536u);
    ring_ = ring;
    return true;
  }
  bool Write() override {
    calls += "write ";
    return writes;
  }
  bool Position(uint32_t& bytes) override {
    if (holdTick.exchange(false)) {
      tickHeld.store(true);
      while (!tickReleased.load()) std::this_thread::yield();
    }
    ++positions;
    bytes = played;
    return reads;
  }
  void Reset() override {
    calls += "reset ";
    writtenAtReset = device_ ? device_->writePosition : 0;
  }
  void Close() override { calls += "close "; }
  bool StartTimer(audiodevice& device) override {
    calls += "timer ";
    device_ = &device;
    return true;
  }
  // Like a timer that does not wait for its callback: a tick held inside
  // the refill goes on.
  void StopTimer() override {
    calls += "stop-timer ";
    tickReleased.store(true);
  }

  void Tick() { device_->RefillDevice(); }

  bool opens = true;
  bool writes = true;
  bool reads = true;
  uint32_t played = 0;
  std::string calls;
  int positions = 0;
  uint64_t writtenAtReset = 0;
  // The next tick stops inside the cursor query until the timer is stopped.
  std::atomic<bool> holdTick{false}, tickHeld{false}, tickReleased{false};

 private:
  int16_t* ring_ = nullptr;
  audiodevice* device_ = nullptr;
};

// The mixer on a waveOut device over a scripted card, for one test.
class WinmmDevice : public ::testing::Test {
 protected:
  WinmmDevice() {
    auto owned = std::make_unique<scriptedport>();
    port = owned.get();
    auto made = std::make_unique<winmmdevice>(std::move(owned));
    device = made.get();
    device->mix->clock = TestClock;
    testMillis = 1000;
    opened = MixOpenDevice(std::move(made)) == 0;
  }
  ~WinmmDevice() override { MixShutdown(); }

  // Ticks with the cursor moved on by the given bytes each time.
  void Play(int ticks, uint32_t step) {
    for (int i = 0; i < ticks; ++i) {
      port->played += step;
      port->Tick();
    }
  }

  // The ring fragment the cursor's sample value `at` falls in.
  const int16_t* FragmentAt(uint64_t at) const {
    return device->ring() + at / MIX_FRAGMENT % MIX_RING_FRAGMENTS * MIX_FRAGMENT;
  }

  scriptedport* port;
  winmmdevice* device;
  bool opened;
};

// About 6.7 hours in, the card's 32-bit byte count wraps round to 0.
TEST_F(WinmmDevice, ThePlayCursorCountsOnAcrossTheWrapOfTheByteCount) {
  ASSERT_TRUE(opened);
  // Put the device where it stands after 2^32 - 3 fragments of bytes.
  const uint64_t before = (uint64_t{1} << 32) - 3 * FRAGMENT_BYTES;
  port->played = static_cast<uint32_t>(before);
  device->cursor.lastBytes = static_cast<uint32_t>(before);
  device->cursor.bytes = before;
  device->writePosition = before / 2 + 6 * MIX_FRAGMENT;

  std::vector<int16_t> frames(2 * 100, -700);
  pcmbuffer* tone = MixCreateBuffer(100, 16, 2, MIX_OUTPUT_RATE, frames.data(), 1);
  MixPlay(tone, 0, 0);
  testMillis += MIX_START_DELAY_MS;
  for (int tick = 0; tick < 10; ++tick) {
    Play(1, FRAGMENT_BYTES);
    const uint64_t play = before / 2 + static_cast<uint64_t>(tick + 1) * MIX_FRAGMENT;
    ASSERT_EQ(device->writePosition, play + 6 * MIX_FRAGMENT) << "tick " << tick;
    const int16_t* mixed = FragmentAt(device->writePosition - MIX_FRAGMENT);
    ASSERT_TRUE(std::all_of(mixed, mixed + MIX_FRAGMENT, [](int16_t v) { return v == -700; }));
  }
  EXPECT_LT(port->played, 8 * FRAGMENT_BYTES) << "the count did wrap";
  EXPECT_EQ(port->calls.find("reset"), std::string::npos) << "and no underrun came of it";
  MixReleaseBuffer(tone);
}

// The timer thread stalls and the looping ring's cursor runs past what was
// written: the ring plays silence where it would have played its last lap
// again, the sound goes on at once where it stopped, and nothing restarts.
TEST_F(WinmmDevice, ALateTickCostsSilenceAsLongAsTheStallAndNoRestart) {
  ASSERT_TRUE(opened);
  // Each frame holds its own number, so the ring shows where the sound is.
  std::vector<int16_t> ramp(2 * 30000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i / 2);
  pcmbuffer* sound = MixCreateBuffer(30000, 16, 2, MIX_OUTPUT_RATE, ramp.data(), 0);
  MixPlay(sound, 0, 0);
  testMillis += MIX_START_DELAY_MS;
  Play(20, FRAGMENT_BYTES);
  ASSERT_EQ(device->writePosition, 26u * MIX_FRAGMENT);
  auto silent = [this](uint64_t from, uint64_t to) {
    const int16_t* ring = device->ring();
    for (uint64_t at = from; at < to; ++at) {
      if (ring[at % (winmmdevice::RING_BYTES / 2)] != 0) return false;
    }
    return true;
  };
  EXPECT_TRUE(silent(26u * MIX_FRAGMENT, 52u * MIX_FRAGMENT)) << "all but what waits to play";
  const int16_t last = FragmentAt(26 * MIX_FRAGMENT - 1)[MIX_FRAGMENT - 1];
  ASSERT_GT(last, 0);

  // Nine fragments and a bit in one tick: three past what was written.
  port->calls.clear();
  Play(1, 9 * FRAGMENT_BYTES + 100);
  EXPECT_EQ(port->calls, "") << "the ring plays on";
  EXPECT_EQ(device->lateRefills, 1);
  EXPECT_EQ(device->lead, 8);
  EXPECT_EQ(device->writePosition, 38u * MIX_FRAGMENT);
  EXPECT_TRUE(silent(26u * MIX_FRAGMENT, 32u * MIX_FRAGMENT));
  EXPECT_EQ(FragmentAt(32 * MIX_FRAGMENT)[0], last + 1) << "on from where the sound was";
  MixReleaseBuffer(sound);
}

// Headphones pulled out or the default output changed: the port's count goes
// back or starts again from 0, or its reads keep failing. The wave mapper is
// opened again, at most once a second, and the voices play on in the new
// ring; a device that does not open again is tried once a second.
TEST_F(WinmmDevice, ALostOutputIsOpenedAgainAtMostOnceASecond) {
  ASSERT_TRUE(opened);
  std::vector<int16_t> frames(2 * 100, 700);
  pcmbuffer* tone = MixCreateBuffer(100, 16, 2, MIX_OUTPUT_RATE, frames.data(), 1);
  MixPlay(tone, 0, 0);
  testMillis += MIX_START_DELAY_MS;
  Play(20, FRAGMENT_BYTES);

  const struct {
    const char* what;
    void (*lose)(scriptedport&);
    int ticks;  // until it counts as lost
  } losses[] = {
      {"the count goes back", [](scriptedport& p) { p.played -= 4; }, 1},
      {"the count starts again", [](scriptedport& p) { p.played = 0; }, 1},
      {"reads fail", [](scriptedport& p) { p.reads = false; },
       winmmdevice::LOST_AFTER_FAILED_READS},
  };
  int reopens = 0;
  uint32_t opening = 1000;
  for (const auto& loss : losses) {
    // Within a second of the last opening the device waits, however lost.
    testMillis = opening + audiodevice::REOPEN_INTERVAL_MS - 1;
    port->calls.clear();
    loss.lose(*port);
    Play(loss.ticks + 1, 0);
    EXPECT_EQ(port->calls, "") << loss.what;
    opening = ++testMillis;
    port->calls.clear();
    Play(1, 0);
    EXPECT_EQ(port->calls, "reset close open prepare write ") << loss.what;
    EXPECT_EQ(device->reopens, ++reopens) << loss.what;
    EXPECT_EQ(device->writePosition, 6u * MIX_FRAGMENT) << loss.what;
    EXPECT_EQ(FragmentAt(0)[0], 700) << loss.what << ": the voice plays on";
    Play(20, FRAGMENT_BYTES);
    EXPECT_EQ(device->lateRefills, 0) << loss.what << ": the new output counts from 0";
  }

  // Reads that fail for a while and then work again lose nothing.
  testMillis += audiodevice::REOPEN_INTERVAL_MS;
  port->reads = false;
  Play(winmmdevice::LOST_AFTER_FAILED_READS - 1, FRAGMENT_BYTES);
  port->reads = true;
  Play(1, FRAGMENT_BYTES);
  EXPECT_EQ(device->reopens, reopens);
  EXPECT_EQ(device->lateRefills, 1) << "the cursor ran on meanwhile";

  // No output to open again: one try a second, the ticks meanwhile harmless.
  port->opens = false;
  port->reads = false;
  testMillis += audiodevice::REOPEN_INTERVAL_MS;
  port->calls.clear();
  for (int tick = 0; tick < 400; ++tick) {
    port->Tick();
    testMillis += MIX_REFILL_PERIOD_MS;
  }
  EXPECT_EQ(port->calls, "reset close open open ");
  port->opens = true;
  testing::internal::CaptureStdout();
  port->writes = false;
  testMillis += audiodevice::REOPEN_INTERVAL_MS;
  Play(1, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "waveOutWrite error\n");
  EXPECT_EQ(FragmentAt(0)[0], 700);
  MixReleaseBuffer(tone);
}

// The timer's thread may be inside a refill when the game closes the device
// (timeKillEvent does not wait for its callback unless asked to): close waits
// for it before taking anything apart, and a tick after that does nothing.
TEST_F(WinmmDevice, CloseWaitsForATickThatIsStillRefilling) {
  ASSERT_TRUE(opened);
  std::vector<int16_t> frames(2 * 100, 300);
  pcmbuffer* tone = MixCreateBuffer(100, 16, 2, MIX_OUTPUT_RATE, frames.data(), 1);
  MixPlay(tone, 0, 0);
  testMillis += MIX_START_DELAY_MS;
  port->played = 3 * FRAGMENT_BYTES;
  port->holdTick.store(true);
  std::thread timer([this] { port->Tick(); });
  while (!port->tickHeld.load()) std::this_thread::yield();
  port->calls.clear();
  device->close();
  EXPECT_EQ(port->calls, "stop-timer reset close ");
  EXPECT_EQ(port->writtenAtReset, 9u * MIX_FRAGMENT) << "the held tick had finished its refill";
  EXPECT_EQ(tone->RefCount(), 1) << "and its voice came back";
  timer.join();

  const int positions = port->positions;
  port->Tick();
  EXPECT_EQ(port->positions, positions) << "a late tick leaves the closed device alone";
  MixReleaseBuffer(tone);
}

TEST(WinmmDeviceOpen, WithoutACardTheMixerStaysClosedAndSaysWhy) {
  auto owned = std::make_unique<scriptedport>();
  owned->opens = false;
  EXPECT_EQ(MixOpenDevice(std::make_unique<winmmdevice>(std::move(owned))), -1);
  EXPECT_EQ(MixDevice(), nullptr);
  EXPECT_EQ(AudioDeviceFailure(), "no audio output on \"wave mapper\" (no card)");

  // A refused first write is reported, and the device still opens, with
  // six fragments mixed before playback and the timer started after it.
  auto refusing = std::make_unique<scriptedport>();
  refusing->writes = false;
  const scriptedport& port = *refusing;
  testing::internal::CaptureStdout();
  ASSERT_EQ(MixOpenDevice(std::make_unique<winmmdevice>(std::move(refusing))), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "waveOutWrite error\n");
  EXPECT_EQ(port.calls, "open prepare write timer ");
  EXPECT_EQ(MixDevice()->writePosition, 6u * MIX_FRAGMENT);
  MixShutdown();
}

}  // namespace
