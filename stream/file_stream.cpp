#include "stream/file_stream.h"

#include <sys/stat.h>

#include <cerrno>

namespace {

// A directory opens for reading on POSIX systems, yet every read of it fails.
bool IsDirectory(FILE* file) {
  struct stat st;
  return fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

Ref<TFileStream> TFileStream::Open(const String& path, bool readable, bool writeable) {
  const char* modeText = "rb";
  Mode mode = MODE_READ;
  if (readable && writeable) {
    modeText = "r+b";
    mode = MODE_READ_WRITE;
  } else if (writeable) {
    modeText = "wb";
    mode = MODE_WRITE;
  }
  std::string native;
  if (!NativePath(path.Replace("\\", "/"), native)) {
    errno = EINVAL;
    return nullptr;
  }
  FILE* file = std::fopen(native.c_str(), modeText);
  if (!file) return nullptr;
  if (IsDirectory(file)) {
    std::fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return CreateWithFile(file, mode);
}

Ref<TFileStream> TFileStream::CreateWithFile(FILE* file, Mode mode) {
  auto stream = New<TFileStream>();
  stream->file_ = file;
  stream->mode_ = mode;
  stream->position_ = static_cast<int>(std::ftell(file));
  std::fseek(file, 0, SEEK_END);
  stream->size_ = static_cast<int>(std::ftell(file));
  std::fseek(file, stream->position_, SEEK_SET);
  return stream;
}

// A stream nobody can reach any more cannot be closed by anyone either.
TFileStream::~TFileStream() { Close(); }

void TFileStream::Switch(LastOp op) {
  if (lastOp_ != LastOp::NONE && lastOp_ != op) std::fseek(file_, 0, SEEK_CUR);
  lastOp_ = op;
}

int TFileStream::Seek(int pos) {
  if (!file_) return position_;
  std::fseek(file_, pos, SEEK_SET);
  position_ = static_cast<int>(std::ftell(file_));
  lastOp_ = LastOp::NONE;
  return position_;
}

// A full disk often shows only when the buffered bytes go out, so both report
// that as -1 rather than succeed silently.
int TFileStream::Flush() {
  if (file_ && std::fflush(file_) != 0) return -1;
  return 0;
}

int TFileStream::Close() {
  if (!file_) return 0;
  const int flushed = Flush();
  const int closed = std::fclose(file_);
  file_ = nullptr;
  position_ = size_ = 0;
  return flushed != 0 || closed != 0 ? -1 : 0;
}

int TFileStream::Read(void* buf, int count) {
  if (!file_ || count <= 0) return 0;
  Switch(LastOp::READ);
  const int n = static_cast<int>(std::fread(buf, 1, static_cast<size_t>(count), file_));
  position_ += n;
  return n;
}

int TFileStream::Write(const void* buf, int count) {
  if (!file_ || count <= 0) return 0;
  Switch(LastOp::WRITE);
  const int n = static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), file_));
  position_ += n;
  if (position_ > size_) size_ = position_;
  return n;
}

bool NativePath(const String& path, std::string& native) {
  native = path.ToBytes();
  return native.find('\0') == std::string::npos;
}
