#include "tools/makesound/score.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

[[noreturn]] void Fail(const std::string& what, const std::string& where) {
  throw std::runtime_error(what + ": \"" + where + "\"");
}

int ParseCount(const std::string& text, const std::string& where) {
  if (text.empty() || text.size() > 3 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    Fail("bad number", where);
  }
  return std::stoi(text);
}

// Letter and accidental at the start of text: semitones above the letter
// C (B# is 12, Cb is -1) and how many characters they took; 0 characters
// when text does not start with a note letter.
std::pair<int, size_t> Pitch(const std::string& text) {
  static const std::map<char, int> LETTERS = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5},
                                              {'G', 7}, {'A', 9}, {'B', 11}};
  if (text.empty() || !LETTERS.contains(text[0])) return {0, 0};
  const int pitch = LETTERS.at(text[0]);
  if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) {
    return {pitch + (text[1] == '#' ? 1 : -1), 2};
  }
  return {pitch, 1};
}

// The words of text with every $phrase replaced by its words.
std::vector<std::string> ExpandPhrases(const std::string& text, std::span<const NamedText> phrases,
                                       int depth = 0) {
  // A bar line is a word of its own even where no space sets it apart.
  std::string spaced;
  for (char c : text) spaced += c == '|' ? std::string(" | ") : std::string(1, c);
  std::vector<std::string> words;
  for (const std::string& word : Words(spaced)) {
    if (!word.starts_with("$")) {
      words.push_back(word);
      continue;
    }
    const auto phrase = std::find_if(phrases.begin(), phrases.end(),
                                     [&](const NamedText& p) { return word.substr(1) == p.name; });
    if (phrase == phrases.end()) Fail("unknown phrase", word);
    if (depth > 8) Fail("phrases include each other", word);
    for (std::string& inner : ExpandPhrases(phrase->text, phrases, depth + 1)) {
      words.push_back(std::move(inner));
    }
  }
  return words;
}

}  // namespace

int ParseNoteName(const std::string& name) {
  const auto [pitch, used] = Pitch(name);
  if (used == 0 || name.size() != used + 1 || name[used] < '0' || name[used] > '8') {
    Fail("bad note", name);
  }
  return 12 * (name[used] - '0' + 1) + pitch;
}

Chord ParseChord(const std::string& symbol) {
  static const std::map<std::string, std::vector<int>> QUALITIES = {
      {"", {0, 4, 7}},       {"m", {0, 3, 7}},        {"7", {0, 4, 7, 10}},
      {"m7", {0, 3, 7, 10}}, {"maj7", {0, 4, 7, 11}}, {"sus4", {0, 5, 7}},
  };
  const auto [pitch, used] = Pitch(symbol);
  const auto quality = QUALITIES.find(symbol.substr(used));
  if (used == 0 || quality == QUALITIES.end()) Fail("bad chord", symbol);
  return {(pitch + 12) % 12, quality->second};
}

std::vector<MelodyNote> ParseMelody(const std::string& text, int bars,
                                    std::span<const NamedText> phrases) {
  std::vector<MelodyNote> notes;
  int step = 0;
  for (const std::string& word : ExpandPhrases(text, phrases)) {
    if (word == "|") {
      if (step % STEPS_PER_BAR) Fail("bar line inside a bar", text.substr(0, 40));
      continue;
    }
    const size_t colon = word.find(':');
    if (colon == std::string::npos) Fail("note without a length", word);
    const int length = ParseCount(word.substr(colon + 1), word);
    if (length == 0) Fail("note of no length", word);
    const std::string name = word.substr(0, colon);
    if (name != "-") notes.push_back({step, length, ParseNoteName(name)});
    step += length;
  }
  if (step != bars * STEPS_PER_BAR) {
    Fail(
        "melody of " + std::to_string(step) + " steps, not " + std::to_string(bars * STEPS_PER_BAR),
        text.substr(0, 40));
  }
  return notes;
}

std::vector<Chord> ParseChords(const std::string& text, int bars) {
  std::vector<Chord> halves;
  for (const std::string& word : Words(text)) {
    const size_t dash = word.find('-');
    if (dash == std::string::npos) {
      halves.push_back(ParseChord(word));
      halves.push_back(halves.back());
    } else {
      halves.push_back(ParseChord(word.substr(0, dash)));
      halves.push_back(ParseChord(word.substr(dash + 1)));
    }
  }
  if (static_cast<int>(halves.size()) != 2 * bars) Fail("wrong number of chords", text);
  return halves;
}

std::vector<PartBar> ParseParts(const std::string& text, int bars) {
  std::vector<PartBar> parts;
  for (std::string word : Words(text)) {
    int repeat = 1;
    if (const size_t star = word.find('*'); star != std::string::npos) {
      repeat = ParseCount(word.substr(star + 1), word);
      word.resize(star);
    }
    PartBar bar;
    if (!word.empty() && word.back() == '!') {
      bar.accent = true;
      word.pop_back();
    }
    if (const size_t colon = word.find(':'); colon != std::string::npos) {
      const int level = ParseCount(word.substr(colon + 1), word);
      if (level < 1 || level > 9) Fail("level outside 1..9", word);
      bar.level = level / 9.0;
      word.resize(colon);
    }
    if (word.empty()) Fail("part without a pattern", text);
    bar.pattern = word;
    parts.insert(parts.end(), repeat, bar);
  }
  if (static_cast<int>(parts.size()) != bars) {
    Fail(std::to_string(parts.size()) + " bars of parts, not " + std::to_string(bars), text);
  }
  return parts;
}
