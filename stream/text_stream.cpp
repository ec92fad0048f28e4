#include "stream/text_stream.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "stream/platform_file_system.h"

namespace {

// The most that ReadString allocates ahead of the characters it has seen.
constexpr int STRING_CHUNK = 64 * 1024;
// Characters that WriteString encodes before it writes them.
constexpr int WRITE_CHUNK = 4096;

void Encode(TTextStream::Encoding encoding, int c, std::string& out) {
  c &= 0xFFFF;
  switch (encoding) {
    case TTextStream::Utf8:
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 + c / 64);
        out += static_cast<char>(0x80 + c % 64);
      } else {
        out += static_cast<char>(0xE0 + c / 4096);
        out += static_cast<char>(0x80 + c / 64 % 64);
        out += static_cast<char>(0x80 + c % 64);
      }
      return;
    case TTextStream::Utf16BigEndian:
      out += static_cast<char>(c / 256);
      out += static_cast<char>(c % 256);
      return;
    case TTextStream::Utf16LittleEndian:
      out += static_cast<char>(c % 256);
      out += static_cast<char>(c / 256);
      return;
    case TTextStream::Latin1:
      break;
  }
  out += static_cast<char>(c & 0xFF);
}

}  // namespace

Ref<TTextStream> TTextStream::Create(Ref<TStream> stream, Encoding encoding) {
  if (!stream) return nullptr;
  auto text = New<TTextStream>();
  text->SetInnerStream(std::move(stream));
  text->encoding_ = encoding;
  return text;
}

int TTextStream::ReadUtf8() {
  const int a = ReadByte();
  if (a < 0x80) return a;
  const int b = ReadByte();
  if (a < 0xE0) return ((a - 0xC0) * 64 + (b - 0x80)) & 0xFFFF;
  const int c = ReadByte();
  if (a < 0xF0) return ((a - 0xE0) * 4096 + (b - 0x80) * 64 + (c - 0x80)) & 0xFFFF;
  // Beyond 16 bits; the rest of the sequence is left to read as it falls.
  return 0;
}

int TTextStream::ReadChar() {
  switch (encoding_) {
    case Utf8:
      return ReadUtf8();
    case Utf16BigEndian: {
      const int high = ReadByte();
      return high * 256 + ReadByte();
    }
    case Utf16LittleEndian: {
      const int low = ReadByte();
      return ReadByte() * 256 + low;
    }
    case Latin1:
      break;
  }
  return ReadByte();
}

void TTextStream::WriteChar(int c) {
  std::string bytes;
  Encode(encoding_, c, bytes);
  WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
}

String TTextStream::ReadLine() {
  std::u16string line;
  while (!Eof()) {
    int c;
    try {
      c = ReadChar();
    } catch (const TStreamReadError&) {
      // A stream that cannot tell its end runs dry instead; a last line
      // without its LF still counts, and only a read with nothing left fails.
      if (line.empty()) throw;
      break;
    }
    if (c == 0 || c == '\n') break;
    if (c != '\r') line += static_cast<char16_t>(c);
  }
  return String(std::move(line));
}

int TTextStream::WriteLine(const String& s) {
  WriteString(s);
  WriteString("\r\n");
  return 1;
}

String TTextStream::ReadString(int length) {
  std::u16string chars;
  for (int done = 0; done < length;) {
    // Past the end only the last, partly read chunk is padded with zeros.
    if (done > 0 && Eof()) throw TStreamReadError();
    const int n = std::min(length - done, STRING_CHUNK);
    for (int i = 0; i < n; ++i) {
      // At the end every character reads as 0; no need to ask for each, nor
      // to pad a chunk when another would follow.
      if (Eof()) {
        if (done + n < length) throw TStreamReadError();
        chars.append(static_cast<size_t>(n - i), u'\0');
        break;
      }
      chars += static_cast<char16_t>(ReadChar());
    }
    done += n;
  }
  return String(std::move(chars));
}

void TTextStream::WriteString(const String& s) {
  std::string bytes;
  for (int start = 0, end; start < s.Length(); start = end) {
    end = start + std::min(s.Length() - start, WRITE_CHUNK);
    bytes.clear();
    for (int i = start; i < end; ++i) Encode(encoding_, s[i], bytes);
    WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
  }
}

Ref<TStream> TTextStreamFactory::CreateStream(const Url&, const String& protocol,
                                              const String& path, bool readable, bool writeable) {
  struct Protocol {
    const char* name;
    TTextStream::Encoding encoding;
  };
  static const Protocol protocols[] = {
      {"latin1", TTextStream::Latin1},
      {"utf8", TTextStream::Utf8},
      {"utf16be", TTextStream::Utf16BigEndian},
      {"utf16le", TTextStream::Utf16LittleEndian},
  };
  for (const Protocol& p : protocols) {
    if (protocol == p.name) {
      return TTextStream::Create(OpenStream(path, readable, writeable), p.encoding);
    }
  }
  return nullptr;
}

int TStandardStream::Flush() {
  std::fflush(stdout);
  return 0;
}

int TStandardStream::Read(void* buf, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(std::fread(buf, 1, static_cast<size_t>(count), stdin));
}

int TStandardStream::Write(const void* buf, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), stdout));
}

Ref<TTextStream> StandardStream() {
  // Kept for the whole run, exit actions included, so it is never destroyed.
  static TTextStream* const stream = [] {
    detail::UseBinaryStandardOutput();
    return TTextStream::Create(New<TStandardStream>(), TTextStream::Utf8).Detach();
  }();
  return Ref<TTextStream>(stream);
}

void PrintLine(const String& s) {
  const Ref<TTextStream> out = StandardStream();
  out->WriteLine(s);
  out->Flush();
}

String InputLine(const String& prompt) {
  const Ref<TTextStream> io = StandardStream();
  io->WriteString(prompt);
  io->Flush();
  return io->ReadLine();
}
