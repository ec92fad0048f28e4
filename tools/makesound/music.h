#pragma once
// The music file: the arranged piece, rendered, checked and encoded.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/makesound/analysis.h"
#include "tools/makesound/arrange.h"
#include "tools/makesound/render.h"

constexpr const char* MUSIC_FILE = "music/son.ogg";
// Chosen for a file of about 2.8 MB: clean highs, still small enough to
// embed.
constexpr float MUSIC_QUALITY = 0.42f;

struct SectionLevels {
  std::string name;
  Levels levels;
  BandLevels bands;
};

struct MusicReport {
  Levels whole;
  BandLevels bands;
  std::vector<SectionLevels> sections;
  JoinReport join;
};

// The piece of song.h, arranged.
Arrangement SongArrangement();

MusicReport AnalyseMusic(const Arrangement& arrangement, const StereoBuffer& music);
// Raises std::runtime_error when the music clips or comes close to it, a
// section is much too quiet or loud, the spectrum is badly out of balance
// or the loop's join steps further than the music around it.
void CheckMusic(const MusicReport& report);
std::string FormatReport(const MusicReport& report);

std::vector<uint8_t> EncodeMusic(const StereoBuffer& music);
