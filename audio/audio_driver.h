#pragma once
// Sounds and channels over an exchangeable audio driver.
//
// Load a sound once, play it on a channel, and steer the channel. Until a real
// driver is installed a silent one answers every request with objects that do
// nothing, so a program without working audio runs all the same.

#include "audio/audio_sample.h"
#include "stream/stream_factory.h"

// A playing (or stopped) sound. Volume 1.0 leaves the level as it is; pan
// runs from -1.0 (left only) through 0 (both at full level) to 1.0 (right
// only); only the sign of depth matters (negative inverts the right side);
// rate 2.0 plays twice as fast, an octave up.
class TChannel : public Object {
 public:
  virtual void Stop() {}
  virtual void SetPaused(int) {}
  virtual void SetVolume(float) {}
  virtual void SetPan(float) {}
  virtual void SetDepth(float) {}
  virtual void SetRate(float) {}
  // 1 from the moment the sound is started (paused or not) until it ends or
  // is stopped.
  virtual int IsPlaying() { return 0; }
};

class TSound : public Object {
 public:
  // Plays on channel, or on a new channel when it is null; returns the
  // channel that plays, or null.
  virtual Ref<TChannel> Play(const Ref<TChannel>& channel);
  // As Play, but the channel starts paused.
  virtual Ref<TChannel> Cue(const Ref<TChannel>& channel);

  // A sample object is used as it is; anything else is loaded as a sample.
  // Non-zero flags make the sound loop. Null when nothing loads.
  static Ref<TSound> Load(const Url& url, int flags);
};

class TAudioDriver : public Object {
 public:
  // The sample is taken by value: a driver may keep a sample that nobody else
  // holds (its reference count is 1) instead of copying its data.
  virtual Ref<TSound> CreateSound(Ref<TAudioSample> sample, int flags);
  virtual Ref<TChannel> NewChannel();
};

// Starts the sample module and installs the silent driver, once.
void StartAudio();
// The driver sounds and channels come from; starts the module if needed.
const Ref<TAudioDriver>& CurrentAudioDriver();
void SetAudioDriver(Ref<TAudioDriver> driver);

Ref<TSound> LoadSound(const Url& url, int flags);
Ref<TChannel> PlaySound(const Ref<TSound>& sound, const Ref<TChannel>& channel);
Ref<TChannel> StartSoundPaused(const Ref<TSound>& sound, const Ref<TChannel>& channel);
Ref<TChannel> NewChannel();
void StopChannel(const Ref<TChannel>& channel);
int IsChannelPlaying(const Ref<TChannel>& channel);
void SetChannelVolume(const Ref<TChannel>& channel, float volume);
void SetChannelPan(const Ref<TChannel>& channel, float pan);
void SetChannelDepth(const Ref<TChannel>& channel, float depth);
void SetChannelRate(const Ref<TChannel>& channel, float rate);
void PauseChannel(const Ref<TChannel>& channel);
void ResumeChannel(const Ref<TChannel>& channel);
