#pragma once
// What the serialised object fuzz targets share: every object that a data
// stream reads whole from the bytes is walked (lists, images and their
// frames), and written again through a fresh data stream, read back and
// written once more, which must give the same bytes both times.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "runtime/list.h"
#include "stream/bank_stream.h"
#include "stream/data_stream.h"
#include "stream/memory_stream.h"

class ObjectFuzz {
 public:
  ObjectFuzz() = default;
  ObjectFuzz(const ObjectFuzz&) = delete;
  ObjectFuzz& operator=(const ObjectFuzz&) = delete;
  // Lists that contain themselves would outlive the streams; clearing every
  // list read breaks such cycles.
  ~ObjectFuzz() {
    for (const auto& stream : streams_) {
      for (const auto& object : stream->ObjectsRead()) {
        if (auto list = Cast<TList>(object)) list->Clear();
      }
    }
  }

  // The objects that ReadObject returned before the end of the bytes or the
  // first run-time error; the one being read at an error is left out.
  std::vector<Ref<Object>> Read(const uint8_t* data, size_t size) {
    std::vector<Ref<Object>> objects;
    if (size > INT_MAX) return objects;
    auto stream = Open(data, size);
    try {
      while (!stream->Eof()) objects.push_back(stream->ReadObject());
    } catch (const RuntimeError&) {
      // Corrupt data ends in an error; that is the expected way out.
    }
    return objects;
  }

  using Visit = std::function<void(const Ref<Object>&)>;
  using Parts = std::function<std::vector<Ref<Object>>(const Ref<Object>&)>;

  // Every object read from the bytes goes through a round trip, then visit
  // sees it and everything it holds.
  void Check(const uint8_t* data, size_t size, const Visit& visit, const Parts& parts = {}) {
    for (const Ref<Object>& object : Read(data, size)) {
      ExpectRoundTrip(object);
      Walk(object, visit, parts);
    }
  }

  // Calls visit for the object and everything it holds (list elements, and
  // what parts gives), each once.
  void Walk(const Ref<Object>& object, const Visit& visit, const Parts& parts = {}) {
    std::set<const Object*> seen;
    std::vector<Ref<Object>> todo{object};
    while (!todo.empty()) {
      const Ref<Object> next = todo.back();
      todo.pop_back();
      if (!next || !seen.insert(next.Get()).second) continue;
      visit(next);
      if (auto list = Cast<TList>(next)) {
        for (const auto& element : *list) todo.push_back(element);
      }
      if (parts) {
        for (const auto& part : parts(next)) todo.push_back(part);
      }
    }
  }

  // Written, read back and written again: the same bytes, or abort.
  void ExpectRoundTrip(const Ref<Object>& object) {
    const std::vector<uint8_t> first = Written(object);
    auto again = Open(first.data(), first.size());
    Ref<Object> copy;
    try {
      copy = again->ReadObject();
    } catch (const RuntimeError&) {
      std::abort();  // what was written must read back
    }
    if (!again->Eof() || Written(copy) != first) std::abort();
  }

 private:
  Ref<TDataStream> Open(const uint8_t* data, size_t size) {
    auto stream = TDataStream::Create(
        CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false));
    streams_.push_back(stream);
    return stream;
  }

  static std::vector<uint8_t> Written(const Ref<Object>& object) {
    auto bank = CreateBankStream(nullptr);
    TDataStream::Create(bank)->WriteObject(object);
    const uint8_t* bytes = bank->Bank()->Data();
    return std::vector<uint8_t>(bytes, bytes + bank->Bank()->Size());
  }

  std::vector<Ref<TDataStream>> streams_;
};

// Reads every byte of every row: the sanitizers catch a pixmap whose memory
// is shorter than its size and format say. Aborts on a size, pitch or
// format that breaks the pixmap's rules.
inline void TouchPixmap(const TPixmap& pixmap) {
  if (pixmap.Width() < 0 || pixmap.Height() < 0 || !IsPixelFormat(pixmap.Format())) std::abort();
  const int64_t rowBytes = int64_t{pixmap.Width()} * BYTES_PER_PIXEL[pixmap.Format()];
  if (pixmap.Height() > 0 && pixmap.Pitch() < rowBytes) std::abort();
  if (pixmap.Capacity() >= 0 && int64_t{pixmap.Pitch()} * pixmap.Height() > pixmap.Capacity()) {
    std::abort();
  }
  volatile uint8_t sum = 0;
  for (int y = 0; y < pixmap.Height(); ++y) {
    const uint8_t* row = pixmap.PixelPtr(0, y);
    for (int64_t i = 0; i < rowBytes; ++i) sum = sum + row[i];
  }
}
