#include "runtime/string.h"

#include <gtest/gtest.h>

#include <climits>

TEST(String, BytesConvertOneToOneAsLatin1) {
  const unsigned char bytes[] = {'a', 0, 0xE9, 0xFF};
  const String s = String::FromBytes(bytes, sizeof bytes);
  ASSERT_EQ(s.Length(), 4);
  EXPECT_EQ(s[1], 0);
  EXPECT_EQ(s[2], 0xE9);
  EXPECT_EQ(s[3], 0xFF);
  EXPECT_EQ(s.ToBytes(), std::string("a\0\xE9\xFF", 4));

  // Characters above 255 keep their low 8 bits.
  EXPECT_EQ(String(u"\u0141x").ToBytes(), "\x41x");
  EXPECT_EQ(String(u"\u00E9\u20AC").ToUtf8(), "\xC3\xA9\xE2\x82\xAC");
}

TEST(String, ReadsDecimalNumbersLeniently) {
  EXPECT_EQ(String("  42").ToInt(), 42);
  EXPECT_EQ(String("\t-17abc").ToInt(), -17);
  EXPECT_EQ(String("+8").ToInt(), 8);
  EXPECT_EQ(String("12 34").ToInt(), 12);
  EXPECT_EQ(String("").ToInt(), 0);
  EXPECT_EQ(String("abc").ToInt(), 0);
  EXPECT_EQ(String("-").ToInt(), 0);
  EXPECT_EQ(String("- 5").ToInt(), 0);
  EXPECT_EQ(String("2147483647").ToInt(), INT_MAX);
  EXPECT_EQ(String("-2147483648").ToInt(), INT_MIN);
  // Out of range saturates rather than wrapping round to the other sign.
  EXPECT_EQ(String("99999999999").ToInt(), INT_MAX);
  EXPECT_EQ(String("-99999999999").ToInt(), INT_MIN);
  EXPECT_EQ(String("9223372036854775807").ToLong(), LLONG_MAX);
  EXPECT_EQ(String("-9223372036854775808").ToLong(), LLONG_MIN);
  EXPECT_EQ(String("123456789012345678901").ToLong(), LLONG_MAX);
}

TEST(String, WritesDecimalNumbers) {
  EXPECT_EQ(String::FromInt(0), "0");
  EXPECT_EQ(String::FromInt(-305), "-305");
  EXPECT_EQ(String::FromInt(INT_MIN), "-2147483648");
  EXPECT_EQ(String::FromInt(LLONG_MAX), "9223372036854775807");
}

TEST(String, ChangesCaseOfAsciiLettersOnly) {
  EXPECT_EQ(String(u"abz\u00e9AZ[`{").Upper(), String(u"ABZ\u00e9AZ[`{"));
  EXPECT_EQ(String(u"INCBIN\u00c9@").Lower(), String(u"incbin\u00c9@"));
}

TEST(String, CutsAndSearches) {
  const String s = "incbin::a::b";
  EXPECT_EQ(s.Left(6), "incbin");
  EXPECT_EQ(s.Left(100), s);
  EXPECT_EQ(s.Left(-1), "");
  EXPECT_EQ(s.From(8), "a::b");
  EXPECT_EQ(s.From(50), "");
  EXPECT_EQ(s.Mid(8, 1), "a");
  EXPECT_EQ(s.Find("::"), 6);
  EXPECT_EQ(s.Find("::", 7), 9);
  EXPECT_EQ(s.Find("zz"), -1);
  EXPECT_EQ(s.FindLast("::"), 9);
  EXPECT_EQ(s.FindLast("::", 8), 6);
  EXPECT_TRUE(s.StartsWith("incbin"));
  EXPECT_TRUE(s.EndsWith("::b"));
  EXPECT_FALSE(String("b").EndsWith("ab"));
  EXPECT_EQ(String("a\\b\\c").Replace("\\", "/"), "a/b/c");
  EXPECT_EQ(String("aaa").Replace("a", "aa"), "aaaaaa");
}

TEST(String, MakesCharactersFromCodes) {
  EXPECT_EQ(String::Chr(65), "A");
  EXPECT_EQ(String::Chr(0x20AC)[0], 0x20AC);
  EXPECT_EQ(String::Chr(0).Length(), 1);
  EXPECT_EQ(String("a") + String::Chr(66) + "c", "aBc");
}
