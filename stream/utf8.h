#pragma once
// UTF-8 for text of 16-bit units, without loss either way: how a path
// travels to and from a platform whose names are UTF-16 (Windows).

#include <string>
#include <string_view>

namespace detail {

// A surrogate pair becomes its one four-byte sequence; a surrogate without
// its partner (Windows allows one in a name) becomes a three-byte sequence of
// its own, so every sequence of units comes back as it was.
std::string Utf8Of(std::u16string_view units);
// The inverse of Utf8Of. A byte that starts no well-formed sequence counts as
// the character of its own code, as in Latin-1, so no byte is dropped.
std::u16string Utf16Of(std::string_view bytes);

}  // namespace detail
