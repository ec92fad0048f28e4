#include "stream/byte_swap_stream.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {

template <class T>
void Swap(T& value) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
  if constexpr (sizeof(T) == 2) TByteSwapStream::SwapBytes2(&value);
  if constexpr (sizeof(T) == 4) TByteSwapStream::SwapBytes4(&value);
  if constexpr (sizeof(T) == 8) TByteSwapStream::SwapBytes8(&value);
}

// Bytes missing at the end read as zero before the swap, so a short read
// leaves the low-order end of the value zero.
template <class T>
T ReadSwapped(TStream& stream) {
  T value{};
  stream.ReadBytes(&value, sizeof value);
  Swap(value);
  return value;
}

template <class T>
void WriteSwapped(TStream& stream, T value) {
  Swap(value);
  stream.WriteBytes(&value, sizeof value);
}

constexpr bool LITTLE_ENDIAN_MACHINE = std::endian::native == std::endian::little;

}  // namespace

Ref<TByteSwapStream> TByteSwapStream::Create(Ref<TStream> stream) {
  if (!stream) return nullptr;
  auto swapped = New<TByteSwapStream>();
  swapped->SetInnerStream(std::move(stream));
  return swapped;
}

Ref<TStream> TByteSwapStream::BigEndian(Ref<TStream> stream) {
  if (!LITTLE_ENDIAN_MACHINE) return stream;
  return Create(std::move(stream));
}

Ref<TStream> TByteSwapStream::LittleEndian(Ref<TStream> stream) {
  if (LITTLE_ENDIAN_MACHINE) return stream;
  return Create(std::move(stream));
}

void TByteSwapStream::SwapBytes2(void* p) {
  auto* b = static_cast<uint8_t*>(p);
  std::reverse(b, b + 2);
}

void TByteSwapStream::SwapBytes4(void* p) {
  auto* b = static_cast<uint8_t*>(p);
  std::reverse(b, b + 4);
}

void TByteSwapStream::SwapBytes8(void* p) {
  auto* b = static_cast<uint8_t*>(p);
  std::reverse(b, b + 8);
}

int TByteSwapStream::ReadShort() { return ReadSwapped<uint16_t>(*this); }
void TByteSwapStream::WriteShort(int n) { WriteSwapped(*this, static_cast<uint16_t>(n)); }
int TByteSwapStream::ReadInt() { return ReadSwapped<int32_t>(*this); }
void TByteSwapStream::WriteInt(int n) { WriteSwapped(*this, static_cast<int32_t>(n)); }
int64_t TByteSwapStream::ReadLong() { return ReadSwapped<int64_t>(*this); }
void TByteSwapStream::WriteLong(int64_t n) { WriteSwapped(*this, n); }
float TByteSwapStream::ReadFloat() { return ReadSwapped<float>(*this); }
void TByteSwapStream::WriteFloat(float f) { WriteSwapped(*this, f); }
double TByteSwapStream::ReadDouble() { return ReadSwapped<double>(*this); }
void TByteSwapStream::WriteDouble(double d) { WriteSwapped(*this, d); }

Ref<TStream> TByteSwapStreamFactory::CreateStream(const Url&, const String& protocol,
                                                  const String& path, bool readable,
                                                  bool writeable) {
  if (protocol == "bigendian") return BigEndianStream(OpenStream(path, readable, writeable));
  if (protocol == "littleendian") return LittleEndianStream(OpenStream(path, readable, writeable));
  return nullptr;
}

Ref<TStream> BigEndianStream(Ref<TStream> stream) {
  return TByteSwapStream::BigEndian(std::move(stream));
}

Ref<TStream> LittleEndianStream(Ref<TStream> stream) {
  return TByteSwapStream::LittleEndian(std::move(stream));
}
