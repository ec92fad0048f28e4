#include "tools/makesound/analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace {

constexpr size_t FFT_SIZE = 4096;

void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2 * std::numbers::pi / static_cast<double>(len);
    const std::complex<double> unit(std::cos(angle), std::sin(angle));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= unit;
      }
    }
  }
}

}  // namespace

double ToDb(double amplitude) {
  return amplitude > 0 ? 20 * std::log10(amplitude) : -std::numeric_limits<double>::infinity();
}

Levels MeasureLevels(std::span<const float> left, std::span<const float> right) {
  double peak = 0, power = 0, mid = 0, side = 0;
  for (size_t i = 0; i < left.size(); ++i) {
    const double l = left[i], r = right[i];
    peak = std::max({peak, std::abs(l), std::abs(r)});
    power += l * l + r * r;
    mid += (l + r) * (l + r);
    side += (l - r) * (l - r);
  }
  const double frames = static_cast<double>(std::max<size_t>(left.size(), 1));
  return {ToDb(peak), ToDb(std::sqrt(power / (2 * frames))),
          mid > 0 ? 10 * std::log10(side / mid) : 0};
}

std::vector<double> PowerSpectrum(std::span<const float> samples) {
  const size_t n = samples.size();
  std::vector<std::complex<double>> block(n);
  for (size_t i = 0; i < n; ++i) {
    const double x = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
    const double window =
        0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
    block[i] = samples[i] * window;
  }
  Fft(block);
  std::vector<double> power(n / 2 + 1);
  for (size_t k = 0; k < power.size(); ++k) power[k] = std::norm(block[k]);
  return power;
}

BandLevels MeasureBands(std::span<const float> left, std::span<const float> right, int rate) {
  // Power spectra of the mono mix, summed over consecutive blocks.
  std::vector<double> power(FFT_SIZE / 2 + 1);
  std::vector<float> mono(FFT_SIZE);
  for (size_t start = 0; start + FFT_SIZE <= left.size(); start += FFT_SIZE) {
    for (size_t i = 0; i < FFT_SIZE; ++i) mono[i] = 0.5f * (left[start + i] + right[start + i]);
    const std::vector<double> block = PowerSpectrum(mono);
    for (size_t k = 0; k < power.size(); ++k) power[k] += block[k];
  }
  std::array<double, BAND_COUNT> sums{};
  double total = 0;
  for (size_t k = 1; k < power.size(); ++k) {
    const double hz = static_cast<double>(k) * rate / FFT_SIZE;
    for (int b = 0; b < BAND_COUNT; ++b) {
      if (hz >= BAND_EDGES[b] && hz < BAND_EDGES[b + 1]) {
        sums[b] += power[k];
        total += power[k];
      }
    }
  }
  BandLevels bands{};
  for (int b = 0; b < BAND_COUNT; ++b) bands[b] = total > 0 ? 10 * std::log10(sums[b] / total) : 0;
  return bands;
}

JoinReport MeasureJoin(std::span<const float> left, std::span<const float> right, int window) {
  const size_t n = left.size();
  const size_t w = std::min(static_cast<size_t>(window), n / 2);
  std::vector<double> steps;
  double joinStep = 0;
  for (std::span<const float> channel : {left, right}) {
    joinStep = std::max(joinStep, std::abs(static_cast<double>(channel[0]) - channel[n - 1]));
    for (size_t i = 0; i + 1 < w; ++i) {
      steps.push_back(std::abs(static_cast<double>(channel[i + 1]) - channel[i]));
      steps.push_back(std::abs(static_cast<double>(channel[n - 1 - i]) - channel[n - 2 - i]));
    }
  }
  if (steps.empty()) return {joinStep, 0, 0};
  std::sort(steps.begin(), steps.end());
  return {joinStep, steps[steps.size() * 99 / 100], steps.back()};
}
