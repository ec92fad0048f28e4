#pragma once
// The parameters every mixer output has: rate, volume, pan and depth, each
// with a current value (what is heard now) and a target value (what a change
// asked for). The mixer ramps current to target over one pass.

#include <cstdint>

// Fixed point: rates are 16.16 (65536 = normal speed); volume, pan and depth
// are 4.12 (4096 = 1.0).
constexpr int MIX_RATE_ONE = 65536;
constexpr int MIX_GAIN_ONE = 4096;

// Which value a getter answers.
constexpr int MIX_CURRENT = 0;
constexpr int MIX_TARGET = 1;

class output {
 public:
  virtual ~output() = default;
  virtual void setrate(int rate) = 0;
  virtual void setvolume(int16_t volume) = 0;
  virtual void setpan(int16_t pan) = 0;
  virtual void setdepth(int16_t depth) = 0;
  virtual int getrate(int which) = 0;
  virtual int16_t getvolume(int which) = 0;
  virtual int16_t getpan(int which) = 0;
  virtual int16_t getdepth(int which) = 0;
};
