#pragma once
// The texts the file chooser is given, read the same way on every platform:
// the filter text ("Image Files:png,jpg;Text:txt") and the initial path.

#include <vector>

#include "runtime/string.h"

struct FileFilter {
  String name;
  std::vector<String> patterns;  // "*.png", "*.jpg"
};

// "Image Files:png,jpg;Text:txt" gives "Image Files" (*.png, *.jpg) and
// "Text" (*.txt); a text without ":" is one filter named "Files" ("png,bmp":
// *.png, *.bmp); an empty text gives none. A name left without patterns at
// the end, and a filter without a name, are dropped: the Windows list could
// not hold them.
std::vector<FileFilter> ParseFileFilters(const String& extensions);

// The filters as the Windows file dialogs take them: name and pattern list
// ("*.png;*.jpg") for each, every one followed by a NUL, and one more NUL to
// end the list. Empty when there are none.
String FileFilterList(const String& extensions);

struct InitialPath {
  String folder;  // "" when the path names no folder
  String name;
};

// Splits a path at its last separator, after turning the other platform's
// separator ("/" or "\") into separator: "a/b/c.txt" gives "a\b" and "c.txt"
// with separator "\"; a path without one is all file name.
InitialPath SplitInitialPath(const String& path, char16_t separator);
