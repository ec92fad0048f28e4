#pragma once
// Repeatable randomness for the artwork: the same seed gives the same
// pictures on every machine, since only integer arithmetic decides the draws.

#include <cstdint>

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [low, high).
  double Between(double low, double high);

 private:
  uint64_t state_;
};

// Smooth value noise in 0..1 that repeats every period units in x and y;
// octaves halve the feature size each time (the period must stay divisible).
double TileNoise(double x, double y, int period, uint32_t seed);
double TileFractalNoise(double x, double y, int period, int octaves, uint32_t seed);
