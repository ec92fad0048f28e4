#include "stream/platform_file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace detail {

// Names are bytes; each is the character of the same code.
const PathEncoding NATIVE_PATH_ENCODING = PathEncoding::LATIN1;

namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::FILE;
  if (S_ISDIR(mode)) return EntryKind::DIRECTORY;
  return EntryKind::OTHER;
}

class DirListing : public Listing {
 public:
  explicit DirListing(DIR* dir) : dir_(dir) {}
  DirListing(const DirListing&) = delete;
  DirListing& operator=(const DirListing&) = delete;
  ~DirListing() override { closedir(dir_); }

  bool Next(std::string& name) override {
    const dirent* entry = readdir(dir_);
    if (!entry) return false;
    name = entry->d_name;
    return true;
  }

 private:
  DIR* dir_;
};

// The XDG base directory rule: $XDG_DATA_HOME, else ~/.local/share.
constexpr DataFolderSource DATA_FOLDER_SOURCES[] = {
    {"XDG_DATA_HOME", ""},
    {"HOME", "/.local/share"},
};

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

FILE* OpenCFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool ChangeMode(const std::string& path, int mode) {
  return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool MakeDir(const std::string& path, int mode) {
  return mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool RemoveDir(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool RenameEntry(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::unique_ptr<Listing> OpenListing(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  return dir ? std::make_unique<DirListing>(dir) : nullptr;
}

bool WorkingDirectory(std::string& path) {
  std::string buffer(1024, '\0');
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return false;
    buffer.resize(buffer.size() * 2);
  }
  path = buffer.c_str();
  return true;
}

bool ChangeWorkingDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

std::string ProgramFilePath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return std::string();
  path.resize(static_cast<size_t>(length));
  return path;
}

std::span<const DataFolderSource> UserDataFolderSources() { return DATA_FOLDER_SOURCES; }

bool EnvironmentPath(const char* variable, std::string& path) {
  const char* value = std::getenv(variable);
  if (!value) return false;
  path = value;
  return true;
}

void UseBinaryStandardOutput() {}

}  // namespace detail
