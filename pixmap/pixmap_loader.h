#pragma once
// The chain of pixmap loaders, and loading a pixmap from a url or stream.

#include "pixmap/pixmap.h"
#include "stream/stream_factory.h"

// A new loader goes to the head of the process-wide chain, so the newest is
// tried first. Loaders live as long as the process.
class TPixmapLoader {
 public:
  TPixmapLoader();
  TPixmapLoader(const TPixmapLoader&) = delete;
  TPixmapLoader& operator=(const TPixmapLoader&) = delete;
  virtual ~TPixmapLoader() = default;

  // The pixmap in the stream from its current position, or null when this
  // loader does not know the data. Must not close the stream.
  virtual Ref<TPixmap> LoadFromStream(const Ref<TStream>& stream) = 0;

  TPixmapLoader* Next() const { return next_; }

 private:
  TPixmapLoader* next_;
};

// Tries every loader on the url (or stream), each from the same position,
// and gives the first pixmap, or null. A stream that cannot seek gives null
// without trying any loader; a stream error inside a loader counts as that
// loader finding nothing.
Ref<TPixmap> LoadPixmap(const Url& source);
