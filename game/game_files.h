#pragma once
// Where the game keeps scores.dat and config.ini, and how it writes them.
//
// They live beside the program. When the program's folder cannot be written
// (an installed game), they live in the user's data folder instead
// ($XDG_DATA_HOME/zorp, else ~/.local/share/zorp) and are read from there
// when present there.

#include <functional>

#include "runtime/string.h"
#include "stream/stream.h"

// Decides the folder, once the current directory is the program's.
void ChooseGameFileFolder();
// The path to read name from, and the path to write it to.
String GameFileToRead(const char* name);
String GameFileToWrite(const char* name);

// Writes a temporary file beside path and renames it over path, so that a
// crash, a kill or a full disk never leaves a damaged file. False when
// anything failed; path is then as it was.
bool WriteFileSafely(const String& path, const std::function<void(const Ref<TStream>&)>& write);
