#pragma once
// The audio driver over the software mixer: sounds are mixer buffers and
// channels are mixer channel handles.

#include "audio/audio_driver.h"
#include "audio/mixer/pcm_buffer.h"

class TMixerAudioDriver : public TAudioDriver {
 public:
  // Every sound reaches the mixer as 16-bit stereo at its own rate.
  Ref<TSound> CreateSound(Ref<TAudioSample> sample, int flags) override;
  // Null when every mixer channel is in use.
  Ref<TChannel> NewChannel() override;
};

class TMixerSound : public TSound {
 public:
  ~TMixerSound() override;
  // Only a mixer channel can play a mixer sound; another gives null.
  Ref<TChannel> Play(const Ref<TChannel>& channel) override;
  Ref<TChannel> Cue(const Ref<TChannel>& channel) override;

  // Takes over the caller's buffer reference; a null buffer never plays.
  static Ref<TMixerSound> Create(pcmbuffer* buffer);

  pcmbuffer* buffer = nullptr;

 private:
  Ref<TChannel> Start(const Ref<TChannel>& channel, int paused);
};

class TMixerChannel : public TChannel {
 public:
  void Stop() override;
  void SetPaused(int paused) override;
  void SetVolume(float volume) override;
  void SetPan(float pan) override;
  void SetDepth(float depth) override;
  void SetRate(float rate) override;
  int IsPlaying() override;

  static Ref<TMixerChannel> Create(int handle);

  int handle = 0;
};

// StartAudio, then opens the mixer's output device and installs the mixer
// driver; without a device the silent driver stays, and one line on standard
// error says why. Once.
void StartMixerAudio();
