#pragma once
// Text streams: characters in a chosen encoding over any stream, and the
// process's standard input and output as one such stream.

#include "stream/stream.h"
#include "stream/stream_factory.h"

// Characters are 16 bits wide: UTF-8 reads and writes at most three bytes a
// character, and a four-byte sequence reads as the character 0.
class TTextStream : public TFilterStream {
 public:
  enum Encoding { Latin1, Utf8, Utf16BigEndian, Utf16LittleEndian };

  // Null for a null stream.
  static Ref<TTextStream> Create(Ref<TStream> stream, Encoding encoding);

  Encoding GetEncoding() const { return encoding_; }

  // One character, 0..65535; 0 at the end of a stream that can tell its end.
  // Continuation bytes of UTF-8 are not checked.
  virtual int ReadChar();
  // The low 16 bits of c.
  virtual void WriteChar(int c);

  // Reads up to LF or the character 0, drops every CR, and stops at the end
  // of the stream. On a stream that cannot tell its end, running dry ends a
  // line that has characters and throws TStreamReadError for one that has none.
  String ReadLine() override;
  // The text and CR LF; throws TStreamWriteError if they do not all go out.
  int WriteLine(const String& s) override;
  // Exactly length characters; those missing at the end read as 0. A length
  // that reaches more than 64 Ki characters past the end throws
  // TStreamReadError instead of allocating it.
  String ReadString(int length) override;
  void WriteString(const String& s) override;

 private:
  int ReadUtf8();

  Encoding encoding_ = Latin1;
};

// "latin1::url", "utf8::url", "utf16be::url" and "utf16le::url". Defined but
// not registered by any module start, so these protocols are not available
// through OpenStream unless someone creates one.
class TTextStreamFactory : public TStreamFactory {
 public:
  Ref<TStream> CreateStream(const Url& url, const String& protocol, const String& path,
                            bool readable, bool writeable) override;
};

// Reads standard input and writes standard output. It cannot seek and never
// reports its end; a read at the end of input gives 0 bytes.
class TStandardStream : public TStream {
 public:
  int Flush() override;
  int Read(void* buf, int count) override;
  int Write(const void* buf, int count) override;
};

// The process's standard input and output as UTF-8 text, for the whole run.
Ref<TTextStream> StandardStream();

// Writes s and CR LF to standard output and flushes it.
void PrintLine(const String& s);
// Writes the prompt, then reads one line of standard input. With no input
// left it throws TStreamReadError.
String InputLine(const String& prompt);
