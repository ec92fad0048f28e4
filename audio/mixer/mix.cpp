#include "audio/mixer/mix.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr int CHANNEL_COUNT = 4096;
constexpr int INDEX_MASK = CHANNEL_COUNT - 1;
constexpr int GENERATION_STEP = CHANNEL_COUNT;
constexpr int LAST_GENERATION = 0x7FFFF000;
// Beyond these a buffer's positions would not fit the mixer's 32.32 counts.
constexpr int64_t MAX_BUFFER_SAMPLES = int64_t{1} << 30;
constexpr int MAX_BUFFER_HERTZ = 1000000;

// Which voice each channel index plays, and the free indexes as a linked
// list whose head is entry 0 of links.
struct channeltable {
  std::array<sound*, CHANNEL_COUNT> voices{};
  std::array<int, CHANNEL_COUNT> links{};
  std::array<int, CHANNEL_COUNT> generations{};
  // Whether the index is on the free list; an index goes back only once.
  std::array<bool, CHANNEL_COUNT> listed{};
  // Handles that MixPlay issued go back to the free list once their last
  // voice is done; handles from MixAllocChannel stay with their caller.
  std::array<bool, CHANNEL_COUNT> released{};

  channeltable() {
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
      links[i] = (i + 1) % CHANNEL_COUNT;
      generations[i] = GENERATION_STEP;
      listed[i] = i != 0;
    }
  }
};

std::unique_ptr<audiodevice> device;
std::unique_ptr<channeltable> table;

mixer& Mixer() { return *device->mix; }

int PopHandle(bool released) {
  const int index = table->links[0];
  if (index == 0) return 0;
  table->links[0] = table->links[index];
  table->listed[index] = false;
  table->released[index] = released;
  int& generation = table->generations[index];
  generation = generation >= LAST_GENERATION ? GENERATION_STEP : generation + GENERATION_STEP;
  return index | generation;
}

void FreeIndex(int index) {
  if (table->listed[index]) return;
  table->voices[index] = nullptr;
  table->links[index] = table->links[0];
  table->links[0] = index;
  table->listed[index] = true;
}

bool IsLive(int handle) {
  if (!table || handle <= 0) return false;
  const int index = handle & INDEX_MASK;
  return index != 0 && !table->listed[index] && table->generations[index] == (handle & ~INDEX_MASK);
}

// Stops the voice unless the mixer has already freed it.
void StopVoice(sound& voice) {
  int state = voice.state.load(std::memory_order_relaxed);
  while (state != VOICE_FREE &&
         !voice.state.compare_exchange_weak(state, VOICE_STOPPED, std::memory_order_relaxed)) {
  }
}

// Takes back every voice the mixer is done with. A channel's handle goes back
// with the last voice played on it; a voice of a kept channel stays in the
// table, stopped, to answer for the channel.
void TakeBack() {
  mixer& mix = Mixer();
  while (sound* voice = mix.recycled.pop()) {
    voice->withMixer = false;
    const int index = voice->handle & INDEX_MASK;
    if (voice->handle == 0 || table->released[index]) {
      if (voice->handle != 0) FreeIndex(index);
      voice->handle = 0;
      mix.spare.push_back(voice);
    } else {
      voice->state.store(VOICE_STOPPED, std::memory_order_relaxed);
    }
  }
}

sound* NewVoice(const voiceparams& params) {
  mixer& mix = Mixer();
  TakeBack();
  sound* voice;
  if (mix.spare.empty()) {
    voice = mix.voices.emplace_back(std::make_unique<sound>()).get();
    voice->owner = &mix;
  } else {
    voice = mix.spare.back();
    mix.spare.pop_back();
  }
  voice->reset(params);
  voice->state.store(VOICE_STOPPED, std::memory_order_relaxed);
  voice->handle = 0;
  return voice;
}

void Link(int handle, sound* voice) {
  table->voices[handle & INDEX_MASK] = voice;
  voice->handle = handle;
}

// Takes the channel's voice out of the table, stopping it.
void Unlink(int index) {
  sound* old = table->voices[index];
  if (!old) return;
  table->voices[index] = nullptr;
  StopVoice(*old);
  old->handle = 0;
  if (!old->withMixer) Mixer().spare.push_back(old);
}

// The voice of a live handle, made on the spot for a fresh channel so that it
// answers with default parameters; null for a stale handle.
sound* LookupVoice(int handle) {
  if (!IsLive(handle)) return nullptr;
  sound*& voice = table->voices[handle & INDEX_MASK];
  if (!voice) Link(handle, NewVoice({}));
  return voice;
}

int16_t Fixed412(float value) {
  const float fixed = value * MIX_GAIN_ONE;
  if (std::isnan(fixed)) return 0;
  return static_cast<int16_t>(std::trunc(std::fmax(-32768.0f, std::fmin(32767.0f, fixed))));
}

// Rates run forward only: a negative rate would read before the data.
int FixedRate(float value) {
  const double fixed = static_cast<double>(value) * MIX_RATE_ONE;
  if (!(fixed > 0)) return 0;
  return static_cast<int>(std::fmin(fixed, 2147483647.0));
}

// A buffer record for length frames of the format, without its data; null for
// what the mixer does not play.
Ref<pcmbuffer> NewBuffer(int length, int bits, int channels, int hertz, int loop) {
  if (!table || bits != 16 || (channels != 1 && channels != 2) || length <= 0 || hertz <= 0 ||
      hertz > MAX_BUFFER_HERTZ || int64_t{length} * channels > MAX_BUFFER_SAMPLES) {
    return nullptr;
  }
  Ref<pcmbuffer> buffer = New<pcmbuffer>();
  buffer->hertz = hertz;
  buffer->channels = channels;
  buffer->bits = bits;
  buffer->length = length;
  buffer->bytesPerFrame = channels * bits / 8;
  buffer->bytes = static_cast<size_t>(length) * static_cast<size_t>(buffer->bytesPerFrame);
  buffer->loop = loop != 0;
  return buffer;
}

void SetFrames(pcmbuffer& buffer, uint8_t* data, int framesWritten) {
  buffer.data = data;
  buffer.framesWritten = framesWritten;
  buffer.writePointer =
      data + static_cast<size_t>(framesWritten) * static_cast<size_t>(buffer.bytesPerFrame);
}

}  // namespace

int MixOpenDevice(std::unique_ptr<audiodevice> opened) {
  if (device) return 0;
  device = std::move(opened);
  if (!device || !device->open()) {
    if (device) device->close();
    device.reset();
    return -1;
  }
  table = std::make_unique<channeltable>();
  return 0;
}

int MixOpen() { return MixOpenDevice(NewPlatformAudioDevice()); }

void MixShutdown() {
  table.reset();
  if (device) device->close();
  device.reset();
}

audiodevice* MixDevice() { return device.get(); }

pcmbuffer* MixCreateBuffer(int length, int bits, int channels, int hertz, const void* data,
                           int loop) {
  Ref<pcmbuffer> buffer = NewBuffer(length, bits, channels, hertz, loop);
  if (!buffer) return nullptr;
  buffer->storage = std::make_unique<uint8_t[]>(buffer->bytes);
  if (data) std::memcpy(buffer->storage.get(), data, buffer->bytes);
  SetFrames(*buffer, buffer->storage.get(), data ? length : 0);
  return buffer.Detach();
}

pcmbuffer* MixWrapBuffer(int length, int bits, int channels, int hertz, void* data,
                         const Ref<Object>& lender, int loop) {
  Ref<pcmbuffer> buffer = NewBuffer(length, bits, channels, hertz, loop);
  if (!buffer || !data) return nullptr;
  buffer->lender = lender;
  SetFrames(*buffer, static_cast<uint8_t*>(data), length);
  return buffer.Detach();
}

void MixReleaseBuffer(pcmbuffer* buffer) {
  if (buffer) buffer->Release();
}

int MixAllocChannel() {
  if (!table) return 0;
  TakeBack();
  return PopHandle(false);
}

int MixPlay(pcmbuffer* buffer, int paused, int handle) {
  if (!device || !buffer) return handle;
  mixer& mix = Mixer();
  if (buffer->channels == 0 || mix.outputRate == 0 || mix.incoming.space() == 0) return handle;

  voiceparams params;
  if (handle == 0) {
    TakeBack();
    handle = PopHandle(true);
  } else if (IsLive(handle)) {
    const int index = handle & INDEX_MASK;
    if (table->voices[index]) params = table->voices[index]->targets();
    Unlink(index);
  }
  // A stale channel plays with default parameters and stays stale, so the
  // newer owner of its index keeps its voice.
  const bool live = IsLive(handle);

  sound* voice = NewVoice(params);
  buffer->Retain();
  voice->buffer = buffer;
  voice->position = 0;
  voice->startTime = mix.clock();
  voice->withMixer = true;
  if (live) Link(handle, voice);
  const int playing = buffer->loop ? VOICE_PLAYING_LOOPED : VOICE_PLAYING_ONCE;
  voice->state.store(playing | (paused ? VOICE_PAUSED : 0), std::memory_order_relaxed);
  mix.incoming.push(voice);
  return handle;
}

int MixChannelState(int handle) {
  sound* voice = LookupVoice(handle);
  return voice ? voice->state.load(std::memory_order_relaxed) : 0;
}

void MixStop(int handle) {
  if (sound* voice = LookupVoice(handle)) StopVoice(*voice);
}

void MixSetPaused(int handle, int paused) {
  sound* voice = LookupVoice(handle);
  if (!voice) return;
  int state = voice->state.load(std::memory_order_relaxed);
  for (;;) {
    const int playing = state & ~VOICE_PAUSED;
    if (playing != VOICE_PLAYING_ONCE && playing != VOICE_PLAYING_LOOPED) return;
    const int wanted = paused ? playing | VOICE_PAUSED : playing;
    // Release: a mixer that sees the voice resumed also sees what was changed
    // while it was paused.
    if (voice->state.compare_exchange_weak(state, wanted, std::memory_order_release,
                                           std::memory_order_relaxed)) {
      return;
    }
  }
}

void MixSetVolume(int handle, float volume) {
  if (sound* voice = LookupVoice(handle)) voice->setvolume(Fixed412(volume));
}

void MixSetPan(int handle, float pan) {
  if (sound* voice = LookupVoice(handle)) voice->setpan(Fixed412(pan));
}

void MixSetDepth(int handle, float depth) {
  if (sound* voice = LookupVoice(handle)) voice->setdepth(Fixed412(depth));
}

void MixSetRate(int handle, float rate) {
  if (sound* voice = LookupVoice(handle)) voice->setrate(FixedRate(rate));
}
