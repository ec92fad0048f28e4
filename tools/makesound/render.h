#pragma once
// Mixing the rendered notes into the piece, with an echo and a reverb.
//
// The piece is a loop: frame n and frame n + length are the same frame. A
// note that rings past the end of the loop sounds again at its start, and
// the echo and reverb start each rendering already filled with the seconds
// of music before it. So the frame after the last is exactly the first, and
// any part of the loop renders the same on its own as within the whole.

#include <cstdint>
#include <vector>

#include "tools/makesound/arrange.h"

struct StereoBuffer {
  std::vector<float> left, right;
  size_t Frames() const { return left.size(); }
};

// Frames first .. first + count of the looped piece; first may be negative
// or beyond the loop's length, and count may exceed it.
StereoBuffer RenderMusic(const Arrangement& arrangement, int64_t first, int64_t count);

// The whole loop, frame 0 to its length.
StereoBuffer RenderLoop(const Arrangement& arrangement);
