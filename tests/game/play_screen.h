#pragma once
// The game's screen as the end-to-end tests see it: grabbed from the X
// server, the states it shows, and where the zorp's head is along a route.

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/game/pilot.h"

namespace onscreen {

struct Rgb {
  int r, g, b;
};

constexpr Rgb MAGENTA{255, 128, 255}, ORANGE{255, 128, 0}, GREEN{0, 255, 0}, YELLOW{255, 255, 0},
    CYAN{128, 255, 255}, GREY{128, 128, 128};

bool White(Rgb p);

struct Box {
  int x0, y0, x1, y1;
};

class ScreenImage {
 public:
  explicit ScreenImage(Display* display) : display_(display) {}

  // Reads the whole screen, or only the parts given (the rest keeps what
  // was read before): a small part reads much faster.
  void Grab(const std::vector<Box>& parts = {});
  bool Same(const ScreenImage& other, const std::vector<Box>& parts) const;
  Rgb At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0};
    const uint32_t p = pixels_[static_cast<size_t>(y * width_ + x)];
    return {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255),
            static_cast<int>(p & 255)};
  }
  template <typename Test>
  int Count(Box box, Test test) const {
    int n = 0;
    for (int y = box.y0; y < box.y1; ++y) {
      for (int x = box.x0; x < box.x1; ++x) n += test(At(x, y)) ? 1 : 0;
    }
    return n;
  }
  // Pixels of about the colour: the artwork's white is shaded a little
  // before the drawing colour tints it.
  int Count(Box box, Rgb colour) const;
  // Pixels that differ clearly from the other screen's.
  int Changed(const ScreenImage& other, Box box) const;
  bool Differs(const ScreenImage& other, Box box) const;
  // As a binary PPM file, for looking at after a failure.
  bool SaveAs(const std::string& path) const;

 private:
  void Read(Box part);

  Display* display_;
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

// The 24-pixel ball at a point of the play area (in half pixels), on the
// screen, widened by margin pixels on every side. The play area starts at
// (4, 44).
Box BallBox(pilot::Spot spot, int margin = 0);

// What the screen shows.
bool TitleShown(const ScreenImage& s);
// With two display drivers the title offers to switch with G, in grey in
// the driver line box.
constexpr Box DRIVER_LINE{100, 44 + 386, 700, 44 + 424};
bool DriverLineShown(const ScreenImage& s);
bool NameEntryShown(const ScreenImage& s);
// "PAUSED", white and drawn over everything else, lies in the label box.
constexpr Box LABEL{320, 344, 480, 384};
bool PausedShown(const ScreenImage& s);
// The publisher's emblem on the loading screen lies in the emblem box.
constexpr Box EMBLEM{330, 170, 470, 330};
bool LoadingShown(const ScreenImage& s);
bool StarShownAt(const ScreenImage& s, pilot::Cell cell);

// Ticks along a route, both ends included.
struct Ticks {
  int lo, hi;
};

// The ticks the head may be at, searched forwards from one it has passed
// and the tail has not.
std::optional<Ticks> ReadHead(const ScreenImage& s, const pilot::Route& route, int from, int to);

}  // namespace onscreen
