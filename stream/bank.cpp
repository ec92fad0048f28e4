#include "stream/bank.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "stream/load_save.h"

namespace {

uint8_t* Allocate(int size, void* old = nullptr) {
  void* block = std::realloc(old, static_cast<size_t>(std::max(size, 1)));
  if (!block) throw std::bad_alloc();
  return static_cast<uint8_t*>(block);
}

}  // namespace

const char* const TBank::TYPE_NAME = "qel.bank.TBank";

TBank::~TBank() {
  if (capacity_ >= 0) std::free(data_);
}

Ref<TBank> TBank::Create(int size) {
  auto bank = New<TBank>();
  size = std::max(size, 0);
  bank->data_ = Allocate(size);
  bank->size_ = bank->capacity_ = size;
  return bank;
}

Ref<TBank> TBank::CreateStatic(void* data, int size) {
  auto bank = New<TBank>();
  bank->data_ = static_cast<uint8_t*>(data);
  bank->size_ = std::max(size, 0);
  bank->capacity_ = -1;
  return bank;
}

Ref<TBank> TBank::Load(const Url& url) {
  Ref<TStream> stream = OpenReadStream(url);
  if (!stream) return nullptr;
  const ByteArray bytes = LoadByteArray(stream);
  auto bank = Create(static_cast<int>(bytes.size()));
  if (!bytes.empty()) std::memcpy(bank->data_, bytes.data(), bytes.size());
  stream->Close();
  return bank;
}

TDataType* TBank::DataType() const {
  static TDataType* type = nullptr;
  if (!type) type = FindDataType(TYPE_NAME);
  return type;
}

void TBank::Resize(int size) {
  size = std::max(size, 0);
  if (capacity_ < size) {
    const int64_t grown = static_cast<int64_t>(capacity_) * 3 / 2;
    const int capacity =
        static_cast<int>(std::min<int64_t>(std::max<int64_t>(grown, size), INT_MAX));
    if (capacity_ >= 0) {
      data_ = Allocate(capacity, data_);
    } else {
      // Borrowed memory stays with its owner; the bank moves into its own block.
      uint8_t* block = Allocate(capacity);
      const int kept = std::min(size_, size);
      if (kept > 0) std::memcpy(block, data_, static_cast<size_t>(kept));
      data_ = block;
    }
    capacity_ = capacity;
  }
  size_ = size;
}

void TBank::CheckRange(int offset, int count) const {
  if (offset < 0 || count < 0 || offset > size_ - count) {
    throw RuntimeError("Bank offset out of range");
  }
}

int TBank::ReadFromStream(TStream& stream, int offset, int count) {
  CheckRange(offset, count);
  return stream.Read(data_ + offset, count);
}

int TBank::WriteToStream(TStream& stream, int offset, int count) {
  CheckRange(offset, count);
  return stream.Write(data_ + offset, count);
}

template <class T>
T TBank::Peek(int offset) const {
  CheckRange(offset, sizeof(T));
  T value;
  std::memcpy(&value, data_ + offset, sizeof(T));
  return value;
}

template <class T>
void TBank::Poke(int offset, T value) {
  CheckRange(offset, sizeof(T));
  std::memcpy(data_ + offset, &value, sizeof(T));
}

int TBank::PeekByte(int offset) const { return Peek<uint8_t>(offset); }
void TBank::PokeByte(int offset, int value) { Poke(offset, static_cast<uint8_t>(value)); }
int TBank::PeekShort(int offset) const { return Peek<uint16_t>(offset); }
void TBank::PokeShort(int offset, int value) { Poke(offset, static_cast<uint16_t>(value)); }
int TBank::PeekInt(int offset) const { return Peek<int32_t>(offset); }
void TBank::PokeInt(int offset, int value) { Poke(offset, static_cast<int32_t>(value)); }
int64_t TBank::PeekLong(int offset) const { return Peek<int64_t>(offset); }
void TBank::PokeLong(int offset, int64_t value) { Poke(offset, value); }
float TBank::PeekFloat(int offset) const { return Peek<float>(offset); }
void TBank::PokeFloat(int offset, float value) { Poke(offset, value); }
double TBank::PeekDouble(int offset) const { return Peek<double>(offset); }
void TBank::PokeDouble(int offset, double value) { Poke(offset, value); }

int TBank::Save(const Url& url) const {
  Ref<TStream> stream = OpenWriteStream(url);
  if (!stream) return 0;
  stream->WriteBytes(data_, size_);
  stream->Close();
  return 1;
}

Ref<TBank> CreateBank(int size) { return TBank::Create(size); }
Ref<TBank> CreateStaticBank(void* data, int size) { return TBank::CreateStatic(data, size); }
Ref<TBank> LoadBank(const Url& url) { return TBank::Load(url); }
int SaveBank(const Ref<TBank>& bank, const Url& url) { return bank->Save(url); }
uint8_t* BankData(const Ref<TBank>& bank) { return bank->Data(); }
int BankSize(const Ref<TBank>& bank) { return bank->Size(); }
int BankCapacity(const Ref<TBank>& bank) { return bank->Capacity(); }
void ResizeBank(const Ref<TBank>& bank, int size) { bank->Resize(size); }

void CopyBank(const Ref<TBank>& source, int sourceOffset, const Ref<TBank>& target,
              int targetOffset, int count) {
  source->CheckRange(sourceOffset, count);
  target->CheckRange(targetOffset, count);
  const uint8_t* from = source->Data() + sourceOffset;
  uint8_t* to = target->Data() + targetOffset;
  for (int i = 0; i < count; ++i) to[i] = from[i];
}

int ReadBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int offset, int count) {
  return bank->ReadFromStream(*stream, offset, count);
}
int WriteBank(const Ref<TBank>& bank, const Ref<TStream>& stream, int offset, int count) {
  return bank->WriteToStream(*stream, offset, count);
}
int PeekByte(const Ref<TBank>& bank, int offset) { return bank->PeekByte(offset); }
void PokeByte(const Ref<TBank>& bank, int offset, int value) { bank->PokeByte(offset, value); }
int PeekShort(const Ref<TBank>& bank, int offset) { return bank->PeekShort(offset); }
void PokeShort(const Ref<TBank>& bank, int offset, int value) { bank->PokeShort(offset, value); }
int PeekInt(const Ref<TBank>& bank, int offset) { return bank->PeekInt(offset); }
void PokeInt(const Ref<TBank>& bank, int offset, int value) { bank->PokeInt(offset, value); }
int64_t PeekLong(const Ref<TBank>& bank, int offset) { return bank->PeekLong(offset); }
void PokeLong(const Ref<TBank>& bank, int offset, int64_t value) { bank->PokeLong(offset, value); }
float PeekFloat(const Ref<TBank>& bank, int offset) { return bank->PeekFloat(offset); }
void PokeFloat(const Ref<TBank>& bank, int offset, float value) { bank->PokeFloat(offset, value); }
double PeekDouble(const Ref<TBank>& bank, int offset) { return bank->PeekDouble(offset); }
void PokeDouble(const Ref<TBank>& bank, int offset, double value) {
  bank->PokeDouble(offset, value);
}
