#include "stream/load_save.h"

#include <algorithm>
#include <vector>

namespace {

// Closes an opened stream on the way out of a helper, also when an error
// leaves it early.
class OpenedStream {
 public:
  explicit OpenedStream(Ref<TStream> stream) : stream_(std::move(stream)) {}
  OpenedStream(const OpenedStream&) = delete;
  OpenedStream& operator=(const OpenedStream&) = delete;
  ~OpenedStream() {
    if (!stream_) return;
    try {
      stream_->Close();
    } catch (...) {
      // Already leaving with an error; that one is the one to report.
    }
  }
  TStream* operator->() const { return stream_.operator->(); }
  explicit operator bool() const { return static_cast<bool>(stream_); }
  void Close() { std::exchange(stream_, nullptr)->Close(); }

 private:
  Ref<TStream> stream_;
};

void SaveBytes(const void* bytes, size_t count, const Url& url) {
  OpenedStream stream(OpenWriteStream(url));
  stream->WriteBytes(bytes, static_cast<int>(count));
  stream.Close();
}

}  // namespace

ByteArray LoadByteArray(const Url& url) {
  OpenedStream stream(OpenReadStream(url));
  // A stream that knows how much is left is read into one block of that size;
  // others fill a block that grows by half again whenever it is full.
  const int position = stream->Position();
  const int left = position >= 0 ? stream->Size() - position : 0;
  ByteArray bytes;
  bytes.Resize(static_cast<size_t>(std::max(left, 1024)), false);
  size_t count = 0;
  while (!stream->Eof()) {
    if (count == bytes.size()) bytes.Resize(count * 3 / 2, false);
    const int n = stream->Read(bytes.data() + count, static_cast<int>(bytes.size() - count));
    // A stream that cannot tell its end says so by giving nothing.
    if (n <= 0) break;
    count += static_cast<size_t>(n);
  }
  stream.Close();
  bytes.Resize(count);
  return bytes;
}

void SaveByteArray(const ByteArray& bytes, const Url& url) {
  SaveBytes(bytes.data(), bytes.size(), url);
}

String LoadString(const Url& url) {
  const ByteArray bytes = LoadByteArray(url);
  return String::FromBytes(bytes.data(), bytes.size());
}

void SaveString(const String& s, const Url& url) {
  const std::string bytes = s.ToBytes();
  SaveBytes(bytes.data(), bytes.size(), url);
}

Ref<Object> LoadObject(const Url& url) {
  OpenedStream stream(OpenReadStream(url));
  if (!stream) return nullptr;
  Ref<Object> object = stream->ReadObject();
  stream.Close();
  return object;
}

void SaveObject(const Ref<Object>& object, const Url& url) {
  OpenedStream stream(OpenWriteStream(url));
  if (!stream) return;
  stream->WriteObject(object);
  stream.Close();
}

void CopyStream(const Ref<TStream>& from, const Ref<TStream>& to, int bufferSize) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::max(bufferSize, 1)));
  while (!from->Eof()) {
    const int n = from->Read(buffer.data(), static_cast<int>(buffer.size()));
    if (n <= 0) break;
    to->WriteBytes(buffer.data(), n);
  }
}

void CopyBytes(const Ref<TStream>& from, const Ref<TStream>& to, int count, int bufferSize) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::max(bufferSize, 1)));
  while (count > 0) {
    const int n = std::min(count, static_cast<int>(buffer.size()));
    from->ReadBytes(buffer.data(), n);
    to->WriteBytes(buffer.data(), n);
    count -= n;
  }
}
