#pragma once
// Where the game keeps scores.dat and config.ini, how it reads and writes
// them, and their formats.
//
// They live beside the program. When the program's folder cannot be written
// (an installed game), they live in the user's data folder instead
// (UserDataDirectory()/zorp: %APPDATA%\zorp on Windows, $XDG_DATA_HOME/zorp,
// else ~/.local/share/zorp, elsewhere) and are read from there when present
// there.

#include <functional>

#include "game/hall_of_fame.h"
#include "runtime/string.h"
#include "stream/stream.h"

// Decides the folder, once the current directory is the program's.
void ChooseGameFileFolder();
// The path to read name from, and the path to write it to.
String GameFileToRead(const char* name);
String GameFileToWrite(const char* name);

// Runs read over the regular file at path. False when there is no such file
// (a directory, a device or a pipe counts as none) or a read failed part
// way; the caller then treats the file as missing.
bool ReadGameFile(const String& path, const std::function<void(const Ref<TStream>&)>& read);
// Runs read over file; false when a read failed before the end of the data.
bool ReadGameStream(const Ref<TStream>& file, const std::function<void(const Ref<TStream>&)>& read);

// Writes a temporary file beside path and renames it over path, so that a
// crash, a kill or a full disk never leaves a damaged file. When anything
// fails it says so once on standard error, with the reason, removes the
// temporary file and returns false; path is then as it was.
bool WriteFileSafely(const String& path, const std::function<void(const Ref<TStream>&)>& write);

// scores.dat: twenty lines, each score in decimal, then its name. Lines
// missing at the end read as score 0 and an empty name.
void ReadScoreTable(const Ref<TStream>& file, HallOfFame& table);
void WriteScoreTable(const Ref<TStream>& file, const HallOfFame& table);
// config.ini: the driver flag as a little-endian int; bytes missing at the
// end read as 0, bytes after the first four are ignored.
int ReadDriverFlag(const Ref<TStream>& file);
void WriteDriverFlag(const Ref<TStream>& file, int flag);
