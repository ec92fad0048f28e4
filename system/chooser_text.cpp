#include "system/chooser_text.h"

namespace {

std::vector<String> Split(const String& text, const String& separator) {
  std::vector<String> parts;
  for (int start = 0;;) {
    const int at = text.Find(separator, start);
    if (at < 0) {
      parts.push_back(text.From(start));
      return parts;
    }
    parts.push_back(text.Mid(start, at - start));
    start = at + separator.Length();
  }
}

}  // namespace

// Built as the Windows list is built (names and pattern lists between NULs,
// by plain replacements), then read back in pairs.
std::vector<FileFilter> ParseFileFilters(const String& extensions) {
  std::vector<FileFilter> filters;
  if (extensions.IsEmpty()) return filters;
  const String nul = String::Chr(0);
  String list = extensions.Find(":") < 0 ? "Files" + nul + "*." + extensions
                                         : extensions.Replace(":", nul + "*.");
  list = list.Replace(";", nul).Replace(",", ";*.");
  const std::vector<String> fields = Split(list, nul);
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    if (fields[i].IsEmpty()) continue;
    filters.push_back({fields[i], Split(fields[i + 1], ";")});
  }
  return filters;
}

String FileFilterList(const String& extensions) {
  const String nul = String::Chr(0);
  String list;
  for (const FileFilter& filter : ParseFileFilters(extensions)) {
    list += filter.name + nul;
    for (size_t i = 0; i < filter.patterns.size(); i++) {
      if (i > 0) list += u';';
      list += filter.patterns[i];
    }
    list += nul;
  }
  if (!list.IsEmpty()) list += nul;
  return list;
}

InitialPath SplitInitialPath(const String& path, char16_t separator) {
  const String own(std::u16string(1, separator));
  const String other = separator == u'\\' ? "/" : "\\";
  const String native = path.Replace(other, own);
  const int at = native.FindLast(own);
  if (at < 0) return {"", native};
  return {native.Left(at), native.From(at + 1)};
}
