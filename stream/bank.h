#pragma once
// TBank: a block of memory that grows, owned or borrowed.

#include <cstdint>

#include "runtime/serializable.h"
#include "stream/stream_factory.h"

class TBank : public TSerializable {
 public:
  static const char* const TYPE_NAME;

  // An empty bank: no data, size 0, capacity 0.
  TBank() = default;
  TBank(const TBank&) = delete;
  TBank& operator=(const TBank&) = delete;
  ~TBank() override;

  // A bank that owns size new bytes (not cleared).
  static Ref<TBank> Create(int size);
  // A bank over the caller's memory; it never frees it. Capacity -1.
  static Ref<TBank> CreateStatic(void* data, int size);
  // The whole stream of url in a new bank, or the null object.
  static Ref<TBank> Load(const Url& url);

  TDataType* DataType() const override;
  uint8_t* Data() const { return data_; }
  int Size() const { return size_; }
  // Bytes allocated, or -1 when the memory is borrowed.
  int Capacity() const { return capacity_; }
  // Growing past the capacity moves the bytes into an owned block of at least
  // half as much again; shrinking keeps the memory.
  void Resize(int size);

  // One Read or Write between the stream and data + offset; its result.
  int ReadFromStream(TStream& stream, int offset, int count);
  int WriteToStream(TStream& stream, int offset, int count);

  // Values at data + offset, little-endian. Bytes and shorts read
  // zero-extended; the pokes store the low 8 or 16 bits or the whole value.
  // Offsets outside the bank raise a run-time error.
  int PeekByte(int offset) const;
  void PokeByte(int offset, int value);
  int PeekShort(int offset) const;
  void PokeShort(int offset, int value);
  int PeekInt(int offset) const;
  void PokeInt(int offset, int value);
  int64_t PeekLong(int offset) const;
  void PokeLong(int offset, int64_t value);
  float PeekFloat(int offset) const;
  void PokeFloat(int offset, float value);
  double PeekDouble(int offset) const;
  void PokeDouble(int offset, double value);

  // Writes the bytes to a new write stream of url; 1 on success, else 0.
  int Save(const Url& url) const;

  // Raises a run-time error unless count bytes from offset lie inside the bank.
  void CheckRange(int offset, int count) const;

 private:
  template <class T>
  T Peek(int offset) const;
  template <class T>
  void Poke(int offset, T value);

  uint8_t* data_ = nullptr;
  int size_ = 0;
  int capacity_ = 0;
};

Ref<TBank> CreateBank(int size);
Ref<TBank> CreateStaticBank(void* data, int size);
Ref<TBank> LoadBank(const Url& url);
int SaveBank(const Ref<TBank>& bank, const Url& url);
uint8_t* BankData(const Ref<TBank>& bank);
int BankSize(const Ref<TBank>& bank);
int BankCapacity(const Ref<TBank>& bank);
void ResizeBank(const Ref<TBank>& bank, int size);
// Copies count bytes one at a time from the lowest address up.
void CopyBank(const Ref<TBank>& source, int sourceOffset, const Ref<TBank>& target,
              int targetOffset, int count);
int ReadBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int offset, int count);
int WriteBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int offset, int count);
int PeekByte(const Ref<TBank>& bank, int offset);
void PokeByte(const Ref<TBank>& bank, int offset, int value);
int PeekShort(const Ref<TBank>& bank, int offset);
void PokeShort(const Ref<TBank>& bank, int offset, int value);
int PeekInt(const Ref<TBank>& bank, int offset);
void PokeInt(const Ref<TBank>& bank, int offset, int value);
int64_t PeekLong(const Ref<TBank>& bank, int offset);
void PokeLong(const Ref<TBank>& bank, int offset, int64_t value);
float PeekFloat(const Ref<TBank>& bank, int offset);
void PokeFloat(const Ref<TBank>& bank, int offset, float value);
double PeekDouble(const Ref<TBank>& bank, int offset);
void PokeDouble(const Ref<TBank>& bank, int offset, double value);
