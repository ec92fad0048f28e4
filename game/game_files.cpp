#include "game/game_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "stream/bank_stream.h"
#include "stream/file_stream.h"
#include "stream/file_system.h"

namespace {

String dataFolder;  // empty: the program's folder

bool FolderIsWritable(const String& folder) {
  const String probe = folder + String("/.zorp-write-test");
  const bool writable = CreateFile(probe) == 1;
  DeleteFile(probe);
  return writable;
}

// Notes a read that gives nothing before the end of the data: ReadLine takes
// that for the end and would quietly return a table cut short.
class TWatchedStream : public TFilterStream {
 public:
  int Read(void* buf, int count) override {
    const int n = TFilterStream::Read(buf, count);
    if (n <= 0 && count > 0 && !Eof()) failed = true;
    return n;
  }

  bool failed = false;
};

// Why the last step failed, as the C runtime says; some failures set nothing.
int LastError() { return errno != 0 ? errno : EIO; }

bool SaveFailed(const String& path, int error) {
  // As the system names the file: the bytes on POSIX systems, UTF-8 on Windows.
  std::string shown;
  NativePath(AbsolutePath(path), shown);
  std::fprintf(stderr, "zorp: could not save %s: %s\n", shown.c_str(), std::strerror(error));
  std::fflush(stderr);
  return false;
}

// 0 when every byte reached the file and it closed cleanly, else the reason.
// A full disk often shows only when the buffered bytes go out.
int WriteAndClose(const Ref<TStream>& file, const Ref<TBank>& bytes) {
  int error = 0;
  errno = 0;
  try {
    file->WriteBytes(bytes->Data(), bytes->Size());
    if (file->Flush() != 0) error = LastError();
  } catch (const TStreamError&) {
    error = LastError();
  }
  errno = 0;
  if (file->Close() != 0 && error == 0) error = LastError();
  return error;
}

}  // namespace

void ChooseGameFileFolder() {
  dataFolder = String();
  if (FolderIsWritable(String("."))) return;
  const String users = UserDataDirectory();
  if (users.IsEmpty()) return;
  const String folder = users + String("/zorp");
  if (CreateDirectory(folder, true) == 1) dataFolder = folder;
}

String GameFileToRead(const char* name) {
  const String inData = GameFileToWrite(name);
  if (dataFolder.IsEmpty() || FileType(inData) == FILETYPE_FILE) return inData;
  return String(name);
}

String GameFileToWrite(const char* name) {
  return dataFolder.IsEmpty() ? String(name) : dataFolder + String("/") + String(name);
}

bool ReadGameFile(const String& path, const std::function<void(const Ref<TStream>&)>& read) {
  // A pipe would hold the game up until something wrote to it.
  if (FileType(path) != FILETYPE_FILE) return false;
  const Ref<TStream> file = OpenFileForReading(path);
  if (!file) return false;
  const bool whole = ReadGameStream(file, read);
  CloseFileStream(file);
  return whole;
}

bool ReadGameStream(const Ref<TStream>& file,
                    const std::function<void(const Ref<TStream>&)>& read) {
  const Ref<TWatchedStream> watched = New<TWatchedStream>();
  watched->SetInnerStream(file);
  try {
    read(watched);
  } catch (const TStreamError&) {
    return false;
  }
  return !watched->failed;
}

bool WriteFileSafely(const String& path, const std::function<void(const Ref<TStream>&)>& write) {
  // The text is made in memory, so that the file gets one write whose
  // failure cannot go unseen.
  const Ref<TBankStream> text = CreateBankStream(nullptr);
  write(text);
  const String temporary = path + String(".tmp");
  errno = 0;
  const Ref<TStream> file = OpenFileForWriting(temporary);
  // Nothing of ours is there to remove: it may be someone's directory.
  if (!file) return SaveFailed(path, LastError());
  int error = WriteAndClose(file, text->Bank());
  if (error == 0) {
    errno = 0;
    if (RenameFile(temporary, path) == 1) return true;
    error = LastError();
  }
  DeleteFile(temporary);
  return SaveFailed(path, error);
}

void ReadScoreTable(const Ref<TStream>& file, HallOfFame& table) {
  for (int i = 0; i < RANKS; ++i) {
    table.rankScores[i] = ReadLine(file).ToInt();
    table.rankNames[i] = ReadLine(file);
  }
}

void WriteScoreTable(const Ref<TStream>& file, const HallOfFame& table) {
  for (int i = 0; i < RANKS; ++i) {
    WriteLine(file, String::FromInt(table.rankScores[i]));
    WriteLine(file, table.rankNames[i]);
  }
}

int ReadDriverFlag(const Ref<TStream>& file) { return ReadInt(file); }

void WriteDriverFlag(const Ref<TStream>& file, int flag) { WriteInt(file, flag); }
