#include "game/game_files.h"

#include <cstdlib>

#include "stream/file_system.h"

namespace {

String dataFolder;  // empty: the program's folder

bool FolderIsWritable(const String& folder) {
  const String probe = folder + String("/.zorp-write-test");
  const bool writable = CreateFile(probe) == 1;
  DeleteFile(probe);
  return writable;
}

String UserDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    return String::FromBytes(xdg) + String("/zorp");
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return String::FromBytes(home) + String("/.local/share/zorp");
  }
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) {
    return String::FromBytes(appData) + String("/zorp");
  }
  return String();
}

}  // namespace

void ChooseGameFileFolder() {
  dataFolder = String();
  if (FolderIsWritable(String("."))) return;
  const String folder = UserDataFolder();
  if (!folder.IsEmpty() && CreateDirectory(folder, true) == 1) dataFolder = folder;
}

String GameFileToRead(const char* name) {
  const String inData = GameFileToWrite(name);
  if (dataFolder.IsEmpty() || FileType(inData) == FILETYPE_FILE) return inData;
  return String(name);
}

String GameFileToWrite(const char* name) {
  return dataFolder.IsEmpty() ? String(name) : dataFolder + String("/") + String(name);
}

bool WriteFileSafely(const String& path, const std::function<void(const Ref<TStream>&)>& write) {
  const String temporary = path + String(".tmp");
  const Ref<TStream> file = OpenFileForWriting(temporary);
  if (!file) return false;
  bool written = true;
  try {
    write(file);
    written = file->Flush() == 0;
  } catch (const TStreamError&) {
    written = false;
  }
  CloseFileStream(file);
  if (written && RenameFile(temporary, path) == 1) return true;
  DeleteFile(temporary);
  return false;
}
