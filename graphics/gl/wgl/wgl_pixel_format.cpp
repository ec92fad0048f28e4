#include "graphics/gl/wgl/wgl_pixel_format.h"

#include "graphics/display/display.h"

namespace {

// Windows' own renderer (generic, not accelerated) draws in software, many
// times slower than the card: a system may choose it when it is the closest
// to what was asked, although the card's driver has a format that fits.
bool Accelerated(const PIXELFORMATDESCRIPTOR& format) {
  return !(format.dwFlags & PFD_GENERIC_FORMAT) || (format.dwFlags & PFD_GENERIC_ACCELERATED);
}

// Colour bits past 32 (formats of more than 8 bits a channel) buy this
// engine nothing.
int ColourScore(const PIXELFORMATDESCRIPTOR& format) {
  return format.cColorBits < 32 ? format.cColorBits : 32;
}

bool Listed(const std::vector<PIXELFORMATDESCRIPTOR>& formats, int index) {
  return index >= 1 && index < static_cast<int>(formats.size());
}

}  // namespace

bool WglFormatFits(const PIXELFORMATDESCRIPTOR& got, int flags) {
  constexpr DWORD NEEDED = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  if ((got.dwFlags & NEEDED) != NEEDED || got.iPixelType != PFD_TYPE_RGBA) return false;
  if ((flags & DF_BACKBUFFER) && !(got.dwFlags & PFD_DOUBLEBUFFER)) return false;
  if ((flags & DF_ALPHABUFFER) && got.cAlphaBits < 1) return false;
  if ((flags & DF_DEPTHBUFFER) && got.cDepthBits < 1) return false;
  if ((flags & DF_STENCILBUFFER) && got.cStencilBits < 1) return false;
  if ((flags & DF_ACCUMBUFFER) && got.cAccumBits < 1) return false;
  return true;
}

int WglPreferredFormat(const std::vector<PIXELFORMATDESCRIPTOR>& formats, int chosen, int flags) {
  const bool chosenFits = Listed(formats, chosen) && WglFormatFits(formats[chosen], flags);
  if (chosenFits && Accelerated(formats[chosen])) return chosen;
  int best = 0;
  for (int i = 1; i < static_cast<int>(formats.size()); ++i) {
    if (!Accelerated(formats[i]) || !WglFormatFits(formats[i], flags)) continue;
    if (!best || ColourScore(formats[i]) > ColourScore(formats[best])) best = i;
  }
  if (best) return best;
  return chosenFits ? chosen : 0;
}
