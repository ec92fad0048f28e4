// makeart: paints the game's pictures.
//
//   makeart [--fonts DIR] [--sheet FILE.png] OUTPUT_DIR
//
// writes the fourteen PNG files of gfx/ into OUTPUT_DIR and the game's icon
// at each size into OUTPUT_DIR/icons/ (zorp-16.png to zorp-256.png, and
// zorp.ico of them for Windows), the same bytes on every run, and with
// --sheet a contact sheet of them to look at.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "pixmap/png.h"
#include "runtime/program.h"
#include "tools/makeart/contact_sheet.h"
#include "tools/makeart/icon_file.h"

namespace {

struct Options {
  std::string fontDir = ZORP_DEJAVU_DIR;
  std::string sheet;
  std::string outputDir;
};

constexpr const char* USAGE = "usage: makeart [--fonts DIR] [--sheet FILE.png] OUTPUT_DIR\n";

bool ParseOptions(std::span<char* const> arguments, Options& options) {
  // The options that take a value, and the field each value goes to.
  const std::pair<std::string_view, std::string Options::*> valued[] = {
      {"--fonts", &Options::fontDir}, {"--sheet", &Options::sheet}};
  for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
    const std::string_view text = *argument;
    const auto option = std::find_if(std::begin(valued), std::end(valued),
                                     [&](const auto& entry) { return entry.first == text; });
    if (option != std::end(valued)) {
      if (++argument == arguments.end()) return false;
      options.*(option->second) = *argument;
    } else if (text.starts_with('-') || !options.outputDir.empty()) {
      return false;
    } else {
      options.outputDir = text;
    }
  }
  return !options.outputDir.empty();
}

void Save(const Ref<TPixmap>& pixmap, const std::string& path) {
  if (!SavePixmapPNG(pixmap, path.c_str(), 9)) throw std::runtime_error("cannot write " + path);
}

int MakeArt(const Options& options) {
  StartPNG();
  // Everything is painted before anything is written, so that a failure
  // leaves the old files as they were.
  const std::vector<Picture> pictures = MakePictures(options.fontDir);
  const std::vector<Picture> icons = MakeIcons();
  std::filesystem::create_directories(options.outputDir + "/icons");
  for (const auto* list : {&pictures, &icons}) {
    for (const Picture& picture : *list)
      Save(picture.pixmap, options.outputDir + "/" + picture.name);
  }
  // The Windows program's icon from the same pictures; 22 pixels is no size
  // Windows asks for.
  std::vector<std::string> iconFiles;
  for (const Picture& icon : icons) {
    if (icon.pixmap->Width() != 22) iconFiles.push_back(options.outputDir + "/" + icon.name);
  }
  SaveIconFile(iconFiles, options.outputDir + "/icons/zorp.ico");
  if (!options.sheet.empty()) {
    Save(MakeContactSheet(pictures, Typefaces(options.fontDir)), options.sheet);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(std::span<char* const>(argv + 1, size_t(argc - 1)), options)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  return RunProgram([&] { return MakeArt(options); });
}
