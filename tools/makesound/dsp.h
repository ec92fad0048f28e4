#pragma once
// Small building blocks of the synthesis: noise, band-limited oscillators,
// filters and envelopes. All of them run on doubles with the functions of
// dsp_math.h, so that the same parameters always give the same samples.

#include <cstdint>
#include <vector>

#include "tools/makesound/dsp_math.h"

namespace dsp {

// splitmix64: tiny, fast and the same on every machine. Each sound seeds its
// own, so a note sounds the same wherever it is rendered from.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in -1 .. 1.
  double Noise() { return static_cast<double>(Next() >> 11) * (2.0 / 9007199254740992.0) - 1.0; }

 private:
  uint64_t state_;
};

enum class Wave { SINE, TRIANGLE, SAW, SQUARE };

// An oscillator whose saw and square have their steps smoothed by PolyBLEP
// residuals, which keeps the harmonics that fold back below the Nyquist
// frequency small; the triangle is the leaky integral of the smoothed square.
class Oscillator {
 public:
  // phase in turns; the triangle starts at its value for that phase.
  Oscillator(Wave wave, double rate, double phase = 0, double pulseWidth = 0.5);
  // The next sample at frequency hz, in -1 .. 1.
  double Next(double hz);

 private:
  double Square(double dt) const;

  Wave wave_;
  double rate_;
  double phase_;
  double width_;
  double integral_ = 0;
};

// Zavalishin's trapezoidal state-variable filter: stable under fast cutoff
// changes, which the filter envelopes make.
class Svf {
 public:
  explicit Svf(double rate) : rate_(rate) {}
  // Cutoff in Hz (kept below 0.45 of the rate) and resonance 0 .. 1.
  void Set(double hz, double resonance);
  // The cutoff and resonance of other, keeping this filter's own state.
  void CopySettings(const Svf& other);
  struct Out {
    double low, band, high;
  };
  Out Run(double x);
  double Low(double x) { return Run(x).low; }

 private:
  double rate_;
  double g_ = 0, k_ = 2, a1_ = 0, a2_ = 0, a3_ = 0;
  double s1_ = 0, s2_ = 0;
};

// Attack, decay to sustain, release, in seconds.
struct Adsr {
  double attack = 0.005, decay = 0.2, sustain = 0.7, release = 0.1;
  double Length(double hold) const { return hold + release; }
};

// The gain of a note held for hold seconds, frame by frame. The attack is a
// smooth S-curve; decay and release are exponential and the release also
// fades linearly to exactly 0 at its end, so a note never ends on a step.
class Envelope {
 public:
  Envelope(const Adsr& adsr, double hold, double rate);
  double Next();

 private:
  Adsr adsr_;
  long frame_ = 0;
  long attackFrames_, holdFrames_, releaseFrames_;
  double decayFactor_, decay_ = 1;
  double releaseFactor_, release_ = 1, held_ = 0;
};

// An exponential fall from 1 with time constant seconds, frame by frame.
class Decay {
 public:
  Decay(double seconds, double rate) : factor_(Exp(-1.0 / (seconds * rate))) {}
  double Next() {
    const double value = value_;
    value_ *= factor_;
    return value;
  }

 private:
  double factor_;
  double value_ = 1;
};

// Halves the sample rate of a signal: a 41-tap half-band low-pass (a
// Blackman-windowed sinc, flat to a third of the new rate and 70 dB down
// from where its mirror would fold below that), then every second sample.
// Output frame n is input frame 2n, so nothing shifts in time.
std::vector<double> Decimate2(const std::vector<double>& in);

// Equal-power pan: -1 left, 0 centre, 1 right.
struct PanGains {
  double left, right;
};
PanGains Pan(double position);

}  // namespace dsp
