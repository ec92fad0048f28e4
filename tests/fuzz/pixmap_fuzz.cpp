// Loads arbitrary bytes as a pixmap: every input must end in a pixmap or null,
// never a crash, a hang, a leak or an exception. Small pictures that load are
// saved and loaded again, and must come back unchanged.

#include <zlib.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixmap/pixmap_loader.h"
#include "pixmap/png.h"
#include "stream/bank_stream.h"
#include "stream/memory_stream.h"

namespace {

// Mutated chunks would almost never get past libpng's CRC checks; with their
// CRCs made right, the mutations reach the decoder. Bad CRCs are covered by
// the unit tests.
void FixCrcs(std::vector<uint8_t>& png) {
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0) return;
  size_t at = 8;
  while (png.size() - at >= 12) {
    const uint32_t length = uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 |
                            uint32_t{png[at + 2]} << 8 | png[at + 3];
    if (length > png.size() - at - 12) return;
    const auto crc = static_cast<uint32_t>(crc32(0, png.data() + at + 4, length + 4));
    for (int i = 0; i < 4; ++i)
      png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

void ExpectRoundTrip(const Ref<TPixmap>& pixmap) {
  auto file = CreateBankStream(nullptr);
  if (SavePixmapPNG(pixmap, file, 1) != 1) std::abort();
  file->Seek(0);
  Ref<TPixmap> again = LoadPixmapPNG(file);
  if (!again || again->Width() != pixmap->Width() || again->Height() != pixmap->Height() ||
      again->Format() != pixmap->Format()) {
    std::abort();
  }
  const auto rowBytes = static_cast<size_t>(pixmap->Width() * BYTES_PER_PIXEL[pixmap->Format()]);
  for (int y = 0; y < pixmap->Height(); ++y) {
    if (std::memcmp(pixmap->PixelPtr(0, y), again->PixelPtr(0, y), rowBytes) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartPNG();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  FixCrcs(bytes);
  Ref<TPixmap> pixmap =
      LoadPixmap(CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false));
  if (pixmap && int64_t{pixmap->Width()} * pixmap->Height() <= 64 * 1024) ExpectRoundTrip(pixmap);
  return 0;
}
