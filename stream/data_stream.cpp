#include "stream/data_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "runtime/list.h"
#include "runtime/program.h"
#include "stream/bank.h"
#include "stream/bank_stream.h"
#include "stream/stream_factory.h"

namespace {

constexpr int TAG_NULL = 0;
constexpr int TAG_REFERENCE = 254;
constexpr int TAG_NEW_TYPE = 255;
// Type indices share the tag byte with the two tags above.
constexpr int MAX_TYPES = 253;
constexpr int MAX_TYPE_NAME = 255;
// What a bank read from a stream that cannot tell its size allocates ahead of
// the bytes that have arrived.
constexpr int BANK_CHUNK = 64 * 1024;

// Counts one level of nesting for as long as an object's contents are read or
// written.
class NestingLevel {
 public:
  explicit NestingLevel(int& nesting) : nesting_(nesting) {
    if (nesting_ >= TDataStream::MAX_NESTING) {
      throw RuntimeError("Data stream objects nested too deeply");
    }
    ++nesting_;
  }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;
  ~NestingLevel() { --nesting_; }

 private:
  int& nesting_;
};

// Unlike ReadBytes, the end of the stream is an error here: the record said
// how many bytes follow.
void ReadExactly(TStream& stream, uint8_t* at, int count) {
  while (count > 0) {
    if (stream.Eof()) throw TStreamReadError();
    const int n = stream.Read(at, count);
    if (n <= 0) throw TStreamReadError();
    at += n;
    count -= n;
  }
}

bool IsLatin1(const String& s) {
  return std::all_of(s.Chars().begin(), s.Chars().end(), [](char16_t c) { return c <= 0xFF; });
}

class TListDataType : public TDataType {
 public:
  String TypeName() const override { return TList::TYPE_NAME; }
  Ref<Object> New() const override { return TList::Create(); }

  void ReadContents(const Ref<Object>& object, TStream& stream) const override {
    const Ref<TList> list = Cast<TList>(object);
    const int count = stream.ReadInt();
    for (int i = 0; i < count; ++i) {
      // Every element takes at least its tag byte, so a count larger than
      // the data ends here rather than filling the list with nulls.
      if (stream.Eof()) throw TStreamReadError();
      list->AddLast(stream.ReadObject());
    }
  }

  void WriteContents(const Ref<Object>& object, TStream& stream) const override {
    const Ref<TList> list = Cast<TList>(object);
    stream.WriteInt(list->Count());
    for (const Ref<Object>& element : *list) stream.WriteObject(element);
  }
};

class TBankDataType : public TDataType {
 public:
  String TypeName() const override { return TBank::TYPE_NAME; }
  Ref<Object> New() const override { return ::New<TBank>(); }

  void ReadContents(const Ref<Object>& object, TStream& stream) const override {
    const Ref<TBank> bank = Cast<TBank>(object);
    const int size = stream.ReadInt();
    if (size <= 0) return;
    const int position = stream.Position();
    if (position < 0) return ReadUnsized(*bank, stream, size);
    // A size that the stream cannot deliver is refused before it is allocated.
    if (size > stream.Size() - position) throw TStreamReadError();
    bank->Resize(size);
    ReadExactly(stream, bank->Data(), size);
  }

  void WriteContents(const Ref<Object>& object, TStream& stream) const override {
    const Ref<TBank> bank = Cast<TBank>(object);
    stream.WriteInt(bank->Size());
    stream.WriteBytes(bank->Data(), bank->Size());
  }

 private:
  // The memory grows with the bytes that arrive, never ahead of them by more
  // than a chunk.
  static void ReadUnsized(TBank& bank, TStream& stream, int size) {
    std::vector<uint8_t> bytes;
    while (static_cast<int>(bytes.size()) < size) {
      const int done = static_cast<int>(bytes.size());
      const int n = std::min(size - done, BANK_CHUNK);
      bytes.resize(static_cast<size_t>(done + n));
      ReadExactly(stream, bytes.data() + done, n);
    }
    bank.Resize(size);
    std::memcpy(bank.Data(), bytes.data(), bytes.size());
  }
};

class TDataStreamFactory : public TStreamFactory {
 public:
  Ref<TStream> CreateStream(const Url&, const String& protocol, const String& path, bool readable,
                            bool writeable) override {
    if (protocol != "data") return nullptr;
    if (readable && writeable) {
      throw RuntimeError("DataStreams can not be both readable and writeable");
    }
    Ref<TStream> stream = OpenStream(path, readable, writeable);
    if (!stream) return nullptr;
    return TDataStream::Create(std::move(stream));
  }
};

}  // namespace

void StartDataStreams() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartBankStreams();
  static TListDataType listType;
  static TBankDataType bankType;
  static TDataStreamFactory factory;
}

Ref<TDataStream> TDataStream::Create(Ref<TStream> stream) {
  StartDataStreams();
  auto dataStream = New<TDataStream>();
  dataStream->SetInnerStream(std::move(stream));
  return dataStream;
}

void TDataStream::RegisterObject(const Ref<Object>& object, int index) {
  objectsWritten_.insert_or_assign(object.Get(), WrittenObject{object, index});
}

void TDataStream::RegisterType(const TDataType& type, int index) {
  typesWritten_.insert_or_assign(type.TypeName(), index);
}

Ref<Object> TDataStream::ReadObject() {
  const int tag = ReadByte();
  if (tag == TAG_NULL) return nullptr;
  if (tag == TAG_REFERENCE) return ReadReference();
  TDataType& type = tag == TAG_NEW_TYPE ? ReadTypeAnnouncement() : AnnouncedType(tag);

  NestingLevel level(nesting_);
  Ref<Object> object = type.New();
  if (objectCount_ == INT_MAX) throw RuntimeError("Too many objects in data stream");
  ++objectCount_;
  if (static_cast<size_t>(objectCount_) == objectsRead_.size()) {
    objectsRead_.resize(static_cast<size_t>(objectCount_) * 2);
  }
  // In the table before its contents, which may refer back to it.
  objectsRead_[static_cast<size_t>(objectCount_)] = object;
  type.ReadContents(object, *this);
  return object;
}

Ref<Object> TDataStream::ReadReference() {
  const int index = ReadInt();
  if (index < 1 || index > objectCount_) {
    throw RuntimeError("Invalid object index in data stream: " + String::FromInt(index));
  }
  return objectsRead_[static_cast<size_t>(index)];
}

TDataType& TDataStream::ReadTypeAnnouncement() {
  const String name = ReadString(ReadByte());
  TDataType* type = FindDataType(name);
  if (!type) throw RuntimeError("Unrecognized Data Type: " + name);
  if (typeCount_ == MAX_TYPES) throw RuntimeError("Too many data types in data stream");
  typesRead_[static_cast<size_t>(++typeCount_)] = type;
  return *type;
}

TDataType& TDataStream::AnnouncedType(int tag) const {
  if (tag > typeCount_) {
    throw RuntimeError("Unannounced data type in data stream: " + String::FromInt(tag));
  }
  return *typesRead_[static_cast<size_t>(tag)];
}

void TDataStream::WriteObject(const Ref<Object>& object) {
  const auto serializable = Cast<TSerializable>(object);
  TDataType* type = serializable ? serializable->DataType() : nullptr;
  if (!type) return WriteByte(TAG_NULL);

  if (auto written = objectsWritten_.find(object.Get()); written != objectsWritten_.end()) {
    WriteByte(TAG_REFERENCE);
    WriteInt(written->second.index);
    return;
  }

  NestingLevel level(nesting_);
  WriteType(*type);
  RegisterObject(object, ++writtenObjectCount_);
  type->WriteContents(object, *this);
}

void TDataStream::WriteType(const TDataType& type) {
  const String name = type.TypeName();
  if (auto written = typesWritten_.find(name); written != typesWritten_.end()) {
    return WriteByte(written->second);
  }
  // Refused here, before any byte of the record, since no reader could take it.
  if (name.Length() > MAX_TYPE_NAME || !IsLatin1(name)) {
    throw RuntimeError("Data type name cannot be written: " + name);
  }
  if (writtenTypeCount_ == MAX_TYPES) throw RuntimeError("Too many data types in data stream");
  RegisterType(type, ++writtenTypeCount_);
  WriteByte(TAG_NEW_TYPE);
  WriteByte(name.Length());
  WriteString(name);
}
