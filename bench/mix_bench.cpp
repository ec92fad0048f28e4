// One mix pass of 512 frames with 1, 8 and 64 looped voices against a
// reference doing the same work in the same run: SDL2_mixer where the build
// has it, mixing the same data with the same voices at volume 13/128 (ours:
// 0.1, which is 409/4096), else a plain floating-point mixer. SDL2_mixer
// cannot change a voice's rate, so the cases at rate 1.37 with a volume ramp
// in every pass measure against the floating-point mixer everywhere. The
// 22050 Hz cases play a sample of half the output rate: we convert as we
// mix (stepping through the data as at any rate but 1), SDL2_mixer once as
// it loads (its load is measured on its own, per sample frame). The counter
// ns_per_frame is the time per output frame.
//
// mix_bench --instructions, run under callgrind (--collect-atstart=no),
// counts each case's passes alone and dumps the counts, one dump a case,
// named "<case> frames=<frames counted>".

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "audio/mixer/mix.h"
#include "bench/quiet_audio_device.h"
#ifdef ZORP_SDL_MIXER
#include "bench/sdl_mixer_reference.h"
#endif
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ZORP_CALLGRIND
#endif

namespace {

constexpr int FRAMES = MIX_FRAGMENT / 2;
constexpr int SOURCE_FRAMES = 22050;
constexpr float VOLUME = 0.1f;
constexpr float RAMPED_VOLUME = 0.09f;
constexpr int SDL_VOLUME = 13;  // of 128

// Stereo frames of a sine, each side its own phase.
std::vector<int16_t> Source() {
  std::vector<int16_t> data(SOURCE_FRAMES * 2);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<int16_t>(8000 * std::sin(static_cast<double>(i) * 0.01));
  }
  return data;
}

struct mixcase {
  int voices;
  float rate;  // ramped cases change the volume in every pass too
  int hertz;

  bool Ramped() const { return rate != 1.0f; }
  std::string Name() const {
    std::string name = "Mix/" + std::to_string(voices) + "voices/";
    if (hertz != MIX_OUTPUT_RATE) return name + std::to_string(hertz) + "Hz";
    return name + (Ramped() ? "rate1.37ramp" : "rate1");
  }
};

const mixcase CASES[] = {{1, 1.0f, 44100},  {8, 1.0f, 44100},  {64, 1.0f, 44100},
                         {1, 1.37f, 44100}, {8, 1.37f, 44100}, {64, 1.37f, 44100},
                         {1, 1.0f, 22050},  {64, 1.0f, 22050}};

// Volume of a ramped case's next pass: it swings between two levels.
float NextVolume(float volume) { return volume == VOLUME ? RAMPED_VOLUME : VOLUME; }

// One way of mixing a case, its voices playing from the first pass on.
class mixing {
 public:
  virtual ~mixing() = default;
  virtual void Pass(int16_t* out) = 0;
};

class ourmixer final : public mixing {
 public:
  explicit ourmixer(const mixcase& c) : ramped_(c.Ramped()) {
    MixOpenDevice(std::make_unique<quietdevice>());
    buffer_ = MixCreateBuffer(SOURCE_FRAMES, 16, 2, c.hertz, data_.data(), 1);
    // Set while paused, the parameters hold from the first frame on.
    for (int i = 0; i < c.voices; ++i) {
      const int channel = channels_.emplace_back(MixPlay(buffer_, 1, 0));
      MixSetVolume(channel, VOLUME);
      MixSetRate(channel, c.rate);
      MixSetPaused(channel, 0);
    }
    benchMillis += MIX_START_DELAY_MS;
  }
  ~ourmixer() override {
    MixReleaseBuffer(buffer_);
    MixShutdown();
  }

  void Pass(int16_t* out) override {
    if (ramped_) {
      volume_ = NextVolume(volume_);
      for (int channel : channels_) MixSetVolume(channel, volume_);
    }
    MixPass(*MixDevice()->mix, out);
  }

 private:
  std::vector<int16_t> data_ = Source();
  pcmbuffer* buffer_;
  std::vector<int> channels_;
  bool ramped_;
  float volume_ = VOLUME;
};

// The same mix in single-precision floating point, written plainly.
class floatmixer final : public mixing {
 public:
  explicit floatmixer(const mixcase& c)
      : playing_(static_cast<size_t>(c.voices)),
        step_(static_cast<double>(c.rate) * c.hertz / MIX_OUTPUT_RATE),
        ramped_(c.Ramped()) {}

  void Pass(int16_t* out) override {
    if (ramped_) target_ = NextVolume(target_);
    for (voice& v : playing_) {
      const float delta = (target_ - v.gain) / FRAMES;
      for (int i = 0; i < FRAMES; ++i) {
        const size_t index = static_cast<size_t>(v.position) * 2;
        acc_[2 * i] += data_[index] * v.gain;
        acc_[2 * i + 1] += data_[index + 1] * v.gain;
        v.position += step_;
        if (v.position >= SOURCE_FRAMES) v.position -= SOURCE_FRAMES;
        v.gain += delta;
      }
      v.gain = target_;
    }
    for (int i = 0; i < MIX_FRAGMENT; ++i) {
      out[i] = static_cast<int16_t>(std::fmax(-32768.0f, std::fmin(32767.0f, acc_[i])));
      acc_[i] = 0;
    }
  }

 private:
  struct voice {
    double position = 0;
    float gain = VOLUME;
  };
  std::vector<int16_t> data_ = Source();
  std::vector<voice> playing_;
  std::vector<float> acc_ = std::vector<float>(MIX_FRAGMENT);
  double step_;
  bool ramped_;
  float target_ = VOLUME;
};

#ifdef ZORP_SDL_MIXER
class sdlmixing final : public mixing {
 public:
  explicit sdlmixing(const mixcase& c)
      : mixer_(FRAMES, c.voices),
        chunk_(c.hertz == MIX_OUTPUT_RATE ? mixer_.Wrap(data_) : mixer_.Load(data_, c.hertz)) {
    mixer_.PlayAll(chunk_, SDL_VOLUME);
  }
  void Pass(int16_t* out) override { mixer_.Pass(out); }

 private:
  std::vector<int16_t> data_ = Source();
  sdlmixer mixer_;
  chunkref chunk_;
};
#endif

std::unique_ptr<mixing> Reference(const mixcase& c) {
#ifdef ZORP_SDL_MIXER
  if (!c.Ramped()) return std::make_unique<sdlmixing>(c);
#endif
  return std::make_unique<floatmixer>(c);
}

using maker = std::function<std::unique_ptr<mixing>(const mixcase&)>;
const maker OURS = [](const mixcase& c) { return std::make_unique<ourmixer>(c); };
const maker REFERENCE = Reference;

void PerFrame(benchmark::State& state, int frames) {
  state.counters["ns_per_frame"] = benchmark::Counter(
      frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void MixPasses(benchmark::State& state, const maker& make, const mixcase& c) {
  const std::unique_ptr<mixing> mix = make(c);
  std::vector<int16_t> out(MIX_FRAGMENT);
  for (auto _ : state) {
    mix->Pass(out.data());
    benchmark::DoNotOptimize(out.data());
  }
  PerFrame(state, FRAMES);
}

// Mean absolute sample of a few passes, from the first.
double Level(mixing& mix) {
  std::vector<int16_t> out(MIX_FRAGMENT);
  double sum = 0;
  for (int pass = 0; pass < 8; ++pass) {
    mix.Pass(out.data());
    for (int16_t sample : out) sum += std::abs(sample);
  }
  return sum / (8.0 * MIX_FRAGMENT);
}

// A reference that mixed silence, or at another level, would measure other
// work: each case's sides must agree within 3 %.
bool ReferencesAgree() {
  bool agree = true;
  for (const mixcase& c : CASES) {
    const double ours = Level(*OURS(c));
    const double reference = Level(*REFERENCE(c));
    if (ours > 0 && std::abs(ours - reference) <= 0.03 * ours) continue;
    std::fprintf(stderr, "%s: mean level %.1f, the reference's %.1f\n", c.Name().c_str(), ours,
                 reference);
    agree = false;
  }
  return agree;
}

#ifdef ZORP_SDL_MIXER
// SDL2_mixer loading a WAV file at hertz: at 22050 Hz it converts the data
// to its rate, at 44100 Hz it only copies it, which tells the conversion's
// cost apart.
const int LOADED_HERTZ[] = {22050, 44100};
std::string LoadName(int hertz) {
  return "Load/" + std::to_string(hertz) + "Hz/sdl_per_source_frame";
}

void Load(benchmark::State& state, int hertz) {
  const std::vector<int16_t> data = Source();
  sdlmixer mixer(FRAMES, 1);
  for (auto _ : state) benchmark::DoNotOptimize(mixer.Load(data, hertz).get());
  PerFrame(state, SOURCE_FRAMES);
}
#endif

void Register() {
  for (const mixcase& c : CASES) {
    benchmark::RegisterBenchmark((c.Name() + "/zorp").c_str(), MixPasses, OURS, c);
    benchmark::RegisterBenchmark((c.Name() + "/reference").c_str(), MixPasses, REFERENCE, c);
  }
#ifdef ZORP_SDL_MIXER
  for (int hertz : LOADED_HERTZ) benchmark::RegisterBenchmark(LoadName(hertz).c_str(), Load, hertz);
#endif
}

#ifdef ZORP_CALLGRIND
constexpr int COUNTED_PASSES = 40;

void Counted(const std::string& name, int frames, const std::function<void()>& work) {
  CALLGRIND_TOGGLE_COLLECT;
  work();
  CALLGRIND_TOGGLE_COLLECT;
  const std::string dump = name + " frames=" + std::to_string(frames);
  CALLGRIND_DUMP_STATS_AT(dump.c_str());
}

void CountInstructions() {
  std::vector<int16_t> out(MIX_FRAGMENT);
  for (const mixcase& c : CASES) {
    for (const auto& [side, make] : {std::pair{"zorp", OURS}, std::pair{"reference", REFERENCE}}) {
      const std::unique_ptr<mixing> mix = make(c);
      mix->Pass(out.data());
      Counted(c.Name() + "/" + side, COUNTED_PASSES * FRAMES, [&] {
        for (int pass = 0; pass < COUNTED_PASSES; ++pass) mix->Pass(out.data());
      });
    }
  }
#ifdef ZORP_SDL_MIXER
  const std::vector<int16_t> data = Source();
  sdlmixer mixer(FRAMES, 1);
  for (int hertz : LOADED_HERTZ) {
    Counted(LoadName(hertz), SOURCE_FRAMES, [&] { mixer.Load(data, hertz); });
  }
#endif
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (!ReferencesAgree()) return 1;
#ifdef ZORP_CALLGRIND
  if (argc == 2 && std::string(argv[1]) == "--instructions") {
    CountInstructions();
    return 0;
  }
#endif
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
