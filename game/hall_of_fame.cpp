#include "game/hall_of_fame.h"

#include <cstring>

#include "game/bitmap_font.h"
#include "game/game_files.h"
#include "game/game_state.h"
#include "system/polled_input.h"

HallOfFame& Ranks() {
  static HallOfFame ranks;
  return ranks;
}

void SetDefaultRanks() {
  HallOfFame& h = Ranks();
  for (int i = 0; i < RANKS; ++i) {
    h.rankScores[i] = 500000 - 50000 * i;
    h.rankNames[i] = String("QUILLMOOR SOFTWARE");
  }
}

void ReadScores(const String& path) {
  HallOfFame table;
  if (!ReadGameFile(path, [&table](const Ref<TStream>& file) { ReadScoreTable(file, table); })) {
    SetDefaultRanks();
    return;
  }
  Ranks().rankScores = table.rankScores;
  Ranks().rankNames = table.rankNames;
}

bool WriteScores(const String& path) {
  return WriteFileSafely(path, [](const Ref<TStream>& file) { WriteScoreTable(file, Ranks()); });
}

void RankCheckTick() {
  GameGlobals& g = Game();
  HallOfFame& h = Ranks();
  if (g.score <= h.rankScores[RANKS - 1]) {
    g.state = Title;
    return;
  }
  int rank = 0;
  while (rank < RANKS - 1 && h.rankScores[rank] >= g.score) ++rank;
  for (int i = RANKS - 1; i > rank; --i) {
    h.rankScores[i] = h.rankScores[i - 1];
    h.rankNames[i] = h.rankNames[i - 1];
  }
  h.rankScores[rank] = g.score;
  h.rankNames[rank] = String();
  h.editedRank = rank;
  g.state = NameEntry;
  ClearKeys();
}

void NameEntryTick() {
  const int c = TakeChar();
  if (c == 0) return;
  String& name = Ranks().rankNames[Ranks().editedRank];
  const int upper = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  if (upper > 0 && upper < 256 && std::strchr(FONT_ALPHABET, upper)) {
    const String longer = name + String::Chr(upper);
    if (FontTextWidth(longer) <= NAME_WIDTH_LIMIT) name = longer;
  } else if (c == KEY_ENTER) {
    Game().state = Title;
    ClearKeys();
  } else if (c == KEY_BACKSPACE && name.Length() > 0) {
    name = name.Left(name.Length() - 1);
  }
}
