#include "audio/audio_driver.h"

#include <utility>

#include "audio/sample_loader.h"
#include "runtime/program.h"

namespace {
Ref<TAudioDriver>& Driver() {
  static Ref<TAudioDriver> driver;
  return driver;
}
}  // namespace

Ref<TChannel> TSound::Play(const Ref<TChannel>&) { return New<TChannel>(); }
Ref<TChannel> TSound::Cue(const Ref<TChannel>&) { return New<TChannel>(); }

Ref<TSound> TSound::Load(const Url& url, int flags) {
  Ref<TAudioSample> sample = Cast<TAudioSample>(url.AsObject());
  if (!sample) sample = LoadSample(url);
  if (!sample) return nullptr;
  return CurrentAudioDriver()->CreateSound(std::move(sample), flags);
}

Ref<TSound> TAudioDriver::CreateSound(Ref<TAudioSample>, int) { return New<TSound>(); }
Ref<TChannel> TAudioDriver::NewChannel() { return New<TChannel>(); }

void StartAudio() {
  static bool started = false;
  if (!FirstStart(started)) return;
  Driver() = New<TAudioDriver>();
}

const Ref<TAudioDriver>& CurrentAudioDriver() {
  StartAudio();
  return Driver();
}

void SetAudioDriver(Ref<TAudioDriver> driver) {
  StartAudio();
  Driver() = std::move(driver);
}

Ref<TSound> LoadSound(const Url& url, int flags) { return TSound::Load(url, flags); }

Ref<TChannel> PlaySound(const Ref<TSound>& sound, const Ref<TChannel>& channel) {
  return sound->Play(channel);
}

Ref<TChannel> StartSoundPaused(const Ref<TSound>& sound, const Ref<TChannel>& channel) {
  return sound->Cue(channel);
}

Ref<TChannel> NewChannel() { return CurrentAudioDriver()->NewChannel(); }
void StopChannel(const Ref<TChannel>& channel) { channel->Stop(); }
int IsChannelPlaying(const Ref<TChannel>& channel) { return channel->IsPlaying(); }
void SetChannelVolume(const Ref<TChannel>& channel, float volume) { channel->SetVolume(volume); }
void SetChannelPan(const Ref<TChannel>& channel, float pan) { channel->SetPan(pan); }
void SetChannelDepth(const Ref<TChannel>& channel, float depth) { channel->SetDepth(depth); }
void SetChannelRate(const Ref<TChannel>& channel, float rate) { channel->SetRate(rate); }
void PauseChannel(const Ref<TChannel>& channel) { channel->SetPaused(1); }
void ResumeChannel(const Ref<TChannel>& channel) { channel->SetPaused(0); }
