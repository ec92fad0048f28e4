#pragma once
// Streams over files of the C runtime.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "stream/stream.h"

class TFileStream : public TStream {
 public:
  enum Mode { MODE_READ = 1, MODE_WRITE = 2, MODE_READ_WRITE = 3 };

  // Both flags open an existing file for reading and writing ("r+b"); write
  // alone creates or truncates ("wb"); otherwise the file opens for reading
  // ("rb"). Backslashes in path count as slashes. Null if the file does not
  // open or is a directory; errno then says why.
  static Ref<TFileStream> Open(const String& path, bool readable, bool writeable);
  // Takes over an open file; position and size come from the file.
  static Ref<TFileStream> CreateWithFile(FILE* file, Mode mode);

  ~TFileStream() override;

  int Position() override { return position_; }
  int Size() override { return size_; }
  int Seek(int pos) override;
  int Flush() override;
  int Close() override;
  int Read(void* buf, int count) override;
  int Write(const void* buf, int count) override;
  // Lines are found in a block read ahead, not read a byte at a time; the
  // block serves the reads that follow until something else happens.
  String ReadLine() override;

  Mode GetMode() const { return mode_; }

 private:
  enum class LastOp { NONE, READ, WRITE };

  // The C runtime needs a seek between reading and writing the same file.
  void Switch(LastOp op);
  // Puts the file back at position_, dropping what ReadLine read ahead.
  void GiveBackAhead();

  int position_ = 0;
  int size_ = 0;
  FILE* file_ = nullptr;
  Mode mode_ = MODE_READ;
  LastOp lastOp_ = LastOp::NONE;
  // Bytes read from the file but not yet from the stream: ahead_[aheadAt_,
  // aheadEnd_) lies at position_.
  std::unique_ptr<uint8_t[]> ahead_;
  int aheadAt_ = 0;
  int aheadEnd_ = 0;
};

// The form in which the platform layer takes path: on POSIX systems its
// bytes, one a character; on Windows UTF-8 of its 16-bit units. False when a
// character has no place in that form (above 255 where names are bytes) or is
// 0: the path would name another entry. native is filled even then, for
// showing the path.
bool NativePath(const String& path, std::string& native);
// A path or name the platform layer gave back, as the String NativePath makes
// that form of; every name the system can hold comes back as it is.
String PathFromNative(std::string_view native);
