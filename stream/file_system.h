#pragma once
// Files, paths and directories.
//
// Paths use "/" as separator; "\" counts as "/", and a leading drive such as
// "C:" always gets its "/" ("C:/"). Every operation reports failure only
// through its result (0, -1, the null object, the empty string, BAD_DIR or an
// empty list); none of them throws.

#include <memory>
#include <vector>

#include "runtime/object.h"
#include "runtime/string.h"
#include "stream/stream.h"
#include "stream/stream_factory.h"

// What AbsolutePath and ParentDirectory give for a path that climbs above its root.
inline constexpr const char* BAD_DIR = "<bad_dir>";

// The results of FileType.
enum { FILETYPE_NONE = 0, FILETYPE_FILE = 1, FILETYPE_DIR = 2 };

// Registers the "bigendian" and "littleendian" protocols and the bank
// streams, and makes the standard stream.
void StartFileSystem();

// OpenStream, made seekable: a stream opened for reading alone that cannot
// seek is read whole into a bank, and a stream over that bank comes back.
// The source is not closed.
Ref<TStream> OpenFileStream(const Url& url, bool readable, bool writeable);
Ref<TStream> OpenFileForReading(const Url& url);
Ref<TStream> OpenFileForWriting(const Url& url);
// Closes stream; a null stream is ignored.
void CloseFileStream(const Ref<TStream>& stream);

// Turns "\" into "/" and gives a drive its "/"; then, if asked, removes one
// trailing "/" (never that of a root such as "/" or "C:/").
void NormalizePath(String& path, bool stripTrailingSlash);
String StripTrailingSlash(const String& path);
// path resolved against the current directory, with "." and ".." worked out.
String AbsolutePath(const String& path);
// BAD_DIR when path has no parent: no "/", a trailing "/", or a root.
String ParentDirectory(const String& path);
// The text after the last "/".
String StripDirectory(const String& path);
// Without the extension of the last component.
String StripExtension(const String& path);
String StripAll(const String& path);
// The extension of the last component, without its ".".
String ExtractExtension(const String& path);

// The path of an existing entry whose name matches path regardless of letter
// case: path itself when it exists as written, else the empty string.
String FindCasedPath(const String& path);

// FILETYPE_FILE, FILETYPE_DIR, or FILETYPE_NONE for no entry or another kind.
int FileType(const String& path);
// Bytes, at most the largest int; -1 when there is no entry.
int FileSize(const String& path);
// Modification time in seconds since 1970; 0 when there is no entry.
int FileTime(const String& path);
// Permission bits (0..511); -1 when there is no entry.
int FileMode(const String& path);
void SetFileMode(const String& path, int mode);

// 1 if an empty regular file is there afterwards. An existing file is
// replaced; a directory is left alone.
int CreateFile(const String& path);
// 1 if no entry is there afterwards. Directories are not removed.
int DeleteFile(const String& path);
// 1 on success; an existing target is replaced.
int RenameFile(const String& from, const String& to);
// 1 if the directory is there afterwards. With recurse the missing parents
// are made too; a file in the way fails at that level.
int CreateDirectory(const String& path, bool recurse);
// 1 if no entry is there afterwards. With recurse the contents go first;
// symbolic links inside are removed, never followed.
int DeleteDirectory(const String& path, bool recurse);
// The working directory, or the empty string when it cannot be read.
String CurrentDirectory();
// 1 on success.
int ChangeDirectory(const String& path);
// The running program's file as an absolute path, or the empty string.
String ProgramFile();
// The directory current when the program started, before it moved to its
// own folder with EnterProgramFolder; the current one if it never did.
String LaunchDirectory();
// Remembers the launch directory and makes the program's folder current.
// 1 on success.
int EnterProgramFolder();
// The folder where programs keep the user's data: %APPDATA% on Windows;
// elsewhere $XDG_DATA_HOME, else ~/.local/share. A variable that is not an
// absolute path counts as unset; the empty string when none is.
String UserDataDirectory();

// An open directory listing. It closes at CloseDirectory, or when the last
// reference goes.
namespace detail {
class Listing;
}
class TDirectory : public Object {
 public:
  TDirectory() = default;
  TDirectory(const TDirectory&) = delete;
  TDirectory& operator=(const TDirectory&) = delete;
  ~TDirectory() override;

 private:
  friend Ref<TDirectory> OpenDirectory(const String& path);
  friend String NextDirectoryEntry(const Ref<TDirectory>& directory);
  friend void CloseDirectory(const Ref<TDirectory>& directory);

  std::unique_ptr<detail::Listing> listing_;
};

// The null object when the directory cannot be listed.
Ref<TDirectory> OpenDirectory(const String& path);
// The next name, "." and ".." included; the empty string at the end or once
// the listing is closed.
String NextDirectoryEntry(const Ref<TDirectory>& directory);
void CloseDirectory(const Ref<TDirectory>& directory);
// Every name in the directory, in listing order; empty when it cannot be listed.
std::vector<String> ListDirectory(const String& path, bool skipDots);
