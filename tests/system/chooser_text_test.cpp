// The filter text and initial path of the file chooser, and the modifier
// bits: read the same way by every platform's driver.
#include "system/chooser_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "system/event.h"
#include "system/modifier_keys.h"

namespace {

// The NULs shown as "|".
std::string Shown(const String& list) { return list.Replace(String::Chr(0), "|").ToUtf8(); }

}  // namespace

TEST(ChooserText, FilterTextsBecomeNamedPatternLists) {
  EXPECT_EQ(Shown(FileFilterList("Image Files:png,jpg;Text:txt")),
            "Image Files|*.png;*.jpg|Text|*.txt||");
  EXPECT_EQ(Shown(FileFilterList("png,bmp")), "Files|*.png;*.bmp||");
  EXPECT_EQ(Shown(FileFilterList("png")), "Files|*.png||");
  EXPECT_TRUE(FileFilterList("").IsEmpty());

  const std::vector<FileFilter> filters = ParseFileFilters("Image Files:png,jpg;Text:txt");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].name, "Image Files");
  EXPECT_EQ(filters[0].patterns, (std::vector<String>{"*.png", "*.jpg"}));
  EXPECT_EQ(filters[1].name, "Text");
  EXPECT_EQ(filters[1].patterns, (std::vector<String>{"*.txt"}));

  // A name left without patterns, or patterns without a name, would end the
  // Windows list early or read past it: they go, the rest stays.
  EXPECT_EQ(Shown(FileFilterList("Images:png;jpg")), "Images|*.png||");
  EXPECT_EQ(Shown(FileFilterList(":png;Text:txt")), "Text|*.txt||");
}

TEST(ChooserText, InitialPathsSplitAtTheLastSeparatorOfEitherKind) {
  auto split = [](const String& path, char16_t separator) {
    const InitialPath parts = SplitInitialPath(path, separator);
    return parts.folder.ToUtf8() + " + " + parts.name.ToUtf8();
  };
  EXPECT_EQ(split("a/b/c.txt", u'\\'), "a\\b + c.txt");
  EXPECT_EQ(split("a\\b/c.txt", u'\\'), "a\\b + c.txt");
  EXPECT_EQ(split("a\\b\\c.txt", u'/'), "a/b + c.txt");
  EXPECT_EQ(split("c.txt", u'\\'), " + c.txt");
  EXPECT_EQ(split("saves/", u'\\'), "saves + ");
  EXPECT_EQ(split("/c.txt", u'/'), " + c.txt");
  EXPECT_EQ(split("", u'\\'), " + ");
}

TEST(ModifierKeys, GenericAndSidedCodesGiveTheSameBits) {
  EXPECT_EQ(ModifierOfKey(16), MODIFIER_SHIFT);
  EXPECT_EQ(ModifierOfKey(161), MODIFIER_SHIFT);
  EXPECT_EQ(ModifierOfKey(17), MODIFIER_CONTROL);
  EXPECT_EQ(ModifierOfKey(162), MODIFIER_CONTROL);
  EXPECT_EQ(ModifierOfKey(18), MODIFIER_ALT);
  EXPECT_EQ(ModifierOfKey(165), MODIFIER_ALT);
  EXPECT_EQ(ModifierOfKey(92), MODIFIER_SYSTEM);
  for (int code : {0, 15, 19, 20, 65, 93, 159, 166, 255}) EXPECT_EQ(ModifierOfKey(code), 0) << code;

  std::set<int> held = {161, 163, 92, 65};
  EXPECT_EQ(ModifiersWhere([&](int code) { return held.count(code) > 0; }),
            MODIFIER_SHIFT | MODIFIER_CONTROL | MODIFIER_SYSTEM);
  held = {18};
  EXPECT_EQ(ModifiersWhere([&](int code) { return held.count(code) > 0; }), MODIFIER_ALT);
  EXPECT_EQ(ModifiersWhere([](int) { return false; }), 0);
}
