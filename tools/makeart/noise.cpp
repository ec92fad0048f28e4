#include "tools/makeart/noise.h"

#include <cmath>

namespace {

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

double Lattice(int x, int y, int period, uint32_t seed) {
  const int wx = ((x % period) + period) % period;
  const int wy = ((y % period) + period) % period;
  return double(Hash(wx, wy, seed) >> 8) / double(1 << 24);
}

double Smooth(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

}  // namespace

uint64_t Random::Next() {
  // SplitMix64.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::Between(double low, double high) {
  return low + (high - low) * (double(Next() >> 11) / double(1ull << 53));
}

double TileNoise(double x, double y, int period, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  const double tx = Smooth(x - fx), ty = Smooth(y - fy);
  const double top = Lattice(ix, iy, period, seed) +
                     (Lattice(ix + 1, iy, period, seed) - Lattice(ix, iy, period, seed)) * tx;
  const double bottom =
      Lattice(ix, iy + 1, period, seed) +
      (Lattice(ix + 1, iy + 1, period, seed) - Lattice(ix, iy + 1, period, seed)) * tx;
  return top + (bottom - top) * ty;
}

double TileFractalNoise(double x, double y, int period, int octaves, uint32_t seed) {
  double sum = 0, weight = 0, amplitude = 1;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += TileNoise(x, y, period, seed + uint32_t(octave)) * amplitude;
    weight += amplitude;
    amplitude *= 0.5;
    x *= 2;
    y *= 2;
    period *= 2;
  }
  return sum / weight;
}
