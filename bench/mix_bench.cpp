// One mix pass of 512 frames with 1, 8 and 64 looped voices, at the normal
// rate and at rate 1.37 with a volume ramp in every pass, against a plain
// floating-point mixer doing the same work (the reference). The counter
// ns_per_frame is the time per output frame.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/mixer/mix.h"
#include "bench/quiet_audio_device.h"

namespace {

constexpr int FRAMES = MIX_FRAGMENT / 2;
constexpr int SOURCE_FRAMES = 22050;

std::vector<int16_t> Source() {
  std::vector<int16_t> data(SOURCE_FRAMES * 2);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<int16_t>(8000 * std::sin(static_cast<double>(i) * 0.01));
  }
  return data;
}

void PerFrame(benchmark::State& state) {
  state.counters["ns_per_frame"] = benchmark::Counter(
      FRAMES, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Mix_zorp(benchmark::State& state, int voices, bool ramped) {
  MixOpenDevice(std::make_unique<quietdevice>());
  const std::vector<int16_t> data = Source();
  pcmbuffer* buffer = MixCreateBuffer(SOURCE_FRAMES, 16, 2, 44100, data.data(), 1);
  std::vector<int> channels;
  for (int i = 0; i < voices; ++i) {
    channels.push_back(MixPlay(buffer, 0, 0));
    MixSetVolume(channels.back(), 0.1f);
    if (ramped) MixSetRate(channels.back(), 1.37f);
  }
  benchMillis += MIX_START_DELAY_MS;
  mixer& mix = *MixDevice()->mix;
  std::vector<int16_t> out(MIX_FRAGMENT);
  float volume = 0.1f;
  for (auto _ : state) {
    if (ramped) {
      volume = volume == 0.1f ? 0.09f : 0.1f;
      for (int channel : channels) MixSetVolume(channel, volume);
    }
    MixPass(mix, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  PerFrame(state);
  MixReleaseBuffer(buffer);
  MixShutdown();
}

// The same mix in single-precision floating point, written plainly.
void Mix_reference(benchmark::State& state, int voices, bool ramped) {
  const std::vector<int16_t> data = Source();
  struct voice {
    double position = 0;
    float gain = 0.1f;
  };
  std::vector<voice> playing(static_cast<size_t>(voices));
  std::vector<float> acc(MIX_FRAGMENT);
  std::vector<int16_t> out(MIX_FRAGMENT);
  const double step = ramped ? 1.37 : 1.0;
  float target = 0.1f;
  for (auto _ : state) {
    if (ramped) target = target == 0.1f ? 0.09f : 0.1f;
    for (voice& v : playing) {
      const float delta = (target - v.gain) / FRAMES;
      for (int i = 0; i < FRAMES; ++i) {
        const size_t index = static_cast<size_t>(v.position) * 2;
        acc[2 * i] += data[index] * v.gain;
        acc[2 * i + 1] += data[index + 1] * v.gain;
        v.position += step;
        if (v.position >= SOURCE_FRAMES) v.position -= SOURCE_FRAMES;
        v.gain += delta;
      }
      v.gain = target;
    }
    for (int i = 0; i < MIX_FRAGMENT; ++i) {
      out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768.0f, 32767.0f));
      acc[i] = 0;
    }
    benchmark::DoNotOptimize(out.data());
  }
  PerFrame(state);
}

const bool registered = [] {
  for (int voices : {1, 8, 64}) {
    const std::string cases[] = {"Mix/" + std::to_string(voices) + "voices/rate1",
                                 "Mix/" + std::to_string(voices) + "voices/rate1.37ramp"};
    for (int ramped = 0; ramped < 2; ++ramped) {
      benchmark::RegisterBenchmark((cases[ramped] + "/zorp").c_str(), Mix_zorp, voices,
                                   ramped != 0);
      benchmark::RegisterBenchmark((cases[ramped] + "/reference").c_str(), Mix_reference, voices,
                                   ramped != 0);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
