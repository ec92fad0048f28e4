#include "tools/makesound/dsp.h"

#include <algorithm>
#include <cmath>

namespace dsp {

namespace {

// The PolyBLEP residual at phase t (0 .. 1) for a step of height 2 at t = 0,
// for a phase increment dt.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

double Wrap(double t) { return t - std::floor(t); }

}  // namespace

Oscillator::Oscillator(Wave wave, double rate, double phase, double pulseWidth)
    : wave_(wave), rate_(rate), phase_(Wrap(phase)), width_(pulseWidth) {
  integral_ = phase_ < 0.5 ? 4.0 * phase_ - 1.0 : 3.0 - 4.0 * phase_;
}

double Oscillator::Square(double dt) const {
  double value = phase_ < width_ ? 1.0 : -1.0;
  value += PolyBlep(phase_, dt);
  value -= PolyBlep(Wrap(phase_ - width_ + 1.0), dt);
  return value;
}

double Oscillator::Next(double hz) {
  const double dt = std::min(hz / rate_, 0.45);
  double value = 0;
  switch (wave_) {
    case Wave::SINE:
      value = Sin2Pi(phase_);
      break;
    case Wave::SAW:
      value = 2.0 * phase_ - 1.0 - PolyBlep(phase_, dt);
      break;
    case Wave::SQUARE:
      value = Square(dt);
      break;
    case Wave::TRIANGLE:
      // The integral of a square of amplitude 1 over half a period is
      // 0.5 / f; scaling by 4 f makes it span -1 .. 1. The leak keeps it
      // centred without audibly bending the ramps.
      integral_ = integral_ * 0.9998 + Square(dt) * 4.0 * dt;
      value = integral_;
      break;
  }
  phase_ = Wrap(phase_ + dt);
  return value;
}

void Svf::Set(double hz, double resonance) {
  const double fc = std::clamp(hz, 10.0, 0.45 * rate_) / rate_;
  g_ = Sin2Pi(fc / 2) / Cos2Pi(fc / 2);  // tan(pi fc)
  k_ = 2.0 - 1.9 * std::clamp(resonance, 0.0, 1.0);
  a1_ = 1.0 / (1.0 + g_ * (g_ + k_));
  a2_ = g_ * a1_;
  a3_ = g_ * a2_;
}

void Svf::CopySettings(const Svf& other) {
  g_ = other.g_;
  k_ = other.k_;
  a1_ = other.a1_;
  a2_ = other.a2_;
  a3_ = other.a3_;
}

Svf::Out Svf::Run(double x) {
  const double v3 = x - s2_;
  const double v1 = a1_ * s1_ + a2_ * v3;
  const double v2 = s2_ + a2_ * s1_ + a3_ * v3;
  s1_ = 2 * v1 - s1_;
  s2_ = 2 * v2 - s2_;
  return {v2, v1, x - k_ * v1 - v2};
}

Envelope::Envelope(const Adsr& adsr, double hold, double rate)
    : adsr_(adsr),
      attackFrames_(std::max(1L, std::lround(adsr.attack * rate))),
      holdFrames_(std::lround(hold * rate)),
      releaseFrames_(std::max(1L, std::lround(adsr.release * rate))),
      decayFactor_(Exp(-1.0 / (adsr.decay * rate))),
      releaseFactor_(Exp(-4.0 / (adsr.release * rate))) {}

double Envelope::Next() {
  const long frame = frame_++;
  double level;
  if (frame < attackFrames_) {
    const double x = static_cast<double>(frame) / attackFrames_;
    level = x * x * (3.0 - 2.0 * x);
  } else {
    level = adsr_.sustain + (1.0 - adsr_.sustain) * decay_;
    decay_ *= decayFactor_;
  }
  if (frame < holdFrames_) {
    held_ = level;
    return level;
  }
  const long r = frame - holdFrames_;
  if (r >= releaseFrames_) return 0;
  const double value = held_ * release_ * (1.0 - static_cast<double>(r) / releaseFrames_);
  release_ *= releaseFactor_;
  return value;
}

namespace {

constexpr int HALF_BAND_TAPS = 41;
constexpr int HALF_BAND_CENTRE = HALF_BAND_TAPS / 2;

std::vector<double> HalfBandTaps() {
  std::vector<double> taps(HALF_BAND_TAPS);
  double sum = 0;
  for (int i = 0; i < HALF_BAND_TAPS; ++i) {
    const int k = i - HALF_BAND_CENTRE;
    // sin(pi k / 2) / (pi k): zero at every even k but the centre.
    const double sinc = k == 0 ? 0.5 : Sin2Pi(k / 4.0) / (PI * k);
    const double x = static_cast<double>(i) / (HALF_BAND_TAPS - 1);
    const double window = 0.42 - 0.5 * Cos2Pi(x) + 0.08 * Cos2Pi(2 * x);
    taps[i] = sinc * window;
    sum += taps[i];
  }
  for (double& tap : taps) tap /= sum;
  return taps;
}

}  // namespace

std::vector<double> Decimate2(const std::vector<double>& in) {
  static const std::vector<double> TAPS = HalfBandTaps();
  const auto frames = static_cast<long>(in.size());
  std::vector<double> out(static_cast<size_t>((frames + 1) / 2));
  for (long n = 0; n < static_cast<long>(out.size()); ++n) {
    const long centre = 2 * n;
    double sum = TAPS[HALF_BAND_CENTRE] * in[centre];
    // Only the odd offsets carry weight in a half-band filter.
    for (long k = 1; k <= HALF_BAND_CENTRE; k += 2) {
      const double before = centre - k >= 0 ? in[centre - k] : 0.0;
      const double after = centre + k < frames ? in[centre + k] : 0.0;
      sum += TAPS[HALF_BAND_CENTRE + k] * (before + after);
    }
    out[n] = sum;
  }
  return out;
}

PanGains Pan(double position) {
  const double p = std::clamp(position, -1.0, 1.0);
  return {std::sqrt(0.5 * (1.0 - p)), std::sqrt(0.5 * (1.0 + p))};
}

}  // namespace dsp
