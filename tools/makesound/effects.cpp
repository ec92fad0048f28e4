#include "tools/makesound/effects.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/makesound/dsp.h"

namespace {

using dsp::Exp;
using dsp::Exp2;
using dsp::NoteHz;
using dsp::Sin2Pi;

// Every effect peaks here, about -2 dBFS: loud, with room below the 8-bit
// limit for the rounding.
constexpr double EFFECT_PEAK = 0.8;

// A tone built from sines below 0.45 of the sample rate only, so that nothing
// folds back even at 8000 Hz. harmonic(n) is the level of partial n; partials
// fade out as they near the limit, so a gliding pitch never switches one on
// or off with a click.
class AdditiveTone {
 public:
  AdditiveTone(double rate, std::function<double(int)> harmonic)
      : rate_(rate), harmonic_(std::move(harmonic)) {}

  double Next(double hz) {
    const double limit = 0.45 * rate_;
    double sum = 0;
    for (int n = 1; n * hz < limit; ++n) {
      const double fade = std::clamp((limit - n * hz) / (0.1 * limit), 0.0, 1.0);
      sum += harmonic_(n) * fade * Sin2Pi(n * phase_);
    }
    phase_ += hz / rate_;
    phase_ -= std::floor(phase_);
    return sum;
  }

 private:
  double rate_;
  std::function<double(int)> harmonic_;
  double phase_ = 0;
};

double SawHarmonic(int n) { return 1.0 / n; }
double SquareHarmonic(int n) { return n % 2 ? 1.0 / n : 0.0; }

// A linear fade over the first and last frames, so that every effect starts
// and ends on silence whatever its own envelope does there.
void FadeEdges(std::vector<double>& samples, int fadeIn, int fadeOut) {
  const int n = static_cast<int>(samples.size());
  for (int i = 0; i < fadeIn && i < n; ++i) samples[i] *= static_cast<double>(i) / fadeIn;
  for (int i = 0; i < fadeOut && i < n; ++i) {
    samples[n - 1 - i] *= static_cast<double>(i) / fadeOut;
  }
}

void Normalise(std::vector<double>& samples) {
  double peak = 0;
  for (double s : samples) peak = std::max(peak, std::abs(s));
  if (peak > 0) {
    for (double& s : samples) s *= EFFECT_PEAK / peak;
  }
}

SoundEffect Finish(const char* file, int rate, std::vector<double> samples, double fadeSeconds) {
  FadeEdges(samples, static_cast<int>(0.002 * rate), static_cast<int>(fadeSeconds * rate));
  Normalise(samples);
  return {file, rate, std::move(samples)};
}

}  // namespace

SoundEffect MakeNumberEffect() {
  // Two quick notes a fourth apart, B5 then E6, like picking up a coin: a
  // bright pulse-like tone that dies away fast.
  constexpr int RATE = 11025;
  constexpr int FRAMES = 1434;  // 0.13 s, even so the data chunk needs no pad byte
  AdditiveTone tone(RATE, [](int n) { return n == 1 ? 1.0 : n == 2 ? 0.35 : 0.3 / n * 3; });
  std::vector<double> out(FRAMES);
  double envelope = 0;
  for (int i = 0; i < FRAMES; ++i) {
    const double t = static_cast<double>(i) / RATE;
    const double hz = t < 0.035 ? NoteHz(83) : NoteHz(88);
    const double target = t < 0.035 ? 0.8 : Exp(-(t - 0.035) / 0.045);
    // Follows the target within a millisecond, so the step up to the second
    // note does not click.
    envelope += 0.1 * (target - envelope);
    out[i] = tone.Next(hz) * envelope;
  }
  return Finish("sfx/number.wav", RATE, std::move(out), 0.012);
}

SoundEffect MakeBonusEffect() {
  // A C major arpeggio climbing two octaves, each note a ping with a softer
  // echo, over a shimmer of quiet high twinkles that rises with it.
  constexpr int RATE = 8000;
  constexpr int FRAMES = 6400;  // 0.8 s
  constexpr double STEP = 0.055;
  constexpr int NOTES[] = {72, 76, 79, 84, 88, 91, 96};
  std::vector<double> out(FRAMES, 0.0);
  auto ping = [&](double start, double note, double level, double decay) {
    AdditiveTone tone(RATE, [](int n) { return n == 1 ? 1.0 : n == 2 ? 0.25 : 0.0; });
    const int first = static_cast<int>(start * RATE);
    for (int i = first; i < FRAMES; ++i) {
      const double t = static_cast<double>(i - first) / RATE;
      const double attack = std::min(1.0, t / 0.003);
      out[i] += tone.Next(NoteHz(note)) * level * attack * Exp(-t / decay);
    }
  };
  for (int k = 0; k < 7; ++k) {
    const double start = k * STEP;
    const double last = k == 6 ? 2.5 : 1.0;  // the top note rings on
    ping(start, NOTES[k], 1.0, 0.09 * last);
    ping(start + 0.09, NOTES[k], 0.35, 0.07 * last);
  }
  dsp::Rng rng(0xB0B05);
  const int scale[] = {0, 2, 4, 7, 9};
  for (int k = 0; k < 18; ++k) {
    const double start = 0.02 + k * 0.038 + 0.01 * rng.Noise();
    const int note = 84 + 12 * (k / 9) + scale[rng.Next() % 5];
    ping(start, std::min(note, 103), 0.18, 0.03);
  }
  return Finish("sfx/bonus.wav", RATE, std::move(out), 0.15);
}

SoundEffect MakeDeathEffect() {
  // A buzzy saw-and-square tone that falls two and a half octaves, with a
  // fast wobble that makes it rasp, dying away as it falls.
  constexpr int RATE = 8000;
  constexpr int FRAMES = 2400;  // 0.3 s
  AdditiveTone tone(RATE, [](int n) { return 0.6 * SawHarmonic(n) + 0.5 * SquareHarmonic(n); });
  std::vector<double> out(FRAMES);
  for (int i = 0; i < FRAMES; ++i) {
    const double t = static_cast<double>(i) / RATE;
    const double hz = 440.0 * Exp2(-t / 0.12);
    const double wobble = 1.0 - 0.35 * (0.5 + 0.5 * Sin2Pi(28.0 * t));
    const double envelope = Exp(-t / 0.16);
    out[i] = tone.Next(hz) * wobble * envelope;
  }
  return Finish("sfx/death.wav", RATE, std::move(out), 0.04);
}

std::vector<SoundEffect> MakeEffects() {
  return {MakeBonusEffect(), MakeDeathEffect(), MakeNumberEffect()};
}

std::vector<uint8_t> EncodeWav8(const SoundEffect& effect) {
  const auto frames = static_cast<uint32_t>(effect.samples.size());
  const auto rate = static_cast<uint32_t>(effect.rate);
  std::vector<uint8_t> bytes;
  auto tag = [&](const char* text) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(text[i]));
  };
  auto word = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> 8 * i));
  };
  tag("RIFF");
  word(4 + 24 + 8 + frames + frames % 2, 4);
  tag("WAVE");
  tag("fmt ");
  word(16, 4);
  word(1, 2);     // PCM
  word(1, 2);     // mono
  word(rate, 4);  // frames per second
  word(rate, 4);  // bytes per second
  word(1, 2);     // bytes per frame
  word(8, 2);     // bits per sample
  tag("data");
  word(frames, 4);
  for (double s : effect.samples) {
    const long value = 128 + std::lround(std::clamp(s, -1.0, 1.0) * 127.0);
    bytes.push_back(static_cast<uint8_t>(value));
  }
  if (frames % 2) bytes.push_back(128);  // RIFF chunks are padded to even sizes
  return bytes;
}
