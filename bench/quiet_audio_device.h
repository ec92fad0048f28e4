#pragma once
// An output device that never plays: benchmarks mix passes themselves, or
// need an open mixer only to create its sounds.

#include "audio/mixer/audio_device.h"

inline uint32_t benchMillis = 0;
inline uint32_t BenchClock() { return benchMillis; }

class quietdevice final : public audiodevice {
 public:
  bool open() override {
    mix->outputRate = MIX_OUTPUT_RATE;
    mix->outputChannels = MIX_OUTPUT_CHANNELS;
    mix->clock = BenchClock;
    return true;
  }
  void close() override { mix->RecycleAll(); }

 protected:
  position PlayPosition(uint64_t&) override { return position::unknown; }
  int16_t* NextFragment() override { return nullptr; }
  bool WriteFragment() override { return false; }
  bool Reopen() override { return false; }
};
