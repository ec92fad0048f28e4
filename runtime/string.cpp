#include "runtime/string.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ostream>

namespace {

char16_t AsciiUpper(char16_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
char16_t AsciiLower(char16_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Reads the decimal value, saturating at [low, high].
long long ParseDecimal(const std::u16string& chars, long long low, long long high) {
  size_t i = 0;
  while (i < chars.size() && (chars[i] == ' ' || chars[i] == '\t')) ++i;
  bool negative = false;
  if (i < chars.size() && (chars[i] == '+' || chars[i] == '-')) negative = chars[i++] == '-';
  // Accumulate towards the sign's limit so the most negative value fits.
  long long value = 0;
  const long long limit = negative ? low : high;
  for (; i < chars.size() && chars[i] >= '0' && chars[i] <= '9'; ++i) {
    const int digit = chars[i] - '0';
    if (negative ? value < (limit + digit) / 10 : value > (limit - digit) / 10) return limit;
    value = value * 10 + (negative ? -digit : digit);
  }
  return value;
}

}  // namespace

String::String(const char* latin1) : String(FromBytes(latin1, std::strlen(latin1))) {}

String String::FromBytes(const void* bytes, size_t count) {
  const auto* b = static_cast<const unsigned char*>(bytes);
  return String(std::u16string(b, b + count));
}

String String::FromInt(long long value) { return String(std::to_string(value).c_str()); }

String String::Chr(int code) { return String(std::u16string(1, static_cast<char16_t>(code))); }

std::string String::ToBytes() const { return std::string(chars_.begin(), chars_.end()); }

std::string String::ToUtf8() const {
  std::string out;
  out.reserve(chars_.size());
  for (char16_t c : chars_) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

int String::ToInt() const { return static_cast<int>(ParseDecimal(chars_, INT_MIN, INT_MAX)); }

long long String::ToLong() const { return ParseDecimal(chars_, LLONG_MIN, LLONG_MAX); }

String String::Upper() const {
  std::u16string out = chars_;
  std::transform(out.begin(), out.end(), out.begin(), AsciiUpper);
  return String(std::move(out));
}

String String::Lower() const {
  std::u16string out = chars_;
  std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
  return String(std::move(out));
}

String String::Left(int count) const { return Mid(0, count); }

String String::From(int start) const { return Mid(start, Length()); }

String String::Mid(int start, int count) const {
  start = std::max(start, 0);
  if (count <= 0 || start >= Length()) return String();
  return String(chars_.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

int String::Find(const String& what, int start) const {
  const size_t at = chars_.find(what.chars_, static_cast<size_t>(std::max(start, 0)));
  return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int String::FindLast(const String& what, int start) const {
  const size_t from = start < 0 ? std::u16string::npos : static_cast<size_t>(start);
  const size_t at = chars_.rfind(what.chars_, from);
  return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

bool String::StartsWith(const String& prefix) const {
  return chars_.compare(0, prefix.chars_.size(), prefix.chars_) == 0;
}

bool String::EndsWith(const String& suffix) const {
  return chars_.size() >= suffix.chars_.size() &&
         chars_.compare(chars_.size() - suffix.chars_.size(), suffix.chars_.size(),
                        suffix.chars_) == 0;
}

String String::Replace(const String& what, const String& with) const {
  if (what.IsEmpty()) return *this;
  std::u16string out;
  size_t from = 0;
  for (size_t at; (at = chars_.find(what.chars_, from)) != std::u16string::npos;
       from = at + what.chars_.size()) {
    out.append(chars_, from, at - from);
    out += with.chars_;
  }
  out.append(chars_, from);
  return String(std::move(out));
}

std::ostream& operator<<(std::ostream& out, const String& s) { return out << s.ToUtf8(); }
