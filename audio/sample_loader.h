#pragma once
// The chain of audio sample loaders, and loading a sample from a url.

#include "audio/audio_sample.h"
#include "stream/stream_factory.h"

// A new loader goes to the head of the process-wide chain, so the newest is
// tried first. Loaders live as long as the process.
class TAudioSampleLoader {
 public:
  TAudioSampleLoader();
  TAudioSampleLoader(const TAudioSampleLoader&) = delete;
  TAudioSampleLoader& operator=(const TAudioSampleLoader&) = delete;
  virtual ~TAudioSampleLoader() = default;

  // The sample in the stream from its current position, or null when this
  // loader does not know the data. Must not close the stream.
  virtual Ref<TAudioSample> LoadSample(const Ref<TStream>& stream) = 0;

  TAudioSampleLoader* Next() const { return next_; }

 private:
  TAudioSampleLoader* next_;
};

// Tries every loader on the url (or stream), each from the same position, and
// gives the first sample, or null when nothing opens or no loader knows the
// data. A stream error inside a loader counts as that loader finding nothing.
// A stream that cannot seek raises "Stream is not seekable". The stream is
// always closed.
Ref<TAudioSample> LoadSample(const Url& url);
