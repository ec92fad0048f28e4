#pragma once
// The game's three sound effects, synthesised from scratch.

#include <cstdint>
#include <string>
#include <vector>

struct SoundEffect {
  std::string file;             // path below the repository root, e.g. "sfx/number.wav"
  int rate;                     // frames per second
  std::vector<double> samples;  // mono, -1 .. 1, starting and ending at 0
};

// number.wav: a short bright blip, when a number is eaten.
SoundEffect MakeNumberEffect();
// bonus.wav: a rising sparkle, when the bonus star is eaten.
SoundEffect MakeBonusEffect();
// death.wav: a short falling buzz, when the zorp dies.
SoundEffect MakeDeathEffect();

std::vector<SoundEffect> MakeEffects();

// The effect as an 8-bit mono PCM WAV file (silence is 128).
std::vector<uint8_t> EncodeWav8(const SoundEffect& effect);
