#pragma once
// An output device for tests: no thread and no sound card. A test mixes
// passes itself, and scripts the play position that refill ticks see.

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/mixer/audio_device.h"
#include "audio/mixer/mix.h"

// The mixer's clock in tests: it moves only when a test moves it.
inline uint32_t testMillis = 1000;
inline uint32_t TestClock() { return testMillis; }

class capturedevice final : public audiodevice {
 public:
  bool open() override {
    mix->outputRate = MIX_OUTPUT_RATE;
    mix->outputChannels = MIX_OUTPUT_CHANNELS;
    mix->clock = TestClock;
    running = true;
    return opens;
  }
  void close() override {
    running = false;
    mix->RecycleAll();
  }

  // Mixes whole passes and gives their interleaved samples.
  std::vector<int16_t> Mix(int passes = 1) {
    std::vector<int16_t> out(static_cast<size_t>(passes * mix->count));
    for (int i = 0; i < passes; ++i) MixPass(*mix, out.data() + i * mix->count);
    return out;
  }

  bool opens = true;
  // What the next refill tick learns of the play position.
  uint64_t played = 0;
  position where = position::known;
  int written = 0;  // fragments handed over

 protected:
  position PlayPosition(uint64_t& play) override {
    play = played;
    return where;
  }
  int16_t* NextFragment() override { return fragment_.data(); }
  bool WriteFragment() override {
    ++written;
    return true;
  }
  bool Reopen() override { return false; }

 private:
  std::vector<int16_t> fragment_ = std::vector<int16_t>(MIX_FRAGMENT);
};

// Opens the mixer on a capture device for one test and shuts it down after.
struct CaptureMixer {
  CaptureMixer() {
    auto owned = std::make_unique<capturedevice>();
    device = owned.get();
    MixOpenDevice(std::move(owned));
    testMillis = 1000;
  }
  ~CaptureMixer() { MixShutdown(); }
  CaptureMixer(const CaptureMixer&) = delete;
  CaptureMixer& operator=(const CaptureMixer&) = delete;

  capturedevice* device;
};
