// Decodes arbitrary bytes as text in every encoding, then checks that what
// was decoded survives being written and read again.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stream/bank_stream.h"
#include "stream/memory_stream.h"
#include "stream/text_stream.h"

namespace {

constexpr TTextStream::Encoding ENCODINGS[] = {TTextStream::Latin1, TTextStream::Utf8,
                                               TTextStream::Utf16BigEndian,
                                               TTextStream::Utf16LittleEndian};

void Check(bool ok) {
  if (!ok) std::abort();
}

Ref<TTextStream> Reader(std::string& bytes, TTextStream::Encoding encoding) {
  return TTextStream::Create(
      CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false), encoding);
}

std::string BytesOf(const Ref<TBankStream>& stream) {
  const Ref<TBank>& bank = stream->Bank();
  return std::string(reinterpret_cast<const char*>(bank->Data()),
                     static_cast<size_t>(bank->Size()));
}

void Lines(std::string& bytes, TTextStream::Encoding encoding) {
  std::vector<String> lines;
  for (auto in = Reader(bytes, encoding); !in->Eof();) lines.push_back(in->ReadLine());

  auto bank = CreateBankStream(nullptr);
  auto out = TTextStream::Create(bank, encoding);
  for (const String& line : lines) Check(out->WriteLine(line) == 1);
  out->Seek(0);
  for (const String& line : lines) Check(out->ReadLine() == line);
  Check(out->Eof());
}

void Chars(std::string& bytes, TTextStream::Encoding encoding) {
  std::vector<int> chars;
  for (auto in = Reader(bytes, encoding); !in->Eof();) {
    const int c = in->ReadChar();
    Check(c >= 0 && c <= 0xFFFF);
    chars.push_back(c);
  }

  auto bank = CreateBankStream(nullptr);
  auto out = TTextStream::Create(bank, encoding);
  for (int c : chars) out->WriteChar(c);
  out->Seek(0);
  for (int c : chars) Check(out->ReadChar() == c);
  Check(out->Eof());
}

void Strings(std::string& bytes, TTextStream::Encoding encoding, int length) {
  String s;
  try {
    s = Reader(bytes, encoding)->ReadString(length);
  } catch (const TStreamReadError&) {
    return;
  }
  Check(s.Length() == (length > 0 ? length : 0));
  // Long runs of padding say nothing new and would only slow the search.
  if (length > static_cast<int>(bytes.size()) + 16) return;

  auto bank = CreateBankStream(nullptr);
  auto out = TTextStream::Create(bank, encoding);
  out->WriteString(s);
  out->Seek(0);
  Check(out->ReadString(length) == s);

  // Latin-1, and UTF-16 of whole characters, give back the very bytes.
  if (encoding == TTextStream::Latin1 && length == static_cast<int>(bytes.size())) {
    Check(BytesOf(bank) == bytes);
  }
  const bool utf16 =
      encoding == TTextStream::Utf16BigEndian || encoding == TTextStream::Utf16LittleEndian;
  if (utf16 && bytes.size() % 2 == 0 && length == static_cast<int>(bytes.size() / 2)) {
    Check(BytesOf(bank) == bytes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // The first bytes also choose a ReadString length, hostile ones included.
  int32_t length = 0;
  std::memcpy(&length, bytes.data(), std::min<size_t>(size, sizeof length));

  for (TTextStream::Encoding encoding : ENCODINGS) {
    Lines(bytes, encoding);
    Chars(bytes, encoding);
    Strings(bytes, encoding, length);
    const int whole = static_cast<int>(encoding == TTextStream::Latin1 ? size : size / 2);
    Strings(bytes, encoding, whole);
  }
  return 0;
}
