#include "bench/sdl_mixer_reference.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

// SDL2_mixer opens, runs and locks its device only through these calls.
// Defined here, they take the place of SDL's own for the whole program: the
// mixer's callback is kept instead of being handed to an audio thread.
namespace {
SDL_AudioCallback callback = nullptr;
void* userdata = nullptr;
int passBytes = 0;
constexpr SDL_AudioDeviceID DEVICE = 2;
}  // namespace

extern "C" {
SDL_AudioDeviceID SDL_OpenAudioDevice(const char*, int, const SDL_AudioSpec* desired,
                                      SDL_AudioSpec* obtained, int) {
  *obtained = *desired;
  obtained->silence = 0;
  obtained->size = static_cast<Uint32>(desired->samples * desired->channels * 2);
  callback = desired->callback;
  userdata = desired->userdata;
  return DEVICE;
}
void SDL_PauseAudioDevice(SDL_AudioDeviceID, int) {}
void SDL_LockAudioDevice(SDL_AudioDeviceID) {}
void SDL_UnlockAudioDevice(SDL_AudioDeviceID) {}
void SDL_CloseAudioDevice(SDL_AudioDeviceID) { callback = nullptr; }
}

namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + SDL_GetError());
}

// A canonical 16-bit stereo PCM WAV file of the data.
std::vector<uint8_t> Wav(const std::vector<int16_t>& data, int hertz) {
  const uint32_t bytes = static_cast<uint32_t>(data.size() * 2);
  std::vector<uint8_t> file;
  auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) file.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  auto tag = [&](const char* name) { file.insert(file.end(), name, name + 4); };
  tag("RIFF");
  put(36 + bytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(2, 2);  // channels
  put(static_cast<uint32_t>(hertz), 4);
  put(static_cast<uint32_t>(hertz) * 4, 4);
  put(4, 2);  // bytes per frame
  put(16, 2);
  tag("data");
  put(bytes, 4);
  const auto* samples = reinterpret_cast<const uint8_t*>(data.data());
  file.insert(file.end(), samples, samples + bytes);
  return file;
}

}  // namespace

sdlmixer::sdlmixer(int frames, int channels) {
  // SDL2_mixer starts SDL's audio subsystem; its driver is never used.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  Check(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, frames) == 0, "Mix_OpenAudio");
  Check(callback != nullptr, "SDL2_mixer did not open its device through the benchmark");
  Mix_AllocateChannels(channels);
  passBytes = frames * 4;
}

sdlmixer::~sdlmixer() {
  Mix_HaltChannel(-1);
  Mix_CloseAudio();
}

void chunkfree::operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }

chunkref sdlmixer::Wrap(std::vector<int16_t>& data) {
  chunkref chunk(Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(data.data()),
                                   static_cast<Uint32>(data.size() * 2)));
  Check(chunk != nullptr, "Mix_QuickLoad_RAW");
  return chunk;
}

chunkref sdlmixer::Load(const std::vector<int16_t>& data, int hertz) {
  const std::vector<uint8_t> file = Wav(data, hertz);
  chunkref chunk(Mix_LoadWAV_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1));
  Check(chunk != nullptr, "Mix_LoadWAV_RW");
  return chunk;
}

void sdlmixer::PlayAll(const chunkref& chunk, int volume) {
  for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
    Check(Mix_PlayChannel(channel, chunk.get(), -1) == channel, "Mix_PlayChannel");
    Mix_Volume(channel, volume);
  }
}

void sdlmixer::Pass(int16_t* out) { callback(userdata, reinterpret_cast<Uint8*>(out), passBytes); }
