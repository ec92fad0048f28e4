#pragma once
// The ten best scores with a name each: read from scores.dat at start, shown
// on the title screen, extended when a game ends well enough, written at
// exit.

#include <array>

#include "runtime/string.h"

constexpr int RANKS = 10;
constexpr int NAME_WIDTH_LIMIT = 304;  // pixels of the bitmap font

struct HallOfFame {
  std::array<int, RANKS> rankScores{};
  std::array<String, RANKS> rankNames;
  int editedRank = 0;
};

HallOfFame& Ranks();
// 500000 down to 50000 in steps of 50000, each "QUILLMOOR SOFTWARE".
void SetDefaultRanks();
// The default table when the file is missing or cannot be read; missing
// lines read as score 0 and an empty name.
void ReadScores(const String& path);
// Twenty lines ending in CR LF: each score, then its name. False when the
// file could not be written (said on standard error); the old one is then
// left as it was.
bool WriteScores(const String& path);

// One RankCheck tick: the hall of fame takes the score, or back to Title.
void RankCheckTick();
// One NameEntry tick: at most one typed character.
void NameEntryTick();
