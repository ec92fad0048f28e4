#include "stream/file_system.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "runtime/program.h"
#include "stream/bank.h"
#include "stream/bank_stream.h"
#include "stream/byte_swap_stream.h"
#include "stream/file_stream.h"
#include "stream/platform_file_system.h"
#include "stream/text_stream.h"

namespace {

// New directories ask for every permission bit and the sticky bit; the umask
// takes away what it must.
constexpr int DIRECTORY_MODE = 01777;

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

bool IsDriveRoot(const String& path) {
  return path.Length() == 3 && path[1] == ':' && path[2] == '/';
}

String Normalized(String path, bool stripTrailingSlash) {
  NormalizePath(path, stripTrailingSlash);
  return path;
}

// The length of a normalised path's root: 1 for "/", 3 for a drive's such
// as "C:/", 0 for a relative path.
int RootLength(const String& path) {
  if (path.StartsWith("/")) return 1;
  return path.Length() >= 3 && path[1] == ':' && path[2] == '/' ? 3 : 0;
}

// The helpers below take paths as they stand, already normalised: a name read
// from a directory may hold a "\" that must not become a separator.
bool Stat(const String& path, detail::EntryInfo& info) {
  std::string native;
  return NativePath(path, native) && detail::StatEntry(native, info);
}

int TypeOf(const String& path) {
  detail::EntryInfo info;
  if (!Stat(path, info)) return FILETYPE_NONE;
  if (info.kind == detail::EntryKind::FILE) return FILETYPE_FILE;
  if (info.kind == detail::EntryKind::DIRECTORY) return FILETYPE_DIR;
  return FILETYPE_NONE;
}

bool IsLink(const String& path) {
  std::string native;
  return NativePath(path, native) && detail::IsSymbolicLink(native);
}

void RemoveEntry(const String& path) {
  std::string native;
  if (NativePath(path, native)) detail::RemoveFile(native);
}

void RemoveDir(const String& path) {
  std::string native;
  if (NativePath(path, native)) detail::RemoveDir(native);
}

bool MakeDir(const String& path) {
  std::string native;
  if (NativePath(path, native)) detail::MakeDir(native, DIRECTORY_MODE);
  return TypeOf(path) == FILETYPE_DIR;
}

using ListingPtr = std::unique_ptr<detail::Listing>;

ListingPtr OpenListing(const String& path) {
  std::string native;
  return NativePath(path, native) ? detail::OpenListing(native) : nullptr;
}

String NextName(detail::Listing& listing) {
  std::string name;
  return listing.Next(name) ? PathFromNative(name) : String();
}

void DeleteContents(detail::Listing& listing, const String& path) {
  for (String name; !(name = NextName(listing)).IsEmpty();) {
    if (name == "." || name == "..") continue;
    const String full = path + "/" + name;
    // A link goes as an entry of its own; its target may lie outside the tree.
    if (IsLink(full)) {
      RemoveEntry(full);
      continue;
    }
    switch (TypeOf(full)) {
      case FILETYPE_FILE:
        RemoveEntry(full);
        break;
      case FILETYPE_DIR:
        if (ListingPtr inner = OpenListing(full)) DeleteContents(*inner, full);
        RemoveDir(full);
        break;
    }
  }
}

}  // namespace

void StartFileSystem() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartBankStreams();
  static TByteSwapStreamFactory byteSwapFactory;
  StandardStream();
}

Ref<TStream> OpenFileStream(const Url& url, bool readable, bool writeable) {
  Ref<TStream> stream = OpenStream(url, readable, writeable);
  if (!stream || stream->Position() != -1) return stream;
  // Writes to a copy would never reach the stream, so only a stream opened
  // for reading alone is copied.
  if (!readable || writeable) return stream;
  try {
    return TBankStream::Create(TBank::Load(stream));
  } catch (const RuntimeError&) {
    return nullptr;
  }
}

Ref<TStream> OpenFileForReading(const Url& url) { return OpenFileStream(url, true, false); }

Ref<TStream> OpenFileForWriting(const Url& url) { return OpenFileStream(url, false, true); }

void CloseFileStream(const Ref<TStream>& stream) {
  if (stream) stream->Close();
}

void NormalizePath(String& path, bool stripTrailingSlash) {
  if (path.IsEmpty()) return;
  path = path.Replace("\\", "/");
  if (path.Length() >= 2 && path[1] == ':' && (path.Length() == 2 || path[2] != '/')) {
    path = path.Left(2) + "/" + path.From(2);
  }
  if (stripTrailingSlash) path = StripTrailingSlash(path);
}

String StripTrailingSlash(const String& path) {
  if (path.Length() > 1 && !IsDriveRoot(path) && path.EndsWith("/")) {
    return path.Left(path.Length() - 1);
  }
  return path;
}

String AbsolutePath(const String& path) {
  if (path.IsEmpty() || path == ".") return CurrentDirectory();
  const String normal = Normalized(path, false);
  const int rootLength = RootLength(normal);
  String root = normal.Left(rootLength), rest = normal.From(rootLength);
  if (root.IsEmpty()) {
    root = CurrentDirectory();
    // Without a working directory a relative path cannot be made absolute.
    if (root.IsEmpty()) return BAD_DIR;
  }
  rest += "/";
  for (int start = 0; start < rest.Length();) {
    const int slash = rest.Find("/", start);
    const String part = rest.Mid(start, slash - start);
    start = slash + 1;
    if (part.IsEmpty() || part == ".") continue;
    if (part == "..") {
      root = ParentDirectory(root);
      if (root == BAD_DIR) return root;
      continue;
    }
    if (!root.EndsWith("/")) root += "/";
    root += part;
  }
  return root;
}

String ParentDirectory(const String& path) {
  const String normal = Normalized(path, false);
  const int slash = normal.FindLast("/");
  if (slash < 0 || slash == normal.Length() - 1) return BAD_DIR;
  // The parent of "/x" is the root, as that of "C:/x" is "C:/".
  if (slash == 0) return "/";
  return Normalized(normal.Left(slash), false);
}

String StripDirectory(const String& path) {
  const String normal = Normalized(path, false);
  return normal.From(normal.FindLast("/") + 1);
}

String StripExtension(const String& path) {
  const String normal = Normalized(path, false);
  const int dot = normal.FindLast(".");
  if (dot >= 0 && normal.Find("/", dot) < 0) return normal.Left(dot);
  return normal;
}

String StripAll(const String& path) { return StripDirectory(StripExtension(path)); }

String ExtractExtension(const String& path) {
  const String normal = Normalized(path, false);
  const int dot = normal.FindLast(".");
  if (dot >= 0 && normal.Find("/", dot) < 0) return normal.From(dot + 1);
  return String();
}

int FileType(const String& path) { return TypeOf(Normalized(path, false)); }

int FileSize(const String& path) {
  detail::EntryInfo info;
  return Stat(Normalized(path, false), info) ? ClampToInt(info.size) : -1;
}

int FileTime(const String& path) {
  detail::EntryInfo info;
  return Stat(Normalized(path, false), info) ? ClampToInt(info.modified) : 0;
}

int FileMode(const String& path) {
  detail::EntryInfo info;
  return Stat(Normalized(path, false), info) ? info.mode & 0777 : -1;
}

void SetFileMode(const String& path, int mode) {
  std::string native;
  if (NativePath(Normalized(path, false), native)) detail::ChangeMode(native, mode);
}

int CreateFile(const String& path) {
  const String normal = Normalized(path, false);
  std::string native;
  if (!NativePath(normal, native)) return 0;
  detail::RemoveFile(native);
  if (FILE* file = detail::OpenCFile(native, "wb")) std::fclose(file);
  return TypeOf(normal) == FILETYPE_FILE ? 1 : 0;
}

int DeleteFile(const String& path) {
  const String normal = Normalized(path, false);
  RemoveEntry(normal);
  return TypeOf(normal) == FILETYPE_NONE ? 1 : 0;
}

int RenameFile(const String& from, const String& to) {
  std::string nativeFrom, nativeTo;
  if (!NativePath(Normalized(from, false), nativeFrom)) return 0;
  if (!NativePath(Normalized(to, false), nativeTo)) return 0;
  return detail::RenameEntry(nativeFrom, nativeTo) ? 1 : 0;
}

int CreateDirectory(const String& path, bool recurse) {
  const String normal = Normalized(path, true);
  if (!recurse) return MakeDir(normal) ? 1 : 0;

  const String absolute = AbsolutePath(normal);
  if (absolute == BAD_DIR) return 0;
  const String walk = absolute + "/";
  for (int slash = walk.Find("/"); slash >= 0; slash = walk.Find("/", slash + 1)) {
    // Each level up to and including this "/"; a root keeps its "/".
    const String level = StripTrailingSlash(walk.Left(slash + 1));
    switch (TypeOf(level)) {
      case FILETYPE_DIR:
        continue;
      case FILETYPE_FILE:
        return 0;
    }
    if (!MakeDir(level)) return 0;
  }
  return 1;
}

int DeleteDirectory(const String& path, bool recurse) {
  const String normal = Normalized(path, true);
  // A link to a directory is not one to empty: its contents are elsewhere.
  if (recurse && !IsLink(normal)) {
    const ListingPtr listing = OpenListing(normal);
    if (!listing) return 0;
    DeleteContents(*listing, normal);
  }
  RemoveDir(normal);
  return TypeOf(normal) == FILETYPE_NONE ? 1 : 0;
}

String CurrentDirectory() {
  std::string native;
  if (!detail::WorkingDirectory(native)) return String();
  return Normalized(PathFromNative(native), false);
}

int ChangeDirectory(const String& path) {
  std::string native;
  if (!NativePath(Normalized(path, true), native)) return 0;
  return detail::ChangeWorkingDirectory(native) ? 1 : 0;
}

String ProgramFile() {
  const std::string path = detail::ProgramFilePath();
  return path.empty() ? String() : Normalized(PathFromNative(path), false);
}

String UserDataDirectory() {
  for (const detail::DataFolderSource& source : detail::UserDataFolderSources()) {
    std::string native;
    if (!detail::EnvironmentPath(source.variable, native)) continue;
    const String folder = Normalized(PathFromNative(native), true);
    if (RootLength(folder) > 0) return folder + String(source.below);
  }
  return String();
}

namespace {
String launchDirectory;
}

String LaunchDirectory() {
  return launchDirectory.IsEmpty() ? CurrentDirectory() : launchDirectory;
}

int EnterProgramFolder() {
  launchDirectory = CurrentDirectory();
  const String program = ProgramFile();
  if (program.IsEmpty()) return 0;
  const String folder = ParentDirectory(program);
  return folder == String(BAD_DIR) ? 0 : ChangeDirectory(folder);
}

TDirectory::~TDirectory() = default;

Ref<TDirectory> OpenDirectory(const String& path) {
  ListingPtr listing = OpenListing(Normalized(path, true));
  if (!listing) return nullptr;
  auto directory = New<TDirectory>();
  directory->listing_ = std::move(listing);
  return directory;
}

String NextDirectoryEntry(const Ref<TDirectory>& directory) {
  if (!directory || !directory->listing_) return String();
  return NextName(*directory->listing_);
}

void CloseDirectory(const Ref<TDirectory>& directory) {
  if (!directory) return;
  directory->listing_.reset();
}

std::vector<String> ListDirectory(const String& path, bool skipDots) {
  std::vector<String> names;
  const Ref<TDirectory> listing = OpenDirectory(path);
  if (!listing) return names;
  for (String name; !(name = NextDirectoryEntry(listing)).IsEmpty();) {
    if (skipDots && (name == "." || name == "..")) continue;
    names.push_back(name);
  }
  return names;
}

String FindCasedPath(const String& path) {
  if (const int type = TypeOf(path); type == FILETYPE_FILE || type == FILETYPE_DIR) return path;
  const int slash = path.Length() >= 2 ? path.FindLast("/", path.Length() - 2) : -1;
  String prefix, directory = ".";
  if (slash >= 1) {
    prefix = FindCasedPath(path.Left(slash));
    if (prefix.IsEmpty()) return String();
    directory = prefix;
  }
  const String sought = path.From(slash + 1).Lower();
  const ListingPtr listing = OpenListing(directory);
  if (!listing) return String();
  for (String name; !(name = NextName(*listing)).IsEmpty();) {
    if (name.Lower() == sought) return prefix.IsEmpty() ? name : prefix + "/" + name;
  }
  return String();
}
