#include "game/playing_sound.h"

#include <algorithm>

std::vector<Ref<TPlayingSound>>& TPlayingSound::Live() {
  static std::vector<Ref<TPlayingSound>> live;
  return live;
}

Ref<TPlayingSound> TPlayingSound::Play(const Ref<TSound>& sound, float volume, int tag) {
  Ref<TPlayingSound> record = New<TPlayingSound>();
  Live().push_back(record);
  if (sound) record->channel = StartSoundPaused(sound, nullptr);
  record->tag = tag;
  if (record->channel) {
    SetChannelVolume(record->channel, volume);
    ResumeChannel(record->channel);
  }
  return record;
}

void TPlayingSound::ReapFinished() {
  std::erase_if(Live(), [](const Ref<TPlayingSound>& record) {
    return !record->channel || !IsChannelPlaying(record->channel);
  });
}
