#include "stream/file_stream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "stream/platform_file_system.h"
#include "stream/utf8.h"

namespace {

// The block ReadLine reads ahead.
constexpr int AHEAD = 4096;

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
  FILE* file = detail::OpenCFile(native, modeText);
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

void TFileStream::GiveBackAhead() {
  if (aheadAt_ == aheadEnd_) return;
  aheadAt_ = aheadEnd_ = 0;
  std::fseek(file_, position_, SEEK_SET);
  lastOp_ = LastOp::NONE;
}

void TFileStream::Switch(LastOp op) {
  if (lastOp_ != LastOp::NONE && lastOp_ != op) std::fseek(file_, 0, SEEK_CUR);
  lastOp_ = op;
}

int TFileStream::Seek(int pos) {
  if (!file_) return position_;
  aheadAt_ = aheadEnd_ = 0;
  std::fseek(file_, pos, SEEK_SET);
  position_ = static_cast<int>(std::ftell(file_));
  lastOp_ = LastOp::NONE;
  return position_;
}

// A full disk often shows only when the buffered bytes go out, so both report
// that as -1 rather than succeed silently.
int TFileStream::Flush() {
  if (file_) GiveBackAhead();
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
  // First what ReadLine read ahead, if anything.
  const int early = std::min(count, aheadEnd_ - aheadAt_);
  if (early > 0) {
    std::memcpy(buf, ahead_.get() + aheadAt_, static_cast<size_t>(early));
    aheadAt_ += early;
    position_ += early;
    if (early == count) return count;
  }
  Switch(LastOp::READ);
  const int n = static_cast<int>(
      std::fread(static_cast<uint8_t*>(buf) + early, 1, static_cast<size_t>(count - early), file_));
  position_ += n;
  return early + n;
}

String TFileStream::ReadLine() {
  // A line longer than the block gathers here.
  std::string longer;
  while (file_) {
    if (aheadAt_ == aheadEnd_) {
      Switch(LastOp::READ);
      if (!ahead_) ahead_ = std::make_unique<uint8_t[]>(AHEAD);
      aheadAt_ = 0;
      aheadEnd_ = static_cast<int>(std::fread(ahead_.get(), 1, AHEAD, file_));
      if (aheadEnd_ == 0) break;
    }
    const uint8_t* const start = ahead_.get() + aheadAt_;
    const int left = aheadEnd_ - aheadAt_;
    const int length = static_cast<int>(LineEnd(start, static_cast<size_t>(left)));
    // Past the LF or NUL that ends the line.
    const int used = length + (length < left ? 1 : 0);
    aheadAt_ += used;
    position_ += used;
    if (length < left && longer.empty()) return LineOf(start, static_cast<size_t>(length));
    longer.append(reinterpret_cast<const char*>(start), static_cast<size_t>(length));
    if (length < left) break;
  }
  return LineOf(reinterpret_cast<const uint8_t*>(longer.data()), longer.size());
}

int TFileStream::Write(const void* buf, int count) {
  if (!file_ || count <= 0) return 0;
  GiveBackAhead();
  Switch(LastOp::WRITE);
  const int n = static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), file_));
  position_ += n;
  if (position_ > size_) size_ = position_;
  return n;
}

bool NativePath(const String& path, std::string& native) {
  const std::u16string& chars = path.Chars();
  if (detail::NATIVE_PATH_ENCODING == detail::PathEncoding::UTF8) {
    native = detail::Utf8Of(chars);
  } else {
    native = path.ToBytes();
    if (std::any_of(chars.begin(), chars.end(), [](char16_t c) { return c > 0xFF; })) return false;
  }
  return native.find('\0') == std::string::npos;
}

String PathFromNative(std::string_view native) {
  if (detail::NATIVE_PATH_ENCODING == detail::PathEncoding::UTF8) {
    return String(detail::Utf16Of(native));
  }
  return String::FromBytes(native);
}
