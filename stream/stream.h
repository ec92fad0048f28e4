#pragma once
// The stream class tree: raw byte access, the typed and text operations built
// on it, filter streams that forward to an inner stream, and stream errors.

#include <cstdint>

#include "runtime/object.h"
#include "runtime/runtime_error.h"
#include "runtime/string.h"

class TStreamBase : public Object {
 public:
  // True at the end of the data. By default: Position equals Size.
  virtual bool Eof() { return Position() == Size(); }
  // The current byte position, or -1 when the stream cannot seek.
  virtual int Position() { return -1; }
  virtual int Size() { return 0; }
  // Moves to pos and returns the new position; -1 when the stream cannot seek.
  virtual int Seek(int /*pos*/) { return -1; }
  virtual int Flush() { return 0; }
  virtual int Close() { return 0; }
  // Read and Write move up to count bytes and return how many moved; a Read
  // of 0 means that nothing more is available.
  virtual int Read(void* buf, int count);
  virtual int Write(const void* buf, int count);
};

// Every operation below is built on Read, Write and Eof of the same stream,
// so a class that overrides only the raw operations has all of them.
// Multi-byte values are little-endian.
class TStream : public TStreamBase {
 public:
  // Exact-count transfers. Each returns count; ReadBytes stops quietly at the
  // end of the stream, leaving the rest of buf as it was, and throws
  // TStreamReadError when a Read before the end gives nothing; WriteBytes
  // throws TStreamWriteError when a Write takes nothing.
  virtual int ReadBytes(void* buf, int count);
  virtual int WriteBytes(const void* buf, int count);
  virtual int SkipBytes(int count);

  // Typed reads give 0 at the end of the stream (or the bytes that were left,
  // the rest zero). Bytes and shorts read zero-extended.
  virtual int ReadByte();
  virtual void WriteByte(int n);
  virtual int ReadShort();
  virtual void WriteShort(int n);
  virtual int ReadInt();
  virtual void WriteInt(int n);
  virtual int64_t ReadLong();
  virtual void WriteLong(int64_t n);
  virtual float ReadFloat();
  virtual void WriteFloat(float f);
  virtual double ReadDouble();
  virtual void WriteDouble(double d);

  // Text, one byte a character. ReadLine reads up to LF or NUL, drops every
  // CR and never throws; at the end it gives the empty string. WriteLine ends
  // the line with CR LF and returns 1 if every byte was written, else 0.
  virtual String ReadLine();
  virtual int WriteLine(const String& s);
  // Exactly length characters; bytes missing at the end of the stream read as
  // the character 0. A length that reaches more than 64 KiB past the end
  // throws TStreamReadError instead of allocating it.
  virtual String ReadString(int length);
  // The bytes of s; no length, no terminator.
  virtual void WriteString(const String& s);

  // Only data streams read and write objects.
  virtual Ref<Object> ReadObject();
  virtual void WriteObject(const Ref<Object>& object);

 protected:
  // The line ReadLine gives for the bytes before its LF or NUL: one
  // character a byte, every CR dropped.
  static String LineOf(const uint8_t* bytes, size_t count);
  // Where the first LF or NUL of the bytes is; count when there is none.
  static size_t LineEnd(const uint8_t* bytes, size_t count);
};

// Forwards the raw operations to an inner stream.
class TFilterStream : public TStream {
 public:
  bool Eof() override { return inner_->Eof(); }
  int Position() override { return inner_->Position(); }
  int Size() override { return inner_->Size(); }
  int Seek(int pos) override { return inner_->Seek(pos); }
  int Flush() override { return inner_->Flush(); }
  int Close() override { return inner_->Close(); }
  int Read(void* buf, int count) override { return inner_->Read(buf, count); }
  int Write(const void* buf, int count) override { return inner_->Write(buf, count); }

  // Replaces the inner stream; the old one is released, not closed.
  void SetInnerStream(Ref<TStream> stream) { inner_ = std::move(stream); }
  const Ref<TStream>& InnerStream() const { return inner_; }

 private:
  Ref<TStream> inner_;
};

// A view of a stream that someone else owns: closing it only detaches it.
class TBorrowedStream : public TFilterStream {
 public:
  static Ref<TBorrowedStream> Create(Ref<TStream> stream);
  int Close() override;
};

class TStreamError : public RuntimeError {
 public:
  using RuntimeError::RuntimeError;
};

class TStreamReadError : public TStreamError {
 public:
  TStreamReadError() : TStreamError("Error reading from stream") {}
};

class TStreamWriteError : public TStreamError {
 public:
  TStreamWriteError() : TStreamError("Error writing to stream") {}
};

// The stream operations as free functions.
bool StreamEof(const Ref<TStream>& stream);
int StreamPosition(const Ref<TStream>& stream);
int StreamSize(const Ref<TStream>& stream);
int SeekStream(const Ref<TStream>& stream, int pos);
void FlushStream(const Ref<TStream>& stream);
void CloseStream(const Ref<TStream>& stream);
int ReadByte(const Ref<TStream>& stream);
int ReadShort(const Ref<TStream>& stream);
int ReadInt(const Ref<TStream>& stream);
int64_t ReadLong(const Ref<TStream>& stream);
float ReadFloat(const Ref<TStream>& stream);
double ReadDouble(const Ref<TStream>& stream);
void WriteByte(const Ref<TStream>& stream, int n);
void WriteShort(const Ref<TStream>& stream, int n);
void WriteInt(const Ref<TStream>& stream, int n);
void WriteLong(const Ref<TStream>& stream, int64_t n);
void WriteFloat(const Ref<TStream>& stream, float f);
void WriteDouble(const Ref<TStream>& stream, double d);
String ReadString(const Ref<TStream>& stream, int length);
void WriteString(const Ref<TStream>& stream, const String& s);
String ReadLine(const Ref<TStream>& stream);
int WriteLine(const Ref<TStream>& stream, const String& s);
