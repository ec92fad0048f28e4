#include "tools/makesound/music.h"

#include <cstdio>
#include <stdexcept>

#include "tools/makesound/ogg_vorbis_writer.h"

namespace {

// Limits that a finished mix stays well inside; they catch an instrument or
// effect gone badly wrong, not matters of taste.
constexpr double PEAK_LIMIT_DB = -1.5;  // before encoding; the encoder adds ripple
constexpr double SECTION_RMS_MIN_DB = -30;
constexpr double SECTION_RMS_MAX_DB = -12;
constexpr double BASS_SHARE_MIN_DB = -12;  // below 150 Hz: there is a bass and a kick
constexpr double BASS_SHARE_MAX_DB = -1;   // ... that do not swamp the rest
constexpr double AIR_SHARE_MAX_DB = -15;   // 8-20 kHz: bright, never harsh
constexpr double AIR_SHARE_MIN_DB = -45;   // ... and not muffled
constexpr int JOIN_WINDOW = MUSIC_RATE / 10;

std::span<const float> Part(const std::vector<float>& samples, int64_t start, int64_t frames) {
  return std::span<const float>(samples).subspan(static_cast<size_t>(start),
                                                 static_cast<size_t>(frames));
}

std::string FormatLevels(const Levels& levels, const BandLevels& bands) {
  char text[160];
  std::snprintf(text, sizeof text, "peak %6.2f  rms %6.2f  side %6.2f  bands", levels.peakDb,
                levels.rmsDb, levels.sideDb);
  std::string line = text;
  for (double band : bands) {
    std::snprintf(text, sizeof text, " %6.1f", band);
    line += text;
  }
  return line;
}

void Require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("the music fails a check: " + what);
}

}  // namespace

Arrangement SongArrangement() { return Arrange(SongSections()); }

MusicReport AnalyseMusic(const Arrangement& arrangement, const StereoBuffer& music) {
  MusicReport report;
  report.whole = MeasureLevels(music.left, music.right);
  report.bands = MeasureBands(music.left, music.right, MUSIC_RATE);
  for (const SectionSpan& section : arrangement.sections) {
    const auto left = Part(music.left, section.start, section.frames);
    const auto right = Part(music.right, section.start, section.frames);
    report.sections.push_back(
        {section.name, MeasureLevels(left, right), MeasureBands(left, right, MUSIC_RATE)});
  }
  report.join = MeasureJoin(music.left, music.right, JOIN_WINDOW);
  return report;
}

void CheckMusic(const MusicReport& report) {
  Require(report.whole.peakDb < PEAK_LIMIT_DB, "peaks too close to full scale");
  for (const SectionLevels& section : report.sections) {
    Require(section.levels.rmsDb > SECTION_RMS_MIN_DB, section.name + " too quiet");
    Require(section.levels.rmsDb < SECTION_RMS_MAX_DB, section.name + " too loud");
  }
  Require(report.bands[0] > BASS_SHARE_MIN_DB, "too little bass");
  Require(report.bands[0] < BASS_SHARE_MAX_DB, "too much bass");
  Require(report.bands[BAND_COUNT - 1] < AIR_SHARE_MAX_DB, "harsh highs");
  Require(report.bands[BAND_COUNT - 1] > AIR_SHARE_MIN_DB, "muffled highs");
  Require(report.join.joinStep <= report.join.typicalStep, "a step where the loop joins");
}

std::string FormatReport(const MusicReport& report) {
  std::string text = "                   band edges (Hz):";
  for (double edge : BAND_EDGES) text.append(" ").append(std::to_string(static_cast<int>(edge)));
  text += "\n";
  char line[128];
  for (const SectionLevels& section : report.sections) {
    std::snprintf(line, sizeof line, "%-18s ", section.name.c_str());
    text += line + FormatLevels(section.levels, section.bands) + "\n";
  }
  std::snprintf(line, sizeof line, "%-18s ", "whole");
  text += line + FormatLevels(report.whole, report.bands) + "\n";
  std::snprintf(line, sizeof line, "join step %.5f, 99%% of steps near it below %.5f",
                report.join.joinStep, report.join.typicalStep);
  return text + line + "\n";
}

std::vector<uint8_t> EncodeMusic(const StereoBuffer& music) {
  return EncodeOggVorbis(music, MUSIC_RATE, MUSIC_QUALITY, "Zorp");
}
