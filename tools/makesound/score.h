#pragma once
// The written form of the music: melodies, chord charts and per-bar part
// lists as short texts, and their parsing. Time is counted in sixteenth
// notes ("steps"), 16 to the bar.
//
// Melody:  "E5:2 G5:2 C6:4 -:8 | ..."  note (letter, optional # or b, octave)
//          or - for a rest, a colon and the length in steps. A | checks that
//          a bar ends there; $name includes the named phrase.
// Chords:  "C G Am F-G"  one symbol per bar, or two joined by - for two half
//          bars. Symbols: root (C, F#, Bb...) and a quality: "" major, m,
//          7, m7, maj7, sus4.
// Parts:   "beat! beat*6 fill:5"  one pattern name per bar; *n repeats it,
//          :v (1..9) scales its loudness, ! marks the start of a phrase (a
//          crash cymbal for the drums). "-" is a bar of silence.
//
// Malformed text raises std::runtime_error naming what is wrong.

#include <span>
#include <string>
#include <vector>

constexpr int STEPS_PER_BAR = 16;

struct MelodyNote {
  int step;    // from the start of the melody
  int length;  // in steps
  int note;    // MIDI number, 60 = C4
};

struct Chord {
  int root;                    // pitch class, 0 = C
  std::vector<int> intervals;  // semitones above the root, starting with 0
};

struct PartBar {
  std::string pattern;  // "-" for silence
  double level = 1.0;
  bool accent = false;
};

struct NamedText {
  const char* name;
  const char* text;
};

// A melody that must fill exactly bars bars, with its $phrases included.
std::vector<MelodyNote> ParseMelody(const std::string& text, int bars,
                                    std::span<const NamedText> phrases = {});
// One chord per half bar (so 2 * bars entries).
std::vector<Chord> ParseChords(const std::string& text, int bars);
std::vector<PartBar> ParseParts(const std::string& text, int bars);

int ParseNoteName(const std::string& name);
Chord ParseChord(const std::string& symbol);
