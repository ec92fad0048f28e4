#include "stream/stream_factory.h"

#include "stream/file_stream.h"

namespace {
TStreamFactory* factories = nullptr;
}

TStreamFactory::TStreamFactory() : next_(factories) { factories = this; }

Ref<TStream> OpenStream(const Url& url, bool readable, bool writeable) {
  if (auto stream = Cast<TStream>(url.AsObject())) return TBorrowedStream::Create(stream);

  const String& text = url.Text();
  String protocol, path;
  if (!text.IsEmpty()) {
    const int separator = text.Find("::");
    if (separator < 0) return TFileStream::Open(text, readable, writeable);
    protocol = text.Left(separator).Lower();
    path = text.From(separator + 2);
  }
  for (TStreamFactory* factory = factories; factory; factory = factory->Next()) {
    if (auto stream = factory->CreateStream(url, protocol, path, readable, writeable)) {
      return stream;
    }
  }
  return nullptr;
}

Ref<TStream> OpenReadStream(const Url& url) { return OpenStream(url, true, false); }

Ref<TStream> OpenWriteStream(const Url& url) { return OpenStream(url, false, true); }
