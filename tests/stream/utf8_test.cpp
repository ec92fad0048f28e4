// UTF-8 that carries every sequence of 16-bit units there and back: the form
// a path takes on its way to and from the wide calls of Windows.
#include "stream/utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, CarriesEverySequenceOfUnitsThereAndBack) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"Łódź ゲーム", reinterpret_cast<const char*>(u8"Łódź ゲーム")},
      // A surrogate pair is one character; one without its partner, which a
      // Windows name may hold, keeps a sequence of its own.
      {u"🎮", "\xF0\x9F\x8E\xAE"},
      {u"a\xD800z\xDC00\xD800", "a\xED\xA0\x80z\xED\xB0\x80\xED\xA0\x80"},
  };
  for (const auto& [units, bytes] : cases) {
    EXPECT_EQ(detail::Utf8Of(units), bytes);
    EXPECT_EQ(detail::Utf16Of(bytes), units);
  }
  // Bytes that start no well-formed sequence (a stray continuation, an
  // overlong form, a lead cut short) are characters of their own code.
  EXPECT_EQ(detail::Utf16Of("\x80-\xC0\xAF-\xE3\x82"), u"\x80-\xC0\xAF-\xE3\x82");
}
