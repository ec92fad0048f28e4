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
  bool Open(std::string& failure) override {
    calls += "open ";
    failure = "no card";
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

// Headphones pulled out or the default output changed: the port's count goes
// back, or its reads fail 20 times in a row. The wave mapper is opened again,
// at most once a second, and the voices play on in the new ring.
TEST_F(WinmmDevice, ALostOutputIsOpenedAgainAtMostOnceASecond) {
  ASSERT_TRUE(opened);
  std::vector<int16_t> frames(2 * 100, 500);
  pcmbuffer* tone = MixCreateBuffer(100, 16, 2, MIX_OUTPUT_RATE, frames.data(), 1);
  MixPlay(tone, 0, 0);
  testMillis += audiodevice::REOPEN_INTERVAL_MS - 1;
  Play(20, FRAGMENT_BYTES);
  port->played -= FRAGMENT_BYTES;
  port->calls.clear();
  port->Tick();
  EXPECT_EQ(port->calls, "") << "not within a second of the last opening";
  ++testMillis;
  port->Tick();
  EXPECT_EQ(port->calls, "reset close open prepare write ");
  EXPECT_EQ(FragmentAt(0)[0], 500) << "the voice plays on";

  port->reads = false;
  testMillis += audiodevice::REOPEN_INTERVAL_MS;
  port->calls.clear();
  Play(winmmdevice::LOST_AFTER_FAILED_READS - 1, 0);
  EXPECT_EQ(port->calls, "");
  port->Tick();
  EXPECT_EQ(port->calls, "reset close open prepare write ");
  MixReleaseBuffer(tone);
}

// The timer thread stalls and the looping ring's cursor runs past what was
// written: it plays silence, not the ring's last lap, and mixing goes on at
// once from two fragments past it, with no restart.
TEST_F(WinmmDevice, ALateTickCostsSilenceAsLongAsTheStallAndNoRestart) {
  ASSERT_TRUE(opened);
  std::vector<int16_t> frames(2 * 100, 500);
  pcmbuffer* tone = MixCreateBuffer(100, 16, 2, MIX_OUTPUT_RATE, frames.data(), 1);
  MixPlay(tone, 0, 0);
  testMillis += MIX_START_DELAY_MS;
  Play(20, FRAGMENT_BYTES);
  const int16_t* ring = device->ring();
  EXPECT_EQ(std::count(ring, ring + winmmdevice::RING_BYTES / 2, 0), 26 * MIX_FRAGMENT)
      << "silent but for the six fragments that wait to play";

  // The cursor runs three fragments and a bit past what was written.
  port->calls.clear();
  Play(1, 9 * FRAGMENT_BYTES + 100);
  EXPECT_EQ(port->calls, "");
  EXPECT_EQ(FragmentAt(31 * MIX_FRAGMENT)[0], 0) << "what the cursor passed meanwhile is silent";
  EXPECT_EQ(FragmentAt(32 * MIX_FRAGMENT)[0], 500);
  EXPECT_EQ(device->writePosition, 38u * MIX_FRAGMENT);
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
