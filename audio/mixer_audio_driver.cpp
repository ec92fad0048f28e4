#include "audio/mixer_audio_driver.h"

#include <cstdio>

#include "audio/mixer/mix.h"
#include "runtime/program.h"

Ref<TSound> TMixerAudioDriver::CreateSound(Ref<TAudioSample> sample, int flags) {
  const int loop = flags != 0 ? -1 : 0;
  if (sample->format != SF_STEREO16LE) sample = sample->Convert(SF_STEREO16LE);
  // A sample nobody else can reach, such as a converted copy or one loaded
  // for this sound, is played where it is: long music is then in memory
  // once. Others are copied, so that what their holders do to them later
  // does not change the sound; so is memory the sample only borrows.
  if (sample->RefCount() == 1 && sample->capacity >= 0) {
    return TMixerSound::Create(
        MixWrapBuffer(sample->length, 16, 2, sample->hertz, sample->samples, sample, loop));
  }
  return TMixerSound::Create(
      MixCreateBuffer(sample->length, 16, 2, sample->hertz, sample->samples, loop));
}

Ref<TChannel> TMixerAudioDriver::NewChannel() {
  const int handle = MixAllocChannel();
  if (handle == 0) return nullptr;
  return TMixerChannel::Create(handle);
}

TMixerSound::~TMixerSound() { MixReleaseBuffer(buffer); }

Ref<TMixerSound> TMixerSound::Create(pcmbuffer* buffer) {
  Ref<TMixerSound> sound = New<TMixerSound>();
  sound->buffer = buffer;
  return sound;
}

Ref<TChannel> TMixerSound::Play(const Ref<TChannel>& channel) { return Start(channel, 0); }
Ref<TChannel> TMixerSound::Cue(const Ref<TChannel>& channel) { return Start(channel, 1); }

Ref<TChannel> TMixerSound::Start(const Ref<TChannel>& channel, int paused) {
  int handle = 0;
  if (channel) {
    const Ref<TMixerChannel> mixerChannel = Cast<TMixerChannel>(channel);
    if (!mixerChannel) return nullptr;
    handle = mixerChannel->handle;
  }
  const int playing = MixPlay(buffer, paused, handle);
  if (playing == 0) return nullptr;
  if (channel && playing == handle) return channel;
  return TMixerChannel::Create(playing);
}

Ref<TMixerChannel> TMixerChannel::Create(int handle) {
  Ref<TMixerChannel> channel = New<TMixerChannel>();
  channel->handle = handle;
  return channel;
}

void TMixerChannel::Stop() { MixStop(handle); }
void TMixerChannel::SetPaused(int paused) { MixSetPaused(handle, paused); }
void TMixerChannel::SetVolume(float volume) { MixSetVolume(handle, volume); }
void TMixerChannel::SetPan(float pan) { MixSetPan(handle, pan); }
void TMixerChannel::SetDepth(float depth) { MixSetDepth(handle, depth); }
void TMixerChannel::SetRate(float rate) { MixSetRate(handle, rate); }
int TMixerChannel::IsPlaying() { return MixChannelState(handle) > 1 ? 1 : 0; }

void StartMixerAudio() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartAudio();
  if (MixOpen() == -1) {
    // Sound is optional, but a player who hears nothing should learn why.
    const std::string& why = AudioDeviceFailure();
    std::fprintf(stderr, "Sound is off: %s\n", why.empty() ? "no audio output" : why.c_str());
    return;
  }
  AddExitAction(MixShutdown);
  SetAudioDriver(New<TMixerAudioDriver>());
}
