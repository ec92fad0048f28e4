#pragma once
// Streams whose multi-byte values are in the other byte order, and the
// "bigendian" and "littleendian" protocols that open them.

#include "stream/stream.h"
#include "stream/stream_factory.h"

// Reverses the bytes of every short, int, long, float and double it moves.
// Bytes, lines and strings pass through unchanged.
class TByteSwapStream : public TFilterStream {
 public:
  // Null for a null stream.
  static Ref<TByteSwapStream> Create(Ref<TStream> stream);
  // A view of stream with big-endian or little-endian values; the stream
  // itself when that is already the machine's order.
  static Ref<TStream> BigEndian(Ref<TStream> stream);
  static Ref<TStream> LittleEndian(Ref<TStream> stream);

  static void SwapBytes2(void* p);
  static void SwapBytes4(void* p);
  static void SwapBytes8(void* p);

  int ReadShort() override;
  void WriteShort(int n) override;
  int ReadInt() override;
  void WriteInt(int n) override;
  int64_t ReadLong() override;
  void WriteLong(int64_t n) override;
  float ReadFloat() override;
  void WriteFloat(float f) override;
  double ReadDouble() override;
  void WriteDouble(double d) override;
};

// "bigendian::url" and "littleendian::url": the stream of url in that order.
class TByteSwapStreamFactory : public TStreamFactory {
 public:
  Ref<TStream> CreateStream(const Url& url, const String& protocol, const String& path,
                            bool readable, bool writeable) override;
};

Ref<TStream> BigEndianStream(Ref<TStream> stream);
Ref<TStream> LittleEndianStream(Ref<TStream> stream);
