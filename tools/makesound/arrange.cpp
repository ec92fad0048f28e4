#include "tools/makesound/arrange.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr int C_MAJOR[] = {0, 2, 4, 5, 7, 9, 11};

// The lowest bass note is A1: roots go between A1 and G#2.
constexpr int BASS_LOWEST = 33;
// Arpeggios start from a root between A3 and G#4.
constexpr int ARP_LOWEST = 57;
// Pads are voiced from a lowest note between E3 and E4, around D4.
constexpr int PAD_LOWEST = 52;
constexpr double PAD_CENTRE = 62;

template <class Entry>
const Entry& Find(std::span<const Entry> table, const std::string& name, const char* kind) {
  for (const Entry& entry : table) {
    if (name == entry.name) return entry;
  }
  throw std::runtime_error(std::string("unknown ") + kind + " pattern \"" + name + "\"");
}

int RootAbove(int pitchClass, int lowest) { return lowest + (pitchClass - lowest % 12 + 12) % 12; }

uint64_t Seed(Instrument instrument, int64_t start) {
  return static_cast<uint64_t>(start) * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(instrument);
}

// Loudness by where a step falls: the beat, the half beat, the rest.
double StepAccent(int step) { return step % 4 == 0 ? 1.0 : step % 2 == 0 ? 0.85 : 0.75; }

// Builds one section's events; pads are carried across sections so that a
// chord held over a section boundary is one note.
class Arranger {
 public:
  explicit Arranger(Arrangement& out) : out_(out) {}

  void Add(const Section& section, int64_t start) {
    start_ = start;
    chords_ = ParseChords(section.chords, section.bars);
    AddLead(section);
    AddPads(ParseParts(section.pad, section.bars));
    AddArps(ParseParts(section.arp, section.bars));
    AddStabs(ParseParts(section.stabs, section.bars));
    AddBass(ParseParts(section.bass, section.bars));
    AddDrums(ParseParts(section.drums, section.bars));
  }

  void Finish() { FlushPad(); }

 private:
  int64_t At(int step) const { return start_ + int64_t{step} * FRAMES_PER_STEP; }
  const Chord& ChordAt(int step) const { return chords_[step / (STEPS_PER_BAR / 2)]; }

  void Emit(Instrument instrument, int step, int64_t length, int note, double velocity) {
    out_.events.push_back(
        {instrument, At(step), length, note, velocity, Seed(instrument, At(step))});
  }

  void AddLead(const Section& section) {
    if (section.lead == LeadSound::NONE) return;
    const Instrument instrument =
        section.lead == LeadSound::BELL ? Instrument::BELL : Instrument::LEAD;
    for (const MelodyNote& n : ParseMelody(section.melody, section.bars, Phrases())) {
      // A short gap between notes keeps repeated notes apart.
      const int64_t hold = int64_t{n.length} * FRAMES_PER_STEP - FRAMES_PER_STEP / 4;
      const double velocity = StepAccent(n.step) == 1.0 ? 1.0 : 0.88;
      Emit(instrument, n.step, hold, n.note, velocity);
      if (section.harmony) {
        Emit(Instrument::HARMONY, n.step, hold, HarmonyBelow(n.note, ChordAt(n.step)), velocity);
      }
    }
  }

  void AddPads(const std::vector<PartBar>& bars) {
    for (int half = 0; half < static_cast<int>(chords_.size()); ++half) {
      const PartBar& bar = bars[half / 2];
      if (bar.pattern == "-") {
        FlushPad(At(half * STEPS_PER_BAR / 2));
        continue;
      }
      if (bar.pattern != "P")
        throw std::runtime_error("unknown pad pattern \"" + bar.pattern + "\"");
      const std::vector<int> voicing = VoiceChord(chords_[half], padVoicing_);
      const int64_t at = At(half * STEPS_PER_BAR / 2);
      if (padOpen_ && voicing == padVoicing_ && bar.level == padLevel_) continue;
      FlushPad(at);
      padOpen_ = true;
      padStart_ = at;
      padVoicing_ = voicing;
      padLevel_ = bar.level;
    }
    padEnd_ = At(static_cast<int>(chords_.size()) * STEPS_PER_BAR / 2);
  }

  void FlushPad(int64_t end = -1) {
    if (!padOpen_) return;
    if (end < 0) end = padEnd_;
    for (int note : padVoicing_) {
      out_.events.push_back({Instrument::PAD, padStart_, end - padStart_, note, padLevel_,
                             Seed(Instrument::PAD, padStart_ + note)});
    }
    padOpen_ = false;
  }

  void AddArps(const std::vector<PartBar>& bars) {
    ForEachStep(bars, ArpPatterns(), "arp", [&](int step, char c, const PartBar& bar, int) {
      if (c < '0' || c > '7') return;
      const Chord& chord = ChordAt(step);
      const int n = static_cast<int>(chord.intervals.size());
      const int index = c - '0';
      const int note =
          RootAbove(chord.root, ARP_LOWEST) + chord.intervals[index % n] + 12 * (index / n);
      Emit(Instrument::ARP, step, FRAMES_PER_STEP * 3 / 4, note, bar.level * StepAccent(step));
    });
  }

  void AddStabs(const std::vector<PartBar>& bars) {
    ForEachStep(bars, StabPatterns(), "stab", [&](int step, char c, const PartBar& bar, int steps) {
      if (c != 'x') return;
      stabVoicing_ = VoiceChord(ChordAt(step), stabVoicing_);
      for (int note : stabVoicing_) {
        Emit(Instrument::STAB, step, int64_t{steps} * FRAMES_PER_STEP - FRAMES_PER_STEP / 3,
             note + 12, bar.level * StepAccent(step));
      }
    });
  }

  void AddBass(const std::vector<PartBar>& bars) {
    ForEachStep(bars, BassPatterns(), "bass", [&](int step, char c, const PartBar& bar, int steps) {
      const Chord& chord = ChordAt(step);
      const int root = RootAbove(chord.root, BASS_LOWEST);
      int note = 0;
      switch (c) {
        case 'R':
          note = root;
          break;
        case 'O':
          note = root + 12;
          break;
        case 'F':
          note = root + 7;
          break;
        case 'T':
          note = root + chord.intervals[1];
          break;
        default:
          return;
      }
      Emit(Instrument::BASS, step, int64_t{steps} * FRAMES_PER_STEP - FRAMES_PER_STEP / 5, note,
           bar.level * StepAccent(step));
    });
  }

  void AddDrums(const std::vector<PartBar>& bars) {
    for (int b = 0; b < static_cast<int>(bars.size()); ++b) {
      const PartBar& bar = bars[b];
      if (bar.accent) Emit(Instrument::CRASH, b * STEPS_PER_BAR, FRAMES_PER_BAR, 0, bar.level);
      if (bar.pattern == "-") continue;
      const DrumPattern& pattern = Find(DrumPatterns(), bar.pattern, "drum");
      const std::pair<Instrument, const char*> lines[] = {
          {Instrument::KICK, pattern.kick},        {Instrument::SNARE, pattern.snare},
          {Instrument::CLAP, pattern.clap},        {Instrument::HAT, pattern.hat},
          {Instrument::OPEN_HAT, pattern.openHat},
      };
      for (const auto& [instrument, steps] : lines) {
        CheckLength(steps, bar.pattern);
        for (int s = 0; s < STEPS_PER_BAR; ++s) {
          if (steps[s] < '1' || steps[s] > '9') continue;
          Emit(instrument, b * STEPS_PER_BAR + s, FRAMES_PER_STEP, 0,
               bar.level * (steps[s] - '0') / 9.0);
        }
      }
    }
  }

  static void CheckLength(const char* steps, const std::string& name) {
    if (std::string(steps).size() != STEPS_PER_BAR) {
      throw std::runtime_error("pattern \"" + name + "\" is not 16 steps long");
    }
  }

  // Calls play(step, character, bar, steps held) for every step of every
  // bar, where steps held counts the step and the '-' after it.
  template <class Play>
  void ForEachStep(const std::vector<PartBar>& bars, std::span<const NamedText> patterns,
                   const char* kind, Play play) {
    for (int b = 0; b < static_cast<int>(bars.size()); ++b) {
      if (bars[b].pattern == "-") continue;
      const char* steps = Find(patterns, bars[b].pattern, kind).text;
      CheckLength(steps, bars[b].pattern);
      for (int s = 0; s < STEPS_PER_BAR; ++s) {
        int held = 1;
        while (s + held < STEPS_PER_BAR && steps[s + held] == '-') ++held;
        play(b * STEPS_PER_BAR + s, steps[s], bars[b], held);
      }
    }
  }

  Arrangement& out_;
  int64_t start_ = 0;
  std::vector<Chord> chords_;
  bool padOpen_ = false;
  int64_t padStart_ = 0, padEnd_ = 0;
  std::vector<int> padVoicing_;
  double padLevel_ = 0;
  std::vector<int> stabVoicing_;
};

}  // namespace

std::vector<int> VoiceChord(const Chord& chord, const std::vector<int>& previous) {
  std::vector<int> best;
  double bestScore = 1e9;
  for (int lowest = PAD_LOWEST; lowest < PAD_LOWEST + 12; ++lowest) {
    const int pitch = lowest % 12;
    const auto first = std::find_if(chord.intervals.begin(), chord.intervals.end(),
                                    [&](int i) { return (chord.root + i) % 12 == pitch; });
    if (first == chord.intervals.end()) continue;
    // Close position upwards from this chord tone.
    std::vector<int> voicing;
    const size_t n = chord.intervals.size();
    const size_t k0 = static_cast<size_t>(first - chord.intervals.begin());
    for (size_t k = 0; k < n; ++k) {
      const int interval = chord.intervals[(k0 + k) % n];
      const int pc = (chord.root + interval) % 12;
      int note = voicing.empty() ? lowest : voicing.back() + 1;
      while (note % 12 != pc) ++note;
      voicing.push_back(note);
    }
    double mean = 0;
    for (int note : voicing) mean += note;
    mean /= static_cast<double>(n);
    double score = std::abs(mean - PAD_CENTRE);
    if (!previous.empty()) {
      score *= 0.3;
      for (int note : voicing) {
        int nearest = 1000;
        for (int p : previous) nearest = std::min(nearest, std::abs(note - p));
        score += nearest;
      }
    }
    if (score < bestScore) {
      bestScore = score;
      best = voicing;
    }
  }
  return best;
}

namespace {

bool InChord(int note, const Chord& chord) {
  return std::any_of(chord.intervals.begin(), chord.intervals.end(),
                     [&](int i) { return (chord.root + i) % 12 == note % 12; });
}

}  // namespace

int HarmonyBelow(int note, const Chord& chord) {
  if (InChord(note, chord)) {
    int below = note - 3;
    while (!InChord(below, chord)) --below;
    return below;
  }
  const int pc = note % 12;
  const auto degree = std::find(std::begin(C_MAJOR), std::end(C_MAJOR), pc);
  if (degree == std::end(C_MAJOR)) return note - 3;
  const int i = static_cast<int>(degree - std::begin(C_MAJOR));
  return note - pc + C_MAJOR[(i + 5) % 7] - (i < 2 ? 12 : 0);
}

Arrangement Arrange(std::span<const Section> sections) {
  Arrangement arrangement;
  Arranger arranger(arrangement);
  int64_t start = 0;
  for (const Section& section : sections) {
    arranger.Add(section, start);
    const int64_t frames = int64_t{section.bars} * FRAMES_PER_BAR;
    arrangement.sections.push_back({section.name, start, frames});
    start += frames;
  }
  arranger.Finish();
  arrangement.frames = start;
  std::stable_sort(arrangement.events.begin(), arrangement.events.end(),
                   [](const NoteEvent& a, const NoteEvent& b) { return a.start < b.start; });
  return arrangement;
}
