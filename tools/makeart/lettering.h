#pragma once
// Letters from outline fonts through FreeType, and the painted lettering of
// the titles: a gradient face with a bevel, an outline, an extruded side and
// a soft shadow.

#include <string>
#include <string_view>

#include "tools/makeart/canvas.h"
#include "tools/makeart/path.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

class Typeface {
 public:
  // Raises std::runtime_error when the font does not open.
  explicit Typeface(const std::string& file);
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;

  // One character's outline at ppem pixels to the em, its origin on the
  // baseline and y growing downwards; advance receives its width. Hinted
  // outlines are fitted to the pixel grid at the nearest whole size.
  Path Glyph(char32_t code, double ppem, bool hinted, double* advance = nullptr) const;
  // A line of text with tracking extra pixels after each character.
  Path Text(std::string_view text, double ppem, double tracking = 0) const;

 private:
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
};

// The shape moved and scaled so that its extent fills target; with
// keepAspect it is scaled evenly and centred in target instead.
Path FitTo(const Path& shape, const Bounds& target, bool keepAspect);
// The transform that FitTo applies to a shape of that extent.
Affine FitTransform(const Bounds& extent, const Bounds& target, bool keepAspect);

struct LetteringStyle {
  Colour faceTop, faceBottom;  // vertical gradient over the letters' extent
  Colour bevelLight, bevelDark;
  int bevel = 1;  // width of the bevel's lit and shaded edges
  Colour gloss;   // laid over the upper half of the face
  Colour outline;
  double outlineWidth = 2;
  Colour sideNear, sideFar;  // the extruded side, from the face back
  int depth = 0;             // extrusion in pixels
  int depthX = 1, depthY = 1;
  Colour shadow;
  int shadowBlur = 3;
  int shadowX = 3, shadowY = 4;
};

void PaintLettering(Image& image, const Path& letters, const LetteringStyle& style);
