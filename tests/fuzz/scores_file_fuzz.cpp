// Reads arbitrary bytes as scores.dat with the game's own reader: every input
// gives a table, never a crash, a hang or more memory than its bytes, and the
// table survives being written and read again.

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

bool Read(const Ref<TStream>& file, HallOfFame& table) {
  return ReadGameStream(file, [&table](const Ref<TStream>& f) { ReadScoreTable(f, table); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  HallOfFame table;
  // Memory never fails part way, so the whole input must read.
  Check(Read(CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false),
             table));
  size_t characters = 0;
  for (const String& name : table.rankNames) {
    characters += static_cast<size_t>(name.Length());
    for (char16_t c : name.Chars()) Check(c != 10 && c != 13 && c != 0 && c <= 255);
  }
  Check(characters <= size);

  const Ref<TBankStream> written = CreateBankStream(nullptr);
  WriteScoreTable(written, table);
  written->Seek(0);
  HallOfFame again;
  Check(Read(written, again));
  Check(written->Eof());
  Check(again.rankScores == table.rankScores);
  Check(again.rankNames == table.rankNames);
  return 0;
}
