#include "tests/game/play_screen.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>

namespace onscreen {

namespace {

using pilot::CELL_TICKS;

// The zorp is purple, even its dark edge over the grass; nothing else on
// the field is (the red 9 has no blue, the blue 1 and 2 no red).
bool Purple(Rgb p) { return p.b > p.g + 8 && p.r > p.g - 5 && p.b > p.r; }

// How many of the six pixels across the middle of a ball's front column
// (or row) pass the test, for a 24-pixel ball at the spot heading that way;
// and how many are neither that nor white ("PAUSED" may lie over them).
std::pair<int, int> Front(const ScreenImage& s, pilot::Spot spot, int heading,
                          const std::function<bool(Rgb)>& test) {
  const Box ball = BallBox(spot);
  const int x = ball.x0, y = ball.y0;
  int yes = 0, other = 0;
  for (int across = 9; across < 15; ++across) {
    const Rgb p = heading == pilot::UP     ? s.At(x + across, y)
                  : heading == pilot::DOWN ? s.At(x + across, y + 23)
                  : heading == pilot::LEFT ? s.At(x, y + across)
                                           : s.At(x + 23, y + across);
    if (test(p)) {
      ++yes;
    } else if (!White(p)) {
      ++other;
    }
  }
  return {yes, other};
}

bool Grass(Rgb p) { return p.g > p.r && p.g > p.b; }

// The face's eyes are the only pale pixels on the zorp but for a glint or
// two on each ball ("PAUSED" is whiter still).
bool EyesIn(const ScreenImage& s, pilot::Spot spot) {
  return s.Count(BallBox(spot, -2), [](Rgb p) {
    return std::min({p.r, p.g, p.b}) >= 195 && !White(p);
  }) >= 10;
}

// Whether the head could be at the tick: the front of the ball there is
// on the zorp, grass lies two pixels further on, and the ball has eyes.
bool HeadCouldBeAt(const ScreenImage& s, const pilot::Route& route, int tick) {
  const pilot::Spot spot = route.At(tick);
  const int heading = route.Heading(tick);
  constexpr int STEP_X[] = {0, 4, 0, -4}, STEP_Y[] = {-4, 0, 4, 0};
  const auto [purple, notPurple] = Front(s, spot, heading, Purple);
  if (purple < 3 || purple < notPurple) return false;
  const pilot::Spot ahead{spot.x + STEP_X[heading], spot.y + STEP_Y[heading]};
  return Front(s, ahead, heading, Grass).first >= 3 && EyesIn(s, spot);
}

// The ticks from `from` on at which the head could be, as long as it goes.
std::optional<Ticks> Matches(const ScreenImage& s, const pilot::Route& route, int from, int to) {
  for (int t = from; t <= to; ++t) {
    if (!HeadCouldBeAt(s, route, t)) continue;
    int last = t;
    while (HeadCouldBeAt(s, route, last + 1)) ++last;
    return Ticks{t, last};
  }
  return std::nullopt;
}

}  // namespace

// The ticks the head may be at, searched forwards from one it has passed.
// Half a pixel does not always show, and the head looks alike a pixel or
// two either way, so a reading spans a few ticks. Just round a turn, the
// ball's front in the old direction still looks like a head, and so does a
// head just before the turn in the new direction: a head well along the
// new way wins, and the reading is wider.
std::optional<Ticks> ReadHead(const ScreenImage& s, const pilot::Route& route, int from, int to) {
  const std::optional<Ticks> seen = Matches(s, route, from, to);
  if (!seen) return std::nullopt;
  const int corner = (seen->lo + CELL_TICKS / 2) / CELL_TICKS * CELL_TICKS;
  const bool turn = route.Heading(corner) != route.Heading(corner + 1);
  if (!turn || seen->lo > corner + 3 || seen->hi < corner - 4) {
    return Ticks{seen->lo - 3, seen->hi + 3};
  }
  if (const std::optional<Ticks> after = Matches(s, route, corner + 6, corner + CELL_TICKS)) {
    return Ticks{after->lo - 5, after->hi + 3};
  }
  return Ticks{seen->lo - 3, std::max(seen->hi + 3, corner + 8)};
}

// Yellow star points inside the cell.
bool StarShownAt(const ScreenImage& s, pilot::Cell cell) {
  const pilot::Spot corner{cell.column * CELL_TICKS, cell.row * CELL_TICKS};
  return s.Count(BallBox(corner, -2), [](Rgb p) { return p.r > 180 && p.g > 130 && p.b < 100; }) >
         30;
}

bool White(Rgb p) { return p.r >= 250 && p.g >= 250 && p.b >= 250; }

void ScreenImage::Grab(const std::vector<Box>& parts) {
  if (pixels_.empty() || parts.empty()) {
    const Window root = DefaultRootWindow(display_);
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, root, &attributes);
    width_ = attributes.width;
    height_ = attributes.height;
    pixels_.assign(static_cast<size_t>(width_ * height_), 0);
    Read({0, 0, width_, height_});
    return;
  }
  for (const Box& part : parts) Read(part);
}

void ScreenImage::Read(Box part) {
  part.x0 = std::clamp(part.x0, 0, width_);
  part.x1 = std::clamp(part.x1, part.x0, width_);
  part.y0 = std::clamp(part.y0, 0, height_);
  part.y1 = std::clamp(part.y1, part.y0, height_);
  if (part.x1 == part.x0 || part.y1 == part.y0) return;
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), part.x0, part.y0,
                            static_cast<unsigned>(part.x1 - part.x0),
                            static_cast<unsigned>(part.y1 - part.y0), AllPlanes, ZPixmap);
  const bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
  for (int y = 0; y < image->height; ++y) {
    const char* row = image->data + static_cast<long>(y) * image->bytes_per_line;
    for (int x = 0; x < image->width; ++x) {
      uint32_t p = 0;
      if (direct) {
        std::memcpy(&p, row + 4 * x, 4);
      } else {
        p = static_cast<uint32_t>(XGetPixel(image, x, y));
      }
      pixels_[static_cast<size_t>((part.y0 + y) * width_ + part.x0 + x)] = p;
    }
  }
  XDestroyImage(image);
}

bool ScreenImage::Same(const ScreenImage& other, const std::vector<Box>& parts) const {
  if (parts.empty()) return pixels_ == other.pixels_;
  return std::none_of(parts.begin(), parts.end(), [&](Box b) { return Differs(other, b); });
}

int ScreenImage::Count(Box box, Rgb colour) const {
  return Count(box, [colour](Rgb p) {
    return std::abs(p.r - colour.r) <= 40 && std::abs(p.g - colour.g) <= 40 &&
           std::abs(p.b - colour.b) <= 40;
  });
}

int ScreenImage::Changed(const ScreenImage& other, Box box) const {
  int n = 0;
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      const Rgb a = At(x, y), b = other.At(x, y);
      n += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 30 ? 1 : 0;
    }
  }
  return n;
}

bool ScreenImage::Differs(const ScreenImage& other, Box box) const {
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      const Rgb a = At(x, y), b = other.At(x, y);
      if (a.r != b.r || a.g != b.g || a.b != b.b) return true;
    }
  }
  return false;
}

bool ScreenImage::SaveAs(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width_ << " " << height_ << "\n255\n";
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Rgb p = At(x, y);
      out << static_cast<char>(p.r) << static_cast<char>(p.g) << static_cast<char>(p.b);
    }
  }
  return static_cast<bool>(out);
}

Box BallBox(pilot::Spot spot, int margin) {
  const int x = 4 + spot.x / 2, y = 44 + spot.y / 2;
  return {x - margin, y - margin, x + 24 + margin, y + 24 + margin};
}

// In screen pixels; the play area starts at (4, 44).
bool TitleShown(const ScreenImage& s) {
  // "PRESS SPACE TO START" lies lower when the driver line is above it.
  return s.Count({100, 44 + 428, 700, 44 + 470}, MAGENTA) > 50 &&
         s.Count({100, 44 + 326, 700, 44 + 350}, ORANGE) > 50;
}

bool DriverLineShown(const ScreenImage& s) { return s.Count(DRIVER_LINE, GREY) > 50; }

bool NameEntryShown(const ScreenImage& s) {
  return s.Count({4, 44 + 356, 796, 44 + 380}, CYAN) > 50;
}

bool PausedShown(const ScreenImage& s) { return s.Count(LABEL, White) >= 400; }

bool LoadingShown(const ScreenImage& s) {
  return s.Count(EMBLEM, [](Rgb p) { return p.r + p.g + p.b > 60; }) > 2000;
}

}  // namespace onscreen
