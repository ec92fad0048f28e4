// Reading lines from memory and from a file, and whole embedded files,
// against the standard library and memcpy on the same bytes. Pairs are named <case>/zorp and
// <case>/reference; scripts/bench prints their ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "stream/embedded_file.h"
#include "stream/file_stream.h"
#include "stream/load_save.h"
#include "stream/memory_stream.h"

namespace {

// About 1 MB of short lines such as "score 12345 name ABCDEFGH".
const std::string& Lines() {
  static const std::string text = [] {
    std::string s;
    for (int i = 0; s.size() < (1 << 20); ++i) {
      s += "score " + std::to_string(i * 37 % 100000) + " name ABCDEFGH\r\n";
    }
    return s;
  }();
  return text;
}

void ReadLine_zorp(benchmark::State& state) {
  std::string bytes = Lines();
  size_t lines = 0;
  for (auto _ : state) {
    Ref<TStream> stream =
        CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false);
    while (!stream->Eof()) {
      benchmark::DoNotOptimize(stream->ReadLine());
      ++lines;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  benchmark::DoNotOptimize(lines);
}
BENCHMARK(ReadLine_zorp)->Name("ReadLine/zorp");

void ReadLine_reference(benchmark::State& state) {
  std::istringstream in(Lines());
  std::string line;
  for (auto _ : state) {
    in.clear();
    in.seekg(0);
    while (std::getline(in, line)) benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Lines().size()));
}
BENCHMARK(ReadLine_reference)->Name("ReadLine/reference");

// The lines in a file of their own, written once.
const std::string& LinesFile() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "zorp_stream_bench.txt").string();
    std::ofstream(p, std::ios::binary) << Lines();
    return p;
  }();
  return path;
}

void ReadLineFile_zorp(benchmark::State& state) {
  for (auto _ : state) {
    Ref<TStream> stream = TFileStream::Open(String(LinesFile().c_str()), true, false);
    while (!stream->Eof()) benchmark::DoNotOptimize(stream->ReadLine());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Lines().size()));
}
BENCHMARK(ReadLineFile_zorp)->Name("ReadLineFile/zorp");

void ReadLineFile_reference(benchmark::State& state) {
  std::string line;
  for (auto _ : state) {
    std::ifstream in(LinesFile(), std::ios::binary);
    while (std::getline(in, line)) benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Lines().size()));
}
BENCHMARK(ReadLineFile_reference)->Name("ReadLineFile/reference");

constexpr int EMBEDDED_SIZE = 3 << 20;

const uint8_t* EmbeddedBytes() {
  static const std::unique_ptr<uint8_t[]> bytes = [] {
    auto b = std::make_unique<uint8_t[]>(EMBEDDED_SIZE);
    for (int i = 0; i < EMBEDDED_SIZE; ++i) b[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    StartEmbeddedFiles();
    RegisterEmbeddedFile("music/bench.ogg", b.get(), EMBEDDED_SIZE);
    return b;
  }();
  return bytes.get();
}

void LoadByteArray_zorp(benchmark::State& state) {
  EmbeddedBytes();
  for (auto _ : state) benchmark::DoNotOptimize(LoadByteArray("incbin::music/bench.ogg"));
  state.SetBytesProcessed(state.iterations() * EMBEDDED_SIZE);
}
BENCHMARK(LoadByteArray_zorp)->Name("LoadByteArray/zorp");

// The same bytes copied into a new block of the right size.
void LoadByteArray_reference(benchmark::State& state) {
  const uint8_t* source = EmbeddedBytes();
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[EMBEDDED_SIZE]);
    std::memcpy(copy.get(), source, EMBEDDED_SIZE);
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetBytesProcessed(state.iterations() * EMBEDDED_SIZE);
}
BENCHMARK(LoadByteArray_reference)->Name("LoadByteArray/reference");

}  // namespace

BENCHMARK_MAIN();
