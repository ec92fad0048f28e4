#pragma once
// Measurements of rendered or decoded music, for the checks the generator
// makes before it writes anything and for the tests: levels, stereo width,
// the balance of the spectrum, and how the loop's end meets its start.

#include <array>
#include <span>
#include <string>
#include <vector>

struct Levels {
  double peakDb;  // dBFS of the largest sample of either channel
  double rmsDb;   // dBFS of both channels together
  // The side signal (L - R) against the middle (L + R), in dB: -inf for
  // mono, around -10 for a wide mix.
  double sideDb;
};

// Frequency bands: below 150 Hz, 150-600 Hz, 600-2500 Hz, 2.5-8 kHz and
// 8-20 kHz.
constexpr int BAND_COUNT = 5;
constexpr std::array<double, BAND_COUNT + 1> BAND_EDGES = {20, 150, 600, 2500, 8000, 20000};
using BandLevels = std::array<double, BAND_COUNT>;  // dB of each band's share of the total

struct JoinReport {
  double joinStep;     // largest |last - first| sample step of the two channels, 0 .. 2
  double typicalStep;  // 99th percentile of the steps next to the join
  double largestStep;  // the largest step next to the join
};

// left and right hold the same number of frames, in -1 .. 1.
Levels MeasureLevels(std::span<const float> left, std::span<const float> right);
BandLevels MeasureBands(std::span<const float> left, std::span<const float> right, int rate);
// The step from the last frame to the first against the steps within
// window frames on either side of it, as the loop plays.
JoinReport MeasureJoin(std::span<const float> left, std::span<const float> right, int window);

// The power spectrum of samples.size() (a power of two) samples under a
// Blackman-Harris window, whose leakage stays 90 dB down: bins 0 .. size / 2,
// bin k at k * rate / size Hz.
std::vector<double> PowerSpectrum(std::span<const float> samples);

double ToDb(double amplitude);
