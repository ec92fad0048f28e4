// Reads objects from arbitrary bytes until the end: every input must end in
// objects or a run-time error, never a crash, a hang or a leak.

#include <climits>
#include <cstddef>
#include <cstdint>

#include "runtime/list.h"
#include "stream/data_stream.h"
#include "stream/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  auto stream = TDataStream::Create(
      CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false));
  try {
    while (!stream->Eof()) stream->ReadObject();
  } catch (const RuntimeError&) {
    // Corrupt data ends in an error; that is the expected way out.
  }
  // Lists that contain themselves would outlive the stream; clearing every
  // list read breaks such cycles.
  for (const auto& object : stream->ObjectsRead()) {
    if (auto list = Cast<TList>(object)) list->Clear();
  }
  return 0;
}
