#pragma once
// Data streams: whole object graphs written to a stream and read back.
//
// Each object is one record: a tag byte, then what the tag calls for.
//   0        the null object, or one that cannot be written
//   254      an object written before on this stream: Int32 index
//   255      a new object of a type named here for the first time: one byte
//            length, the type name (one byte a character), the contents
//   1..253   a new object of the type announced with that index: the contents
// Object and type indices count from 1 in order of first appearance, so a
// stream is read correctly only from its start. The url "data::" + path
// opens a data stream over the stream of path, for reading or for writing.

#include <array>
#include <map>
#include <unordered_map>
#include <vector>

#include "runtime/serializable.h"
#include "stream/stream.h"

class TDataStream : public TFilterStream {
 public:
  // Objects nest no deeper than this; deeper data is refused rather than
  // exhausting the native stack.
  static constexpr int MAX_NESTING = 1000;

  static Ref<TDataStream> Create(Ref<TStream> stream);

  Ref<Object> ReadObject() override;
  void WriteObject(const Ref<Object>& object) override;

  // Entries of the tables that later records refer back to.
  void RegisterObject(const Ref<Object>& object, int index);
  void RegisterType(const TDataType& type, int index);

  // Every object read so far, at its index; index 0 and the entries past the
  // object count are null. The table stays filled after a read error.
  const std::vector<Ref<Object>>& ObjectsRead() const { return objectsRead_; }

 private:
  TDataType& ReadTypeAnnouncement();
  TDataType& AnnouncedType(int tag) const;
  Ref<Object> ReadReference();
  void WriteType(const TDataType& type);

  // Reading and writing number their objects and types apart, so one stream
  // can write and then read back what it wrote.
  int typeCount_ = 0;
  int objectCount_ = 0;
  std::vector<Ref<Object>> objectsRead_ = std::vector<Ref<Object>>(256);
  std::array<TDataType*, 256> typesRead_{};
  int writtenTypeCount_ = 0;
  int writtenObjectCount_ = 0;
  struct WrittenObject {
    // Held so that no new object can take a written one's address while the
    // stream lives.
    Ref<Object> object;
    int index;
  };
  std::unordered_map<const Object*, WrittenObject> objectsWritten_;
  std::map<String, int> typesWritten_;
  int nesting_ = 0;
};

// Starts the data types of lists and banks and the "data" protocol.
void StartDataStreams();
