#pragma once
// The music's instruments: each note of the arrangement rendered on its own,
// from its first frame to the end of its release. A note depends on nothing
// but itself, so it sounds the same whatever part of the piece is rendered.

#include <cstdint>
#include <vector>

#include "tools/makesound/arrange.h"

struct RenderedNote {
  std::vector<float> left, right;  // at MUSIC_RATE, from the note's start
  double delaySend = 0;            // how much of it goes to the echo
  double reverbSend = 0;           // and to the reverb
};

RenderedNote RenderNote(const NoteEvent& event);
