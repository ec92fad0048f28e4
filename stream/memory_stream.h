#pragma once
// A stream over a fixed block of memory that it does not own.

#include <cstdint>

#include "stream/stream.h"

class TMemoryStream : public TStream {
 public:
  static Ref<TMemoryStream> Create(void* data, int size, bool readable, bool writeable);

  int Position() override { return position_; }
  int Size() override { return size_; }
  // Clamps pos to 0..Size.
  int Seek(int pos) override;
  int Read(void* buf, int count) override;
  // The line found in the block at once, not read a byte at a time.
  String ReadLine() override;
  // Writes inside the block only; it never grows.
  int Write(const void* buf, int count) override;

 private:
  // Everything but the one-byte read, kept out of line so that that stays cheap.
  int ReadBlock(void* buf, int count);

  int position_ = 0;
  int size_ = 0;
  uint8_t* data_ = nullptr;
  bool readable_ = false;
  bool writeable_ = false;
};

Ref<TMemoryStream> CreateMemoryStream(void* data, int size, bool readable, bool writeable);
