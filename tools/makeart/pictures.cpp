#include "tools/makeart/pictures.h"

#include <algorithm>

Typefaces::Typefaces(const std::string& fontDir)
    : sans(fontDir + "/DejaVuSans-Bold.ttf"), serif(fontDir + "/DejaVuSerif-Bold.ttf") {}

Ref<TPixmap> JoinFrames(const std::vector<Image>& frames, int columns) {
  const int width = frames.front().Width(), height = frames.front().Height();
  const int rows = (int(frames.size()) + columns - 1) / columns;
  Ref<TPixmap> sheet = TPixmap::Create(width * columns, height * rows, PIXFMT_RGBA32);
  for (int y = 0; y < sheet->Height(); ++y) {
    for (int x = 0; x < sheet->Width(); ++x) sheet->WritePixel(x, y, 0);
  }
  // Each frame is finished on its own, so that the colours given to its
  // transparent edge never come from a neighbouring frame.
  for (size_t i = 0; i < frames.size(); ++i) {
    sheet->Paste(*frames[i].ToPixmap(true), int(i) % columns * width, int(i) / columns * height);
  }
  return sheet;
}

std::vector<Picture> MakePictures(const std::string& fontDir) {
  const Typefaces faces(fontDir);
  return {
      {"grass.png", MakeGrass()},
      {"zorp.png", MakeZorp()},
      {"bground.png", MakeBorder()},
      {"face.png", MakeFace()},
      {"digits.png", MakeDigits(faces)},
      {"objects.png", MakeObjects(faces)},
      {"logo.png", MakeLogo(faces)},
      {"font.png", MakeFont(faces)},
      {"logo_sml.png", MakePublisherSmall(faces)},
      {"logo_lge.png", MakePublisherLarge(faces)},
      {"ready.png", MakeReady(faces)},
      {"game_over.png", MakeGameOver(faces)},
      {"title.png", MakeTitle(faces)},
      {"presents.png", MakePresents(faces)},
  };
}
