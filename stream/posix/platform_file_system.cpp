#include "stream/platform_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace detail {

namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::FILE;
  if (S_ISDIR(mode)) return EntryKind::DIRECTORY;
  return EntryKind::OTHER;
}

}  // namespace

bool StatEntry(const std::string& path, EntryInfo& info) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  info.kind = KindOf(st.st_mode);
  info.size = st.st_size;
  info.modified = st.st_mtime;
  info.mode = static_cast<int>(st.st_mode & 07777);
  return true;
}

bool IsSymbolicLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool ChangeMode(const std::string& path, int mode) {
  return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool MakeDir(const std::string& path, int mode) {
  return mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool RenameEntry(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void UseBinaryStandardOutput() {}

std::string ProgramFilePath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return std::string();
  path.resize(static_cast<size_t>(length));
  return path;
}

}  // namespace detail
