#include "audio/sample_loader.h"

namespace {
TAudioSampleLoader* loaders = nullptr;
}

TAudioSampleLoader::TAudioSampleLoader() : next_(loaders) { loaders = this; }

Ref<TAudioSample> LoadSample(const Url& url) {
  Ref<TStream> stream = OpenReadStream(url);
  if (!stream) return nullptr;
  Ref<TAudioSample> sample;
  try {
    const int start = stream->Position();
    if (start < 0) throw RuntimeError("Stream is not seekable");
    for (TAudioSampleLoader* loader = loaders; loader && !sample; loader = loader->Next()) {
      stream->Seek(start);
      try {
        sample = loader->LoadSample(stream);
      } catch (const TStreamError&) {
        // The data ran out or broke off under this loader: it found nothing.
      }
    }
  } catch (...) {
    stream->Close();
    throw;
  }
  stream->Close();
  return sample;
}
