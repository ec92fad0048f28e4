#include "pixmap/pixmap_loader.h"

namespace {
TPixmapLoader* loaders = nullptr;
}

TPixmapLoader::TPixmapLoader() : next_(loaders) { loaders = this; }

Ref<TPixmap> LoadPixmap(const Url& source) {
  Ref<TStream> stream = OpenReadStream(source);
  if (!stream) return nullptr;
  Ref<TPixmap> pixmap;
  const int start = stream->Position();
  try {
    for (TPixmapLoader* loader = loaders; start >= 0 && loader && !pixmap;
         loader = loader->Next()) {
      stream->Seek(start);
      try {
        pixmap = loader->LoadFromStream(stream);
      } catch (const TStreamError&) {
        // The data ran out or broke off under this loader: it found nothing.
      }
    }
  } catch (...) {
    stream->Close();
    throw;
  }
  stream->Close();
  return pixmap;
}
