#include "stream/memory_stream.h"

#include <algorithm>
#include <cstring>

Ref<TMemoryStream> TMemoryStream::Create(void* data, int size, bool readable, bool writeable) {
  auto stream = New<TMemoryStream>();
  stream->data_ = static_cast<uint8_t*>(data);
  stream->size_ = std::max(size, 0);
  stream->readable_ = readable;
  stream->writeable_ = writeable;
  return stream;
}

int TMemoryStream::Seek(int pos) { return position_ = std::clamp(pos, 0, size_); }

int TMemoryStream::Read(void* buf, int count) {
  // Lines are read a byte at a time: keep that path short.
  if (count == 1 && readable_ && position_ < size_) {
    *static_cast<uint8_t*>(buf) = data_[position_++];
    return 1;
  }
  return ReadBlock(buf, count);
}

[[gnu::noinline]] int TMemoryStream::ReadBlock(void* buf, int count) {
  if (count <= 0 || !readable_) return 0;
  count = std::min(count, size_ - position_);
  if (count <= 0) return 0;
  std::memcpy(buf, data_ + position_, static_cast<size_t>(count));
  position_ += count;
  return count;
}

String TMemoryStream::ReadLine() {
  if (!readable_ || position_ == size_) return String();
  const uint8_t* const start = data_ + position_;
  const uint8_t* const end = data_ + size_;
  const uint8_t* const stop = start + LineEnd(start, static_cast<size_t>(end - start));
  // Past the LF or NUL that ends the line.
  position_ = static_cast<int>(stop - data_) + (stop != end ? 1 : 0);
  return LineOf(start, static_cast<size_t>(stop - start));
}

int TMemoryStream::Write(const void* buf, int count) {
  if (count <= 0 || !writeable_) return 0;
  count = std::min(count, size_ - position_);
  if (count <= 0) return 0;
  std::memcpy(data_ + position_, buf, static_cast<size_t>(count));
  position_ += count;
  return count;
}

Ref<TMemoryStream> CreateMemoryStream(void* data, int size, bool readable, bool writeable) {
  return TMemoryStream::Create(data, size, readable, writeable);
}
