#include "runtime/byte_array.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

ByteArray::ByteArray(const void* bytes, size_t size) {
  Resize(size);
  if (size) std::memcpy(data_, bytes, size);
}

ByteArray::ByteArray(ByteArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

ByteArray& ByteArray::operator=(ByteArray other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  return *this;
}

ByteArray::~ByteArray() { std::free(data_); }

void ByteArray::Resize(size_t size, bool zeroNewBytes) {
  if (size == 0) {
    std::free(std::exchange(data_, nullptr));
  } else {
    void* block = std::realloc(data_, size);
    if (!block) throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(block);
    if (zeroNewBytes && size > size_) std::memset(data_ + size_, 0, size - size_);
  }
  size_ = size;
}

bool operator==(const ByteArray& a, const ByteArray& b) {
  return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
}
