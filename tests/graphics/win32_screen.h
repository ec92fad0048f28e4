#pragma once
// The X screen as Wine shows it to Windows programs, read one pixel at a time
// through the desktop's device context, for the display tests under Wine.

#include <windows.h>

#include <ostream>

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline void PrintTo(const Rgb& c, std::ostream* out) { *out << c.r << "," << c.g << "," << c.b; }

// The screen at (x, y), as X shows it.
inline Rgb ScreenAt(int x, int y) {
  const HDC screen = GetDC(nullptr);
  const COLORREF color = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return {GetRValue(color), GetGValue(color), GetBValue(color)};
}
