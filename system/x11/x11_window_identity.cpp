#include "system/x11/x11_window_identity.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "stream/file_system.h"
#include "system/system_driver.h"

namespace {

// Per size its width, its height and its pixels as 0xAARRGGBB, row by row;
// Xlib wants each 32-bit property item in a long, 64 bits wide on amd64.
std::vector<long> IconData() {
  std::vector<long> data;
  for (const Ref<TPixmap>& pixmap : AppIcon()) {
    data.push_back(pixmap->Width());
    data.push_back(pixmap->Height());
    for (int y = 0; y < pixmap->Height(); ++y) {
      for (int x = 0; x < pixmap->Width(); ++x)
        data.push_back(static_cast<long>(static_cast<uint32_t>(pixmap->ReadPixel(x, y))));
    }
  }
  return data;
}

}  // namespace

void SetX11WindowIdentity(Display* display, Window window) {
  std::string instance = StripDirectory(ProgramFile()).ToBytes();
  std::string appClass = AppTitle().ToBytes();
  if (instance.empty()) instance = appClass;
  XClassHint hint{instance.data(), appClass.data()};
  XSetClassHint(display, window, &hint);

  const std::vector<long> icon = IconData();
  if (icon.empty()) return;
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                  static_cast<int>(icon.size()));
}
