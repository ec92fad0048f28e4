#include "stream/utf8.h"

#include <cstdint>

namespace detail {

namespace {

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void Append(char32_t c, std::string& out) {
  const auto byte = [&out](uint32_t b) { out += static_cast<char>(b); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xC0 | c >> 6);
    byte(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    byte(0xE0 | c >> 12);
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  } else {
    byte(0xF0 | c >> 18);
    byte(0x80 | (c >> 12 & 0x3F));
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  }
}

// A well-formed sequence's lead: how many bytes follow it, what the lead
// itself carries, and the smallest code such a sequence may hold (anything
// below is an overlong form).
struct Lead {
  uint8_t first, last;
  int following;
  uint8_t mask;
  char32_t least;
};

constexpr Lead LEADS[] = {
    {0xC2, 0xDF, 1, 0x1F, 0x80},
    {0xE0, 0xEF, 2, 0x0F, 0x800},
    {0xF0, 0xF4, 3, 0x07, 0x10000},
};

// The code of the sequence at bytes[at], and its length; 0 when none starts
// there.
size_t Decode(std::string_view bytes, size_t at, char32_t& code) {
  const auto lead = static_cast<uint8_t>(bytes[at]);
  for (const Lead& form : LEADS) {
    if (lead < form.first || lead > form.last) continue;
    if (at + static_cast<size_t>(form.following) >= bytes.size()) return 0;
    code = lead & form.mask;
    for (int i = 1; i <= form.following; ++i) {
      const auto next = static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
      if ((next & 0xC0) != 0x80) return 0;
      code = code << 6 | (next & 0x3F);
    }
    if (code < form.least || code > 0x10FFFF) return 0;
    return static_cast<size_t>(form.following) + 1;
  }
  return 0;
}

}  // namespace

std::string Utf8Of(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (IsHighSurrogate(c) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    Append(c, out);
  }
  return out;
}

std::u16string Utf16Of(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const char32_t byte = static_cast<uint8_t>(bytes[at]);
    char32_t code = byte;
    size_t length = byte < 0x80 ? 1 : Decode(bytes, at, code);
    if (length == 0) {
      code = byte;
      length = 1;
    }
    at += length;
    if (code < 0x10000) {
      out += static_cast<char16_t>(code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return out;
}

}  // namespace detail
