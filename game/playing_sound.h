#pragma once
// The sounds the game has started, kept until their channels fall silent.

#include <vector>

#include "audio/audio_driver.h"

class TPlayingSound : public Object {
 public:
  // Starts sound on a fresh channel at volume (from its first frame) and
  // keeps the record. A null sound or a channel that cannot start gives a
  // record without a channel, which the next reap drops.
  static Ref<TPlayingSound> Play(const Ref<TSound>& sound, float volume, int tag);
  // Drops every record whose channel no longer plays.
  static void ReapFinished();
  // The live records.
  static std::vector<Ref<TPlayingSound>>& Live();

  Ref<TChannel> channel;
  int tag = 0;
  float spare = 0;
};
