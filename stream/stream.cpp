#include "stream/stream.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Bytes that ReadLine gathers before it moves them into the result.
constexpr int LINE_CHUNK = 1024;
// The most that ReadString allocates ahead of the bytes it has seen.
constexpr int STRING_CHUNK = 64 * 1024;

template <class T>
T ReadValue(TStream& stream) {
  T value{};
  stream.ReadBytes(&value, sizeof value);
  return value;
}

template <class T>
void WriteValue(TStream& stream, T value) {
  stream.WriteBytes(&value, sizeof value);
}

}  // namespace

int TStreamBase::Read(void*, int) { throw RuntimeError("Stream is not readable"); }

int TStreamBase::Write(const void*, int) { throw RuntimeError("Stream is not writeable"); }

int TStream::ReadBytes(void* buf, int count) {
  auto* at = static_cast<uint8_t*>(buf);
  for (int left = count; left > 0 && !Eof();) {
    const int n = Read(at, left);
    if (n <= 0) throw TStreamReadError();
    at += n;
    left -= n;
  }
  return count;
}

int TStream::WriteBytes(const void* buf, int count) {
  const auto* at = static_cast<const uint8_t*>(buf);
  for (int left = count; left > 0;) {
    const int n = Write(at, left);
    if (n <= 0) throw TStreamWriteError();
    at += n;
    left -= n;
  }
  return count;
}

int TStream::SkipBytes(int count) {
  uint8_t scratch[1024];
  for (int left = count; left > 0 && !Eof();) {
    const int n = Read(scratch, std::min(left, static_cast<int>(sizeof scratch)));
    if (n <= 0) throw TStreamReadError();
    left -= n;
  }
  return count;
}

int TStream::ReadByte() { return ReadValue<uint8_t>(*this); }
void TStream::WriteByte(int n) { WriteValue(*this, static_cast<uint8_t>(n)); }
int TStream::ReadShort() { return ReadValue<uint16_t>(*this); }
void TStream::WriteShort(int n) { WriteValue(*this, static_cast<uint16_t>(n)); }
int TStream::ReadInt() { return ReadValue<int32_t>(*this); }
void TStream::WriteInt(int n) { WriteValue(*this, static_cast<int32_t>(n)); }
int64_t TStream::ReadLong() { return ReadValue<int64_t>(*this); }
void TStream::WriteLong(int64_t n) { WriteValue(*this, n); }
float TStream::ReadFloat() { return ReadValue<float>(*this); }
void TStream::WriteFloat(float f) { WriteValue(*this, f); }
double TStream::ReadDouble() { return ReadValue<double>(*this); }
void TStream::WriteDouble(double d) { WriteValue(*this, d); }

String TStream::ReadLine() {
  std::u16string line;
  char16_t chunk[LINE_CHUNK];
  int gathered = 0;
  uint8_t c;
  while (Read(&c, 1) == 1 && c != 0 && c != '\n') {
    if (c == '\r') continue;
    chunk[gathered++] = c;
    if (gathered == LINE_CHUNK) {
      line.append(chunk, LINE_CHUNK);
      gathered = 0;
    }
  }
  line.append(chunk, static_cast<size_t>(gathered));
  return String(std::move(line));
}

size_t TStream::LineEnd(const uint8_t* bytes, size_t count) {
  const void* lf = std::memchr(bytes, '\n', count);
  const size_t end = lf ? static_cast<size_t>(static_cast<const uint8_t*>(lf) - bytes) : count;
  // A NUL ends a line too, but is rare in text.
  const void* nul = std::memchr(bytes, 0, end);
  return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : end;
}

String TStream::LineOf(const uint8_t* bytes, size_t count) {
  // Usually the only CR is the one before the LF.
  const size_t body = count > 0 && bytes[count - 1] == '\r' ? count - 1 : count;
  std::u16string line(bytes, bytes + body);
  if (std::memchr(bytes, '\r', body)) std::erase(line, u'\r');
  return String(std::move(line));
}

int TStream::WriteLine(const String& s) {
  const std::string bytes = s.ToBytes();
  const int count = static_cast<int>(bytes.size());
  if (Write(bytes.data(), count) != count) return 0;
  return Write("\r\n", 2) == 2 ? 1 : 0;
}

String TStream::ReadString(int length) {
  std::string bytes;
  for (int done = 0; done < length;) {
    // Past the end only the last, partly read chunk is padded with zeros.
    if (done > 0 && Eof()) throw TStreamReadError();
    const int n = std::min(length - done, STRING_CHUNK);
    bytes.resize(static_cast<size_t>(done + n));
    ReadBytes(bytes.data() + done, n);
    done += n;
  }
  return String::FromBytes(bytes);
}

void TStream::WriteString(const String& s) {
  const std::string bytes = s.ToBytes();
  WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
}

Ref<Object> TStream::ReadObject() { throw RuntimeError("Unable to read object"); }

void TStream::WriteObject(const Ref<Object>&) { throw RuntimeError("Unable to write object"); }

Ref<TBorrowedStream> TBorrowedStream::Create(Ref<TStream> stream) {
  auto borrowed = New<TBorrowedStream>();
  borrowed->SetInnerStream(std::move(stream));
  return borrowed;
}

int TBorrowedStream::Close() {
  SetInnerStream(nullptr);
  return 0;
}

bool StreamEof(const Ref<TStream>& stream) { return stream->Eof(); }
int StreamPosition(const Ref<TStream>& stream) { return stream->Position(); }
int StreamSize(const Ref<TStream>& stream) { return stream->Size(); }
int SeekStream(const Ref<TStream>& stream, int pos) { return stream->Seek(pos); }
void FlushStream(const Ref<TStream>& stream) { stream->Flush(); }
void CloseStream(const Ref<TStream>& stream) { stream->Close(); }
int ReadByte(const Ref<TStream>& stream) { return stream->ReadByte(); }
int ReadShort(const Ref<TStream>& stream) { return stream->ReadShort(); }
int ReadInt(const Ref<TStream>& stream) { return stream->ReadInt(); }
int64_t ReadLong(const Ref<TStream>& stream) { return stream->ReadLong(); }
float ReadFloat(const Ref<TStream>& stream) { return stream->ReadFloat(); }
double ReadDouble(const Ref<TStream>& stream) { return stream->ReadDouble(); }
void WriteByte(const Ref<TStream>& stream, int n) { stream->WriteByte(n); }
void WriteShort(const Ref<TStream>& stream, int n) { stream->WriteShort(n); }
void WriteInt(const Ref<TStream>& stream, int n) { stream->WriteInt(n); }
void WriteLong(const Ref<TStream>& stream, int64_t n) { stream->WriteLong(n); }
void WriteFloat(const Ref<TStream>& stream, float f) { stream->WriteFloat(f); }
void WriteDouble(const Ref<TStream>& stream, double d) { stream->WriteDouble(d); }
String ReadString(const Ref<TStream>& stream, int length) { return stream->ReadString(length); }
void WriteString(const Ref<TStream>& stream, const String& s) { stream->WriteString(s); }
String ReadLine(const Ref<TStream>& stream) { return stream->ReadLine(); }
int WriteLine(const Ref<TStream>& stream, const String& s) { return stream->WriteLine(s); }
