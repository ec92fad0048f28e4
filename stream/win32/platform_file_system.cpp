#include "stream/platform_file_system.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace detail {

namespace {

EntryKind KindOf(unsigned mode) {
  if ((mode & _S_IFMT) == _S_IFREG) return EntryKind::FILE;
  if ((mode & _S_IFMT) == _S_IFDIR) return EntryKind::DIRECTORY;
  return EntryKind::OTHER;
}

// The C runtime does not find a directory written with a trailing slash,
// unless it is a drive root.
std::string StatPath(std::string path) {
  const bool root = path.size() == 1 || (path.size() == 3 && path[1] == ':');
  if (!root && path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

struct ErrorPair {
  DWORD windows;
  int posix;
};

constexpr ErrorPair ERRORS[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},      {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES}, {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_WRITE_PROTECT, EROFS},      {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILE_EXISTS, EEXIST},       {ERROR_NOT_SAME_DEVICE, EXDEV},
    {ERROR_DISK_FULL, ENOSPC},         {ERROR_HANDLE_DISK_FULL, ENOSPC},
};

int ErrnoOf(DWORD error) {
  for (const ErrorPair& pair : ERRORS) {
    if (pair.windows == error) return pair.posix;
  }
  return EIO;
}

}  // namespace

bool StatEntry(const std::string& path, EntryInfo& info) {
  struct _stat64 st;
  if (_stat64(StatPath(path).c_str(), &st) != 0) return false;
  info.kind = KindOf(st.st_mode);
  info.size = st.st_size;
  info.modified = st.st_mtime;
  info.mode = static_cast<int>(st.st_mode & 07777);
  return true;
}

bool IsSymbolicLink(const std::string&) { return false; }

bool ChangeMode(const std::string& path, int mode) { return _chmod(path.c_str(), mode) == 0; }

bool MakeDir(const std::string& path, int) { return _mkdir(path.c_str()) == 0; }

// The C runtime's rename refuses an existing target. MoveFileExA sets no
// errno, and callers report errno as the reason.
bool RenameEntry(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  errno = ErrnoOf(GetLastError());
  return false;
}

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

std::string ProgramFilePath() {
  std::string path(MAX_PATH, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return std::string();
  path.resize(length);
  return path;
}

}  // namespace detail
