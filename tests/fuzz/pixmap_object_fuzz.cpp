// Reads serialised pixmaps (and the lists and banks around them) from
// arbitrary bytes: every input must end in objects or a run-time error, never
// a crash, a hang or a leak. Every pixmap read has all the bytes its size
// says, converts to RGBA with the same colours, and writes back to the
// same bytes.

#include "pixmap/pixmap.h"
#include "tests/fuzz/object_fuzz.h"

namespace {

void CheckPixmap(const TPixmap& pixmap) {
  TouchPixmap(pixmap);
  const Ref<TPixmap> rgba = pixmap.Convert(PIXFMT_RGBA32);
  for (int y = 0; y < pixmap.Height(); ++y) {
    for (int x = 0; x < pixmap.Width(); ++x) {
      if (rgba->ReadPixel(x, y) != pixmap.ReadPixel(x, y)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartPixmaps();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ObjectFuzz().Check(data, size, [](const Ref<Object>& part) {
    if (auto pixmap = Cast<TPixmap>(part)) CheckPixmap(*pixmap);
  });
  return 0;
}
