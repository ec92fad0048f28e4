#pragma once
// Sound data owned by the mixer. Sounds hold one reference and every voice
// playing the data holds another, so a sound may go while it still plays;
// the last reference, on whichever thread, frees the data. The frames are
// either the buffer's own copy or another object's memory, played in place
// while the buffer holds that object.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "runtime/object.h"

class pcmbuffer : public Object {
 public:
  int hertz = 0;
  int channels = 0;
  int bits = 0;
  int length = 0;  // frames
  int bytesPerFrame = 0;
  size_t bytes = 0;
  int framesWritten = 0;
  bool loop = false;
  uint8_t* data = nullptr;
  uint8_t* writePointer = nullptr;
  std::unique_ptr<uint8_t[]> storage;  // the frames, when the buffer holds its own copy
  Ref<Object> lender;                  // what holds the frames otherwise

  const int16_t* Samples() const { return reinterpret_cast<const int16_t*>(data); }
};
