#include "tests/support/x11_property.h"

#include <X11/Xatom.h>

std::vector<uint32_t> X11CardinalProperty(Display* x, Window window, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  std::vector<uint32_t> values;
  if (XGetWindowProperty(x, window, XInternAtom(x, name, False), 0, 1 << 20, False, XA_CARDINAL,
                         &type, &format, &count, &left, &data) != Success) {
    return values;
  }
  if (type == XA_CARDINAL && format == 32) {
    const long* items = reinterpret_cast<const long*>(data);
    for (unsigned long i = 0; i < count; ++i) values.push_back(static_cast<uint32_t>(items[i]));
  }
  if (data) XFree(data);
  return values;
}
