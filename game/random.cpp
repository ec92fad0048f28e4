#include "game/random.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int MODULUS = 2147483647;  // 2^31 - 1
constexpr int MULTIPLIER = 48271;
constexpr int QUOTIENT = 44488;  // MODULUS / MULTIPLIER
constexpr int REMAINDER = 3399;  // MODULUS % MULTIPLIER
constexpr int DEFAULT_STATE = 0x1234;

int state = DEFAULT_STATE;
bool seedChosen = false;
int chosenSeed = 0;

int Step() {
  state = (state % QUOTIENT) * MULTIPLIER - (state / QUOTIENT) * REMAINDER;
  if (state < 0) state += MODULUS;
  return state;
}

}  // namespace

void SeedRandom(int seed) {
  state = seed & 0x7FFFFFFF;
  if (state == 0 || state == MODULUS) state = DEFAULT_STATE;
}

int RandomSeed() { return state; }

float RandomFloat() { return static_cast<float>(Step() & 0x0FFFFFF0) / 268435456.0f; }

double RandomDouble() {
  const int s1 = Step();
  const int s2 = Step();
  return ((s1 & 0x1FFFFFFC) + (s2 & 0x1FFFFFF8) / 134217728.0) / 536870912.0;
}

double RandomBetween(double a, double b) {
  const double r = RandomDouble();
  return b > a ? a + r * (b - a) : b + r * (a - b);
}

int RandomInt(int a, int b) {
  const double r = RandomDouble();
  const double range = static_cast<double>(b) - a;
  const double value = range > 0 ? a + r * (range + 1) : b + r * (1 - range);
  // Rounding down (not toward zero) keeps negative bounds inside the range;
  // the clamp guards against rounding up to the bound past the top.
  return static_cast<int>(std::clamp(std::floor(value), static_cast<double>(std::min(a, b)),
                                     static_cast<double>(std::max(a, b))));
}

void ChooseRandomSeed(int seed) {
  seedChosen = true;
  chosenSeed = seed;
}

int ChosenRandomSeed(int fallback) { return seedChosen ? chosenSeed : fallback; }
