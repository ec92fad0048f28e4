#pragma once
// Every call that takes or gives a path, and the few other file and console
// calls that differ between platforms. Each platform folder translates them
// to its own calls; no logic lives there. Paths travel in the platform's
// native form (see NativePath in stream/file_stream.h), with "/" or "\" as
// separator.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace detail {

// How a path's characters become the native form. Where names are bytes
// (POSIX) a character is one byte, so every name read back is the bytes it
// was; where names are 16-bit units (Windows) they travel as UTF-8.
enum class PathEncoding { LATIN1, UTF8 };
extern const PathEncoding NATIVE_PATH_ENCODING;

enum class EntryKind { NONE, FILE, DIRECTORY, OTHER };

struct EntryInfo {
  EntryKind kind = EntryKind::NONE;
  int64_t size = 0;
  // Seconds since 1970.
  int64_t modified = 0;
  // Permission bits.
  int mode = 0;
};

// False when there is no entry. Symbolic links are followed.
bool StatEntry(const std::string& path, EntryInfo& info);
// True when path itself is a symbolic link; never where the platform has none.
bool IsSymbolicLink(const std::string& path);

// The C runtime's fopen; errno says why it failed.
FILE* OpenCFile(const std::string& path, const char* mode);
bool ChangeMode(const std::string& path, int mode);
// Removes a file, never a directory.
bool RemoveFile(const std::string& path);
// mode is ignored where directories have no permission bits.
bool MakeDir(const std::string& path, int mode);
// Removes an empty directory.
bool RemoveDir(const std::string& path);
// Replaces an existing target, as POSIX rename does; errno says why it failed.
bool RenameEntry(const std::string& from, const std::string& to);

// A directory's names in the order the system gives them, "." and ".."
// included; closed when it goes.
class Listing {
 public:
  virtual ~Listing() = default;
  // False at the end.
  virtual bool Next(std::string& name) = 0;
};
// Null when path cannot be listed.
std::unique_ptr<Listing> OpenListing(const std::string& path);

// False when the working directory cannot be read (it may have been removed).
bool WorkingDirectory(std::string& path);
bool ChangeWorkingDirectory(const std::string& path);
// The running program's file, or the empty string when it cannot be found.
std::string ProgramFilePath();

// Where the user's data folder comes from, in order: the first variable that
// holds an absolute path, with below appended.
struct DataFolderSource {
  const char* variable;
  const char* below;
};
std::span<const DataFolderSource> UserDataFolderSources();
// False when the variable is not set.
bool EnvironmentPath(const char* variable, std::string& path);

// Lines end in CR LF already; the C runtime must not add another CR.
void UseBinaryStandardOutput();

}  // namespace detail
