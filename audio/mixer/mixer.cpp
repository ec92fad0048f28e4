#include "audio/mixer/mixer.h"

#include <algorithm>
#include <chrono>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

uint32_t MixerMillis() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

mixer::mixer(int samples)
    : accumulator32(std::make_unique<int32_t[]>(static_cast<size_t>(samples))),
      accumulator64(std::make_unique<int64_t[]>(static_cast<size_t>(samples))),
      count(samples) {}

mixer::~mixer() {
  // Voices still queued or mixing hold buffer references; the device is
  // closed by now, so nothing else touches them.
  for (sound* voice = active; voice; voice = voice->next) {
    if (voice->buffer) voice->buffer->Release();
  }
  while (sound* voice = incoming.pop()) {
    if (voice->buffer) voice->buffer->Release();
  }
}

namespace {

// Gives the voice back to the game thread without its buffer reference.
// False when the ring is full; the voice then stays for the next pass.
bool RecycleVoice(mixer& mix, sound& voice) {
  if (mix.recycled.space() == 0) return false;
  voice.state.store(VOICE_FREE, std::memory_order_relaxed);
  if (voice.buffer) voice.buffer->Release();
  voice.buffer = nullptr;
  mix.recycled.push(&voice);
  return true;
}

void TakeIncoming(mixer& mix) {
  const uint32_t now = mix.clock();
  while (sound* voice = mix.incoming.pop()) {
    voice->next = mix.active;
    mix.active = voice;
    const int wait = std::max(0, static_cast<int>(voice->startTime + MIX_START_DELAY_MS - now));
    voice->startDelay = static_cast<int>(static_cast<int64_t>(wait) * mix.outputRate / 1000);
  }
}

}  // namespace

void mixer::RecycleAll() {
  sound** link = &active;
  while (sound* voice = *link) {
    if (RecycleVoice(*this, *voice)) {
      *link = voice->next;
    } else {
      link = &voice->next;
    }
  }
}

namespace {

// The output's samples from the accumulator, which is left cleared for the
// next pass.
template <class T>
void Finish(T* __restrict acc, int16_t* __restrict out, int count) {
  for (int i = 0; i < count; ++i) {
    out[i] = static_cast<int16_t>(std::clamp<T>(acc[i] >> 4, -32768, 32767));
    acc[i] = 0;
  }
}

#ifdef __SSE2__
// A 32-bit pass eight samples at a time: packing with signed saturation is
// the clamp. The compiler vectorises the plain loop only at -O3, which the
// Windows build does not use.
void Finish(int32_t* acc, int16_t* out, int count) {
  const __m128i zero = _mm_setzero_si128();
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* low = reinterpret_cast<__m128i*>(acc + i);
    auto* high = reinterpret_cast<__m128i*>(acc + i + 4);
    const __m128i samples = _mm_packs_epi32(_mm_srai_epi32(_mm_loadu_si128(low), 4),
                                            _mm_srai_epi32(_mm_loadu_si128(high), 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), samples);
    _mm_storeu_si128(low, zero);
    _mm_storeu_si128(high, zero);
  }
  Finish<int32_t>(acc + i, out + i, count - i);
}
#endif

// Mixes the prepared voices into acc, then the output's samples from it.
template <class T>
void MixVoices(mixer& mix, T* acc, int16_t* out) {
  sound** link = &mix.active;
  while (sound* voice = *link) {
    const int result = MixVoice(*voice, acc);
    // A finished or stopped voice goes back at once; its channel reads as not
    // playing from the next query on. While the return ring is full it stays,
    // stopped and unmixed, and goes back on a later pass.
    if ((result == MIX_FREE || result == MIX_FINISHED) && RecycleVoice(mix, *voice)) {
      *link = voice->next;
    } else {
      link = &voice->next;
    }
  }
  Finish(acc, out, mix.count);
}

}  // namespace

void MixPass(mixer& mix, int16_t* out) {
  TakeIncoming(mix);
  // No partial sum can exceed the sum of what each voice adds at most.
  int64_t peak = 0;
  for (sound* voice = mix.active; voice; voice = voice->next) {
    peak += PrepareVoice(*voice, mix.count, mix.outputRate);
  }
  if (peak <= INT32_MAX) {
    MixVoices(mix, mix.accumulator32.get(), out);
  } else {
    MixVoices(mix, mix.accumulator64.get(), out);
  }
}
