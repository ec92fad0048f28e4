#include "stream/platform_file_system.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwctype>
#include <string_view>

#include "stream/utf8.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace detail {

// Names are UTF-16; the wide calls below get exactly the units of the path.
const PathEncoding NATIVE_PATH_ENCODING = PathEncoding::UTF8;

namespace {

constexpr std::wstring_view LONG_PREFIX = L"\\\\?\\";
constexpr std::wstring_view LONG_UNC_PREFIX = L"\\\\?\\UNC\\";
constexpr std::wstring_view DEVICE_PREFIX = L"\\\\.\\";

std::wstring Wide(std::string_view native) {
  const std::u16string units = Utf16Of(native);
  return std::wstring(units.begin(), units.end());
}

std::string Native(std::wstring_view wide) {
  return Utf8Of(std::u16string(wide.begin(), wide.end()));
}

// Runs a call that fills a buffer: it returns the length it wrote, or, for a
// buffer too small, a length at least the buffer's size; 0 on failure. The
// buffer grows until the text fits.
template <typename Fill>
bool Filled(Fill fill, std::wstring& text) {
  for (DWORD size = MAX_PATH;;) {
    text.resize(size);
    const DWORD length = fill(text.data(), size);
    if (length == 0) return false;
    if (length < size) {
      text.resize(length);
      return true;
    }
    size = std::max<DWORD>(length, size * 2);
  }
}

// A path the system gave back, as a program would write it.
std::string WithoutLongPrefix(std::wstring_view path) {
  if (path.starts_with(LONG_UNC_PREFIX))
    return "\\\\" + Native(path.substr(LONG_UNC_PREFIX.size()));
  if (path.starts_with(LONG_PREFIX)) return Native(path.substr(LONG_PREFIX.size()));
  return Native(path);
}

// What every wide call gets: absolute, with "\", behind the prefix that lifts
// the limit of 260 characters. The prefix also turns off the system's own
// clean-up of ".", ".." and doubled separators, so GetFullPathNameW does that
// first; it keeps one trailing "\", which the calls below would not take.
std::wstring LongPath(std::string_view native) {
  std::wstring path = Wide(native);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (path.starts_with(LONG_PREFIX) || path.starts_with(DEVICE_PREFIX)) return path;
  std::wstring full;
  const auto fill = [&path](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  };
  if (!Filled(fill, full)) return path;
  // A device such as NUL.
  if (full.starts_with(DEVICE_PREFIX)) return full;
  if (full.size() > 3 && full.back() == L'\\') full.pop_back();
  if (full.starts_with(L"\\\\")) return std::wstring(LONG_UNC_PREFIX) + full.substr(2);
  return std::wstring(LONG_PREFIX) + full;
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

// The permission bits the C runtime's stat gives: everything is readable,
// writable unless read-only, and directories and programs run.
constexpr std::wstring_view PROGRAM_EXTENSIONS[] = {L".exe", L".com", L".bat", L".cmd"};

bool IsProgramName(std::wstring_view path) {
  if (path.size() < 4) return false;
  std::wstring extension(path.substr(path.size() - 4));
  std::transform(extension.begin(), extension.end(), extension.begin(), towlower);
  return std::find(std::begin(PROGRAM_EXTENSIONS), std::end(PROGRAM_EXTENSIONS), extension) !=
         std::end(PROGRAM_EXTENSIONS);
}

int ModeOf(DWORD attributes, std::wstring_view path) {
  int mode = _S_IREAD;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) mode |= _S_IWRITE;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || IsProgramName(path)) mode |= _S_IEXEC;
  // The owner's bits stand for everyone's.
  return mode | mode >> 3 | mode >> 6;
}

EntryKind KindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::DIRECTORY;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::OTHER;
  return EntryKind::FILE;
}

// 100 ns steps since 1601.
int64_t UnixTime(const FILETIME& time) {
  const uint64_t ticks = static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600;
}

class FindListing : public Listing {
 public:
  FindListing(HANDLE find, const WIN32_FIND_DATAW& first) : find_(find), data_(first) {}
  FindListing(const FindListing&) = delete;
  FindListing& operator=(const FindListing&) = delete;
  ~FindListing() override { FindClose(find_); }

  bool Next(std::string& name) override {
    if (ended_) return false;
    name = Native(data_.cFileName);
    ended_ = !FindNextFileW(find_, &data_);
    return true;
  }

 private:
  HANDLE find_;
  // The entry Next gives next.
  WIN32_FIND_DATAW data_;
  bool ended_ = false;
};

constexpr DataFolderSource DATA_FOLDER_SOURCES[] = {{"APPDATA", ""}};

}  // namespace

bool StatEntry(const std::string& path, EntryInfo& info) {
  const std::wstring wide = LongPath(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return false;
  info.kind = KindOf(data.dwFileAttributes);
  info.size = static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  info.modified = UnixTime(data.ftLastWriteTime);
  info.mode = ModeOf(data.dwFileAttributes, wide);
  return true;
}

bool IsSymbolicLink(const std::string&) { return false; }

FILE* OpenCFile(const std::string& path, const char* mode) {
  return _wfopen(LongPath(path).c_str(), Wide(mode).c_str());
}

bool ChangeMode(const std::string& path, int mode) {
  return _wchmod(LongPath(path).c_str(), mode) == 0;
}

bool RemoveFile(const std::string& path) { return _wunlink(LongPath(path).c_str()) == 0; }

bool MakeDir(const std::string& path, int) { return _wmkdir(LongPath(path).c_str()) == 0; }

bool RemoveDir(const std::string& path) { return _wrmdir(LongPath(path).c_str()) == 0; }

// The C runtime's rename refuses an existing target. MoveFileExW sets no
// errno, and callers report errno as the reason.
bool RenameEntry(const std::string& from, const std::string& to) {
  if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return true;
  }
  errno = ErrnoOf(GetLastError());
  return false;
}

std::unique_ptr<Listing> OpenListing(const std::string& path) {
  std::wstring pattern = LongPath(path);
  // A root such as C:\ keeps its "\".
  pattern += pattern.ends_with(L'\\') ? L"*" : L"\\*";
  WIN32_FIND_DATAW first;
  const HANDLE find = FindFirstFileW(pattern.c_str(), &first);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<FindListing>(find, first);
}

bool WorkingDirectory(std::string& path) {
  std::wstring wide;
  if (!Filled([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); },
              wide)) {
    return false;
  }
  path = WithoutLongPrefix(wide);
  return true;
}

// Without the prefix: the working directory has a limit of its own, and with
// the prefix it would show in the paths the system gives back.
bool ChangeWorkingDirectory(const std::string& path) {
  return SetCurrentDirectoryW(Wide(path).c_str()) != 0;
}

std::string ProgramFilePath() {
  std::wstring wide;
  const auto fill = [](wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(nullptr, buffer, size);
  };
  return Filled(fill, wide) ? WithoutLongPrefix(wide) : std::string();
}

std::span<const DataFolderSource> UserDataFolderSources() { return DATA_FOLDER_SOURCES; }

bool EnvironmentPath(const char* variable, std::string& path) {
  std::wstring wide;
  const std::wstring name = Wide(variable);
  const auto fill = [&name](wchar_t* buffer, DWORD size) {
    return GetEnvironmentVariableW(name.c_str(), buffer, size);
  };
  if (!Filled(fill, wide)) return false;
  path = Native(wide);
  return true;
}

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace detail
