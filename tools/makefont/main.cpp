// makefont: renders DejaVu Sans Mono into the engine's 8 x 16 font bitmaps.
//
//   makefont [--fonts DIR] [--preview FILE.png] OUTPUT_DIR
//
// writes every recipe's bitmap (kestrafont.bin, gldrawtextfont.bin) into
// OUTPUT_DIR, and with --preview an enlarged sheet of them to look at.

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "pixmap/png.h"
#include "runtime/program.h"
#include "tools/makefont/font_bitmap.h"
#include "tools/makefont/font_preview.h"

namespace {

struct Options {
  std::string fontDir = ZORP_DEJAVU_DIR;
  std::string preview;
  std::string outputDir;
};

constexpr const char* USAGE = "usage: makefont [--fonts DIR] [--preview FILE.png] OUTPUT_DIR\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--fonts" && hasValue) {
      options.fontDir = argv[++i];
    } else if (argument == "--preview" && hasValue) {
      options.preview = argv[++i];
    } else if (argument.starts_with("-") || !options.outputDir.empty()) {
      return false;
    } else {
      options.outputDir = argument;
    }
  }
  return !options.outputDir.empty();
}

void WriteFile(const std::string& path, const FontBitmap& bitmap) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bitmap.data()), std::streamsize(bitmap.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

int MakeFonts(const Options& options) {
  // Every font is rendered before any is written, so a failure leaves the
  // old files as they were.
  std::vector<NamedFont> fonts;
  for (const FontRecipe& recipe : FontRecipes()) {
    fonts.push_back({recipe.output, RenderFont(recipe, options.fontDir), recipe.baselineRow});
  }
  for (const NamedFont& font : fonts) WriteFile(options.outputDir + "/" + font.name, font.bitmap);
  if (!options.preview.empty()) {
    StartPNG();
    if (!SavePixmapPNG(MakeFontPreview(fonts), options.preview.c_str(), 9)) {
      throw std::runtime_error("cannot write " + options.preview);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  return RunProgram([&] { return MakeFonts(options); });
}
