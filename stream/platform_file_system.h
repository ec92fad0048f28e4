#pragma once
// The file and console calls that differ between platforms; the rest of the
// file system module uses the C runtime's portable calls. Each platform folder
// translates them; no logic lives there. Paths arrive as the C runtime's
// bytes, with "/" as separator.

#include <cstdint>
#include <string>

namespace detail {

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

bool ChangeMode(const std::string& path, int mode);
// mode is ignored where directories have no permission bits.
bool MakeDir(const std::string& path, int mode);
// Replaces an existing target, as POSIX rename does.
bool RenameEntry(const std::string& from, const std::string& to);

// Lines end in CR LF already; the C runtime must not add another CR.
void UseBinaryStandardOutput();

// The running program's file, or the empty string when it cannot be found.
std::string ProgramFilePath();

}  // namespace detail
