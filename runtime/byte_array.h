#pragma once
// A growable array of bytes, the runtime's byte array.
//
// New bytes are zero. Growing a large array moves its block with realloc,
// which the C library can often do without copying.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

class ByteArray {
 public:
  ByteArray() = default;
  explicit ByteArray(size_t size) { Resize(size); }
  ByteArray(const void* bytes, size_t size);
  ByteArray(std::initializer_list<uint8_t> bytes) : ByteArray(bytes.begin(), bytes.size()) {}
  ByteArray(const ByteArray& other) : ByteArray(other.data_, other.size_) {}
  ByteArray(ByteArray&& other) noexcept;
  ByteArray& operator=(ByteArray other) noexcept;
  ~ByteArray();

  // Keeps the first bytes; bytes added at the end are zero, or left unset
  // for a caller that is about to fill them.
  void Resize(size_t size, bool zeroNewBytes = true);

  uint8_t* data() noexcept { return data_; }
  const uint8_t* data() const noexcept { return data_; }
  size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  uint8_t& operator[](size_t i) noexcept { return data_[i]; }
  uint8_t operator[](size_t i) const noexcept { return data_[i]; }
  uint8_t* begin() noexcept { return data_; }
  uint8_t* end() noexcept { return data_ + size_; }
  const uint8_t* begin() const noexcept { return data_; }
  const uint8_t* end() const noexcept { return data_ + size_; }

  friend bool operator==(const ByteArray& a, const ByteArray& b);

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};
