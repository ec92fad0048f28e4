#pragma once
// The piece as a list of timed notes for the instruments, made from the note
// data of song.h.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/makesound/song.h"

constexpr int MUSIC_RATE = 44100;
// A sixteenth note at 140 beats a minute is exactly 4725 frames, so every
// note starts on a whole frame and the loop is a whole number of frames.
constexpr int FRAMES_PER_STEP = 4725;
constexpr int FRAMES_PER_BAR = FRAMES_PER_STEP * STEPS_PER_BAR;

enum class Instrument {
  LEAD,
  HARMONY,
  BELL,
  BASS,
  PAD,
  ARP,
  STAB,
  KICK,
  SNARE,
  CLAP,
  HAT,
  OPEN_HAT,
  CRASH,
};

struct NoteEvent {
  Instrument instrument;
  int64_t start;    // first frame
  int64_t length;   // frames held, before the release
  int note;         // MIDI number; unused by the drums
  double velocity;  // 0 .. 1
  uint64_t seed;    // for the sound's noise: the same for the same note
};

struct SectionSpan {
  std::string name;
  int64_t start, frames;
};

struct Arrangement {
  int64_t frames = 0;  // the loop's length
  std::vector<NoteEvent> events;
  std::vector<SectionSpan> sections;
};

// Raises std::runtime_error for note data that does not parse or names a
// pattern that does not exist.
Arrangement Arrange(std::span<const Section> sections);

// The chord tones for a pad or stab, 3 or 4 notes between about E3 and E5,
// chosen to move as little as possible from previous (empty for the first).
std::vector<int> VoiceChord(const Chord& chord, const std::vector<int>& previous);
// The note of a second voice under the melody note: the next chord tone
// at least a minor third below a note of the chord; two steps lower on the C
// major scale for a passing note; a minor third below a note outside the
// scale.
int HarmonyBelow(int note, const Chord& chord);
