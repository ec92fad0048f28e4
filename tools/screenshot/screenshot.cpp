// Saves the X server's whole screen as a PNG: screenshot OUT.png.
// The game's screenshot script and end-to-end test look at the game with it.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>

#include "pixmap/png.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshot OUT.png\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "screenshot: no X server (is DISPLAY set?)\n");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "screenshot: the screen could not be read\n");
    return 1;
  }
  StartPNG();
  const Ref<TPixmap> pixmap = CreatePixmap(attributes.width, attributes.height, PIXFMT_RGBA32);
  for (int y = 0; y < attributes.height; ++y) {
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long rgb = XGetPixel(image, x, y) & 0xffffff;
      pixmap->WritePixel(x, y, static_cast<int>(0xff000000u | rgb));
    }
  }
  XDestroyImage(image);
  XCloseDisplay(display);
  return SavePixmapPNG(pixmap, String(argv[1]), 6) ? 0 : 1;
}
