// makesound: synthesises the game's sound effects and music.
//
//   makesound [--effects-only] [--report] OUTPUT_DIR
//
// writes sfx/bonus.wav, sfx/death.wav, sfx/number.wav and music/son.ogg
// below OUTPUT_DIR (the repository root for the committed files). With
// --report it prints the music's levels and spectrum per section.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "tools/makesound/effects.h"
#include "tools/makesound/music.h"

namespace {

struct Options {
  bool effectsOnly = false;
  bool report = false;
  std::string outputDir;
};

constexpr const char* USAGE = "usage: makesound [--effects-only] [--report] OUTPUT_DIR\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--effects-only") {
      options.effectsOnly = true;
    } else if (argument == "--report") {
      options.report = true;
    } else if (argument.starts_with("-") || !options.outputDir.empty()) {
      return false;
    } else {
      options.outputDir = argument;
    }
  }
  return !options.outputDir.empty();
}

struct OutputFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

int MakeSounds(const Options& options) {
  // Everything is made and checked before anything is written, so a failure
  // leaves the old files as they were.
  std::vector<OutputFile> files;
  for (const SoundEffect& effect : MakeEffects())
    files.push_back({effect.file, EncodeWav8(effect)});
  if (!options.effectsOnly) {
    const Arrangement arrangement = SongArrangement();
    const StereoBuffer music = RenderLoop(arrangement);
    const MusicReport report = AnalyseMusic(arrangement, music);
    if (options.report) std::fputs(FormatReport(report).c_str(), stdout);
    CheckMusic(report);
    files.push_back({MUSIC_FILE, EncodeMusic(music)});
  }
  for (const OutputFile& file : files) WriteFile(options.outputDir + "/" + file.name, file.bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  return RunProgram([&] { return MakeSounds(options); });
}
