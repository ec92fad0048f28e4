#pragma once
// The few transcendental functions the synthesis needs, written with nothing
// but IEEE-exact operations (+, -, *, /, floor, ldexp). The C library's sin
// and exp may differ in the last bit between versions, and a last-bit change
// anywhere in the music changes every byte the Vorbis encoder writes; these
// give the same bits everywhere.

#include <cmath>

namespace dsp {

inline constexpr double PI = 3.14159265358979323846;

// sin(2 pi x) for any x, within a few ulp.
inline double Sin2Pi(double x) {
  double r = x - std::floor(x + 0.5);  // -0.5 .. 0.5 turns
  if (r > 0.25) r = 0.5 - r;
  if (r < -0.25) r = -0.5 - r;  // now -0.25 .. 0.25, where the series is short
  const double a = 2.0 * PI * r;
  const double a2 = a * a;
  // Taylor series of sin to the 21st power, Horner form.
  double sum = 1.0 / 51090942171709440000.0;
  sum = sum * -a2 + 1.0 / 121645100408832000.0;
  sum = sum * -a2 + 1.0 / 355687428096000.0;
  sum = sum * -a2 + 1.0 / 1307674368000.0;
  sum = sum * -a2 + 1.0 / 6227020800.0;
  sum = sum * -a2 + 1.0 / 39916800.0;
  sum = sum * -a2 + 1.0 / 362880.0;
  sum = sum * -a2 + 1.0 / 5040.0;
  sum = sum * -a2 + 1.0 / 120.0;
  sum = sum * -a2 + 1.0 / 6.0;
  sum = sum * -a2 + 1.0;
  return a * sum;
}

inline double Cos2Pi(double x) { return Sin2Pi(x + 0.25); }

// 2^x, within a few ulp.
inline double Exp2(double x) {
  const double n = std::floor(x);
  const double f = (x - n) * 0.69314718055994530942;  // 0 .. ln 2
  // Taylor series of e^f to the 14th power, Horner form.
  constexpr double INVERSE_FACTORIALS[] = {1.0,
                                           1.0,
                                           1.0 / 2,
                                           1.0 / 6,
                                           1.0 / 24,
                                           1.0 / 120,
                                           1.0 / 720,
                                           1.0 / 5040,
                                           1.0 / 40320,
                                           1.0 / 362880,
                                           1.0 / 3628800,
                                           1.0 / 39916800,
                                           1.0 / 479001600,
                                           1.0 / 6227020800,
                                           1.0 / 87178291200};
  double sum = INVERSE_FACTORIALS[14];
  for (int k = 13; k >= 0; --k) sum = sum * f + INVERSE_FACTORIALS[k];
  return std::ldexp(sum, static_cast<int>(n));
}

inline double Exp(double x) { return Exp2(x * 1.44269504088896340736); }

inline double Tanh(double x) {
  if (x > 20) return 1;
  if (x < -20) return -1;
  const double e = Exp(2 * x);
  return (e - 1) / (e + 1);
}

// The frequency of a MIDI note number (69 = A 440 Hz); fractions detune.
inline double NoteHz(double note) { return 440.0 * Exp2((note - 69.0) / 12.0); }

// Decibels to an amplitude factor.
inline double DbGain(double db) { return Exp2(db * (3.32192809488736234787 / 20.0)); }

}  // namespace dsp
