#pragma once
// Text of 16-bit characters with value semantics.
//
// Bytes convert one to one (Latin-1): a byte is the character of the same
// code, and a character is written as its low 8 bits. Narrow literals are
// taken as Latin-1 too, so engine code writes its texts in plain ASCII.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

class String {
 public:
  String() = default;
  String(const char* latin1);
  String(const char16_t* chars) : chars_(chars) {}
  String(std::u16string chars) : chars_(std::move(chars)) {}
  String(std::u16string_view chars) : chars_(chars) {}

  // The bytes as the characters 0..255.
  static String FromBytes(const void* bytes, size_t count);
  static String FromBytes(std::string_view bytes) { return FromBytes(bytes.data(), bytes.size()); }
  // Decimal text of a number, with a minus sign when negative.
  static String FromInt(long long value);
  // The one character with this code (its low 16 bits).
  static String Chr(int code);

  // The low 8 bits of every character.
  std::string ToBytes() const;
  std::string ToUtf8() const;
  // Decimal reading: leading blanks are skipped, then an optional sign and the
  // digits up to the first other character. No digits read as 0; a value out
  // of range saturates at the type's limits.
  int ToInt() const;
  long long ToLong() const;

  int Length() const { return static_cast<int>(chars_.size()); }
  bool IsEmpty() const { return chars_.empty(); }
  char16_t operator[](int index) const { return chars_[static_cast<size_t>(index)]; }
  const std::u16string& Chars() const { return chars_; }

  // Only the ASCII letters change case.
  String Upper() const;
  String Lower() const;
  // The first count characters (all of them when count is larger, none when negative).
  String Left(int count) const;
  // The characters from start to the end (none when start is past the end).
  String From(int start) const;
  String Mid(int start, int count) const;
  // Index of the first match at or after start, or -1.
  int Find(const String& what, int start = 0) const;
  // Index of the last match that begins at or before start (-1 means from the end), or -1.
  int FindLast(const String& what, int start = -1) const;
  bool StartsWith(const String& prefix) const;
  bool EndsWith(const String& suffix) const;
  String Replace(const String& what, const String& with) const;

  String& operator+=(const String& other) {
    chars_ += other.chars_;
    return *this;
  }
  String& operator+=(char16_t c) {
    chars_ += c;
    return *this;
  }
  friend String operator+(String a, const String& b) { return a += b; }
  friend bool operator==(const String& a, const String& b) { return a.chars_ == b.chars_; }
  friend auto operator<=>(const String& a, const String& b) { return a.chars_ <=> b.chars_; }

 private:
  std::u16string chars_;
};

// Shown as UTF-8 (test output and diagnostics).
std::ostream& operator<<(std::ostream& out, const String& s);

template <>
struct std::hash<String> {
  size_t operator()(const String& s) const noexcept {
    return std::hash<std::u16string>()(s.Chars());
  }
};
