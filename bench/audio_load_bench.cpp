// Loading a 3-minute stereo Ogg Vorbis piece at 44.1 kHz through LoadSample
// (decoding) and LoadSound (decoding, the mixer then playing the frames where
// they were decoded),
// against vorbisfile decoding the same bytes straight into one buffer. Pairs
// are named <case>/zorp and <case>/reference; scripts/bench prints their
// ratios. PeakRatio is the most heap memory a load held at once, over the
// size of the decoded PCM.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>

#include "audio/mixer/mix.h"
#include "audio/mixer_audio_driver.h"
#include "audio/ogg_loader.h"
#include "audio/sample_loader.h"
#include "audio/wav_loader.h"
#include "bench/quiet_audio_device.h"
#include "tests/audio/audio_test_files.h"

namespace {

std::atomic<int64_t> heapInUse{0};
std::atomic<int64_t> heapPeak{0};

}  // namespace

#ifdef ZORP_COUNT_HEAP
// Every allocation of the program passes through these, so that the heap in
// use and its peak can be read around one load. glibc's own entry points do
// the work.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

void* Counted(void* p) {
  if (p) {
    const int64_t now = heapInUse += static_cast<int64_t>(malloc_usable_size(p));
    int64_t peak = heapPeak.load(std::memory_order_relaxed);
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
  }
  return p;
}

void Uncount(void* p) {
  if (p) heapInUse -= static_cast<int64_t>(malloc_usable_size(p));
}

}  // namespace

extern "C" {
void* malloc(size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }
void free(void* p) {
  Uncount(p);
  __libc_free(p);
}
void* realloc(void* p, size_t size) {
  // The old block counts until the new one is there, as realloc may copy.
  const int64_t old = p ? static_cast<int64_t>(malloc_usable_size(p)) : 0;
  void* moved = Counted(__libc_realloc(p, size));
  if (moved || size == 0) heapInUse -= old;
  return moved;
}
void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* p = memalign(alignment, size);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}
}
#endif

namespace {

constexpr int RATE = 44100;
constexpr int FRAMES = 3 * 60 * RATE;

// Chords that change every two seconds over a slow pulse, with a burst of
// noise on every beat: enough going on that the encoder has real work.
float Music(int channel, int frame) {
  static constexpr double NOTES[] = {220.0, 261.6, 329.6, 392.0, 440.0, 523.3};
  const double t = static_cast<double>(frame) / RATE;
  const int bar = frame / (2 * RATE);
  double v = 0;
  for (int k = 0; k < 3; ++k) {
    const double hertz = NOTES[(bar + 2 * k + channel) % 6] * (k == 2 ? 0.5 : 1.0);
    v += 0.15 * std::sin(2 * std::numbers::pi * hertz * t);
  }
  const double beat = std::fmod(t, 0.5);
  if (beat < 0.05) {
    uint32_t x = static_cast<uint32_t>(frame * 2 + channel) * 2654435761u;
    x = (x ^ x >> 15) * 2246822519u;
    v += 0.3 * (1 - beat / 0.05) * (static_cast<double>(x ^ x >> 13) / 4294967296.0 - 0.5);
  }
  return static_cast<float>(v);
}

const Bytes& Piece() {
  static const Bytes ogg = EncodeOgg(2, RATE, FRAMES, Music);
  return ogg;
}

// The largest heap growth during one load over the PCM bytes it gave, across
// the iterations; a counter only where the heap is counted.
class PeakMeter {
 public:
  void Start() { heapPeak = before_ = heapInUse; }
  void Stop(int64_t pcmBytes) {
    ratio_ = std::max(ratio_, static_cast<double>(heapPeak - before_) / pcmBytes);
  }
  void Report(benchmark::State& state) const {
#ifdef ZORP_COUNT_HEAP
    state.counters["PeakRatio"] = ratio_;
#else
    (void)state;
#endif
  }

 private:
  int64_t before_ = 0;
  double ratio_ = 0;
};

void AudioLoad_zorp(benchmark::State& state) {
  StartWavLoader();
  StartOggLoader();
  Bytes bytes = Piece();
  PeakMeter meter;
  for (auto _ : state) {
    meter.Start();
    Ref<TAudioSample> sample = LoadSample(StreamOf(bytes));
    if (!sample || sample->length != FRAMES) {
      state.SkipWithError("not loaded");
      break;
    }
    meter.Stop(int64_t{sample->length} * SampleFormatBytes(sample->format));
    benchmark::DoNotOptimize(sample->samples);
  }
  meter.Report(state);
  state.SetBytesProcessed(state.iterations() * int64_t{FRAMES} * 4);
}
BENCHMARK(AudioLoad_zorp)->Name("AudioLoad/zorp")->Unit(benchmark::kMillisecond);

// The whole of loading a sound for the mixer: decoding, and handing the
// 16-bit stereo frames to the mixer.
void LoadSound_zorp(benchmark::State& state) {
  StartWavLoader();
  StartOggLoader();
  MixOpenDevice(std::make_unique<quietdevice>());
  SetAudioDriver(New<TMixerAudioDriver>());
  Bytes bytes = Piece();
  PeakMeter meter;
  for (auto _ : state) {
    meter.Start();
    const Ref<TMixerSound> sound = Cast<TMixerSound>(LoadSound(StreamOf(bytes), 1));
    if (!sound || !sound->buffer || sound->buffer->length != FRAMES) {
      state.SkipWithError("not loaded");
      break;
    }
    meter.Stop(int64_t{FRAMES} * 4);
    benchmark::DoNotOptimize(sound->buffer->data);
  }
  meter.Report(state);
  SetAudioDriver(New<TAudioDriver>());
  MixShutdown();
}
BENCHMARK(LoadSound_zorp)->Name("LoadSound/zorp")->Unit(benchmark::kMillisecond);

struct Memory {
  const Bytes* bytes;
  size_t position = 0;
};

size_t ReadMemory(void* ptr, size_t size, size_t count, void* source) {
  auto& in = *static_cast<Memory*>(source);
  const size_t n = std::min(size * count, in.bytes->size() - in.position) / size;
  std::memcpy(ptr, in.bytes->data() + in.position, n * size);
  in.position += n * size;
  return n;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto& in = *static_cast<Memory*>(source);
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<int64_t>(in.position)
                                            : static_cast<int64_t>(in.bytes->size());
  const int64_t to = base + offset;
  if (to < 0 || to > static_cast<int64_t>(in.bytes->size())) return -1;
  in.position = static_cast<size_t>(to);
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<Memory*>(source)->position); }

// The plain loop: open, size one buffer by the total length, read into it.
void AudioLoad_reference(benchmark::State& state) {
  const Bytes& bytes = Piece();
  const ov_callbacks callbacks{ReadMemory, SeekMemory, nullptr, TellMemory};
  PeakMeter meter;
  for (auto _ : state) {
    meter.Start();
    Memory in{&bytes};
    OggVorbis_File file;
    if (ov_open_callbacks(&in, &file, nullptr, 0, callbacks) < 0) {
      state.SkipWithError("not opened");
      break;
    }
    const int64_t size = ov_pcm_total(&file, 0) * ov_info(&file, 0)->channels * 2;
    // Not cleared, like a new sample.
    auto pcm = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(size));
    int64_t done = 0;
    for (long got = 1; done < size && got > 0; done += got) {
      int bitstream;
      got = ov_read(&file, pcm.get() + done,
                    static_cast<int>(std::min<int64_t>(size - done, 65536)), 0, 2, 1, &bitstream);
      if (got < 0) got = 0;
    }
    ov_clear(&file);
    if (done != int64_t{FRAMES} * 4) state.SkipWithError("not decoded");
    meter.Stop(size);
    benchmark::DoNotOptimize(pcm.get());
  }
  meter.Report(state);
  state.SetBytesProcessed(state.iterations() * int64_t{FRAMES} * 4);
}
BENCHMARK(AudioLoad_reference)->Name("AudioLoad/reference")->Unit(benchmark::kMillisecond);
BENCHMARK(AudioLoad_reference)->Name("LoadSound/reference")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
