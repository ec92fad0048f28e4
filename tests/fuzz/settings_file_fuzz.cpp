// Reads arbitrary bytes as config.ini with the game's own reader: the flag is
// the first four bytes, little-endian, those missing read as 0; the rest is
// ignored, and the flag survives being written and read again.

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "game/game_files.h"
#include "stream/bank_stream.h"
#include "stream/memory_stream.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Read(const Ref<TStream>& file, int& flag) {
  return ReadGameStream(file, [&flag](const Ref<TStream>& f) { flag = ReadDriverFlag(f); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  int flag = -1;
  Check(Read(CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false),
             flag));
  uint32_t expected = 0;
  for (size_t i = 0; i < std::min<size_t>(size, 4); ++i) expected |= uint32_t{data[i]} << (8 * i);
  Check(flag == static_cast<int>(expected));

  const Ref<TBankStream> written = CreateBankStream(nullptr);
  WriteDriverFlag(written, flag);
  Check(written->Size() == 4);
  written->Seek(0);
  int again = -1;
  Check(Read(written, again) && again == flag);
  return 0;
}
