#pragma once
// The music's note data: the sections of the piece in the written form of
// score.h, and the rhythm patterns their parts name.

#include <span>
#include <string>

#include "tools/makesound/score.h"

enum class LeadSound { NONE, LEAD, BELL };

struct Section {
  const char* name;
  int bars;
  const char* chords;
  LeadSound lead;
  bool harmony;  // a second voice a diatonic third below the lead
  const char* melody;
  // Parts, one pattern per bar.
  const char* pad;    // "P": the bar's chords held
  const char* arp;    // arpeggio patterns
  const char* stabs;  // short chord patterns
  const char* bass;
  const char* drums;
};

// The piece from its first bar to its last; the last leads back into the
// first, since the music plays in a loop.
std::span<const Section> SongSections();

// A pattern: 16 characters, one per step, meaning what the part says.
//   bass:  R root, O root an octave up, F fifth, T third; - holds, . rests
//   arp:   0..7 the chord tones from the bottom up; . rests
//   stabs: x the chord; - holds, . rests
//   drums: 1..9 a hit of that loudness; . nothing
struct DrumPattern {
  const char* name;
  const char* kick;
  const char* snare;
  const char* clap;
  const char* hat;
  const char* openHat;
};

// Named melody phrases, which melodies include as $name.
std::span<const NamedText> Phrases();
std::span<const DrumPattern> DrumPatterns();
std::span<const NamedText> BassPatterns();
std::span<const NamedText> ArpPatterns();
std::span<const NamedText> StabPatterns();
