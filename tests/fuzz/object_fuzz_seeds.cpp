// Writes the seed corpora of the serialised object fuzz targets: a few valid
// objects, each file one data stream.
//   object_fuzz_seeds <pixmap_object_fuzz folder> <image_object_fuzz folder>

#include <cstdio>
#include <fstream>
#include <string>

#include "graphics/draw2d/draw_display.h"
#include "graphics/draw2d/image.h"
#include "runtime/list.h"
#include "stream/bank_stream.h"
#include "stream/data_stream.h"

namespace {

Ref<TPixmap> Pattern(int width, int height, int format, int seed) {
  Ref<TPixmap> pixmap = CreatePixmap(width, height, format);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto v = static_cast<uint32_t>((x + 3 * y + seed) * 0x9E3779B1u);
      // Half the pixels opaque, half clear, so collisions have both.
      pixmap->WritePixel(x, y, static_cast<int>((v & 0x00FFFFFF) | ((x + y) % 2 ? 0xFF000000 : 0)));
    }
  }
  return pixmap;
}

Ref<TImage> Frames(int width, int height, int count, int format) {
  Ref<TImage> image = TImage::Create(width, height, count, IMG_MASKED | IMG_FILTERED, 255, 0, 255);
  image->handleX = static_cast<float>(width) / 2;
  image->handleY = 1.25f;
  for (int i = 0; i < count; ++i) image->SetPixmap(i, Pattern(width, height, format, i));
  return image;
}

template <class... Objects>
Ref<TList> ListOf(const Objects&... objects) {
  Ref<TList> list = TList::Create();
  (list->AddLast(objects), ...);
  return list;
}

bool Save(const std::string& folder, const char* name, const Ref<Object>& object) {
  auto bank = CreateBankStream(nullptr);
  TDataStream::Create(bank)->WriteObject(object);
  std::ofstream file(folder + "/" + name, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bank->Bank()->Data()), bank->Bank()->Size());
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <pixmap seed folder> <image seed folder>\n", argv[0]);
    return 2;
  }
  StartDraw2D();
  const std::string pixmaps = argv[1], images = argv[2];
  bool ok = true;
  const char* formats[] = {"", "gray8", "alpha8", "bgr24", "rgb24", "bgra32", "rgba32"};
  for (int format = PIXFMT_GRAY8; format <= PIXFMT_RGBA32; ++format) {
    ok &= Save(pixmaps, formats[format], Pattern(5, 3, format, format));
  }
  ok &= Save(pixmaps, "empty", CreatePixmap(0, 0, PIXFMT_RGBA32));
  const Ref<TPixmap> shared = Pattern(2, 2, PIXFMT_RGB24, 7);
  ok &= Save(pixmaps, "list_sharing_a_pixmap",
             ListOf(shared, Pattern(3, 1, PIXFMT_GRAY8, 1), shared));

  ok &= Save(images, "rgba_two_frames", Frames(4, 3, 2, PIXFMT_RGBA32));
  // Masked on the way in: an RGB frame is stored as RGBA.
  ok &= Save(images, "rgb_masked", Frames(6, 2, 1, PIXFMT_RGB24));
  Ref<TImage> gap = TImage::Create(3, 3, 3, 0, 0, 0, 0);
  gap->SetPixmap(1, Pattern(3, 3, PIXFMT_GRAY8, 2));
  ok &= Save(images, "frame_missing", gap);
  const Ref<TImage> strip = Frames(2, 2, 3, PIXFMT_BGRA32);
  Ref<TImage> sharing = TImage::Create(2, 2, 1, 0, 0, 0, 0);
  sharing->SetPixmap(0, strip->pixmaps[1]);
  ok &= Save(images, "list_sharing_a_frame", ListOf(strip, sharing, strip));
  ok &= Save(images, "no_frames", TImage::Create(0, 0, 0, 0, 0, 0, 0));
  return ok ? 0 : 1;
}
