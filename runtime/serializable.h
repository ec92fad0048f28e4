#pragma once
// Objects that data streams can write and read back.
//
// Each serialisable class has one data type object, which names the class in
// a stream and writes and reads an object's contents. Data types join one
// process-wide registry when their module starts; the newest comes first.

#include "runtime/object.h"
#include "runtime/string.h"

class TStream;
class TDataType;

class TSerializable : public Object {
 public:
  virtual TDataType* DataType() const = 0;
};

class TDataType {
 public:
  // Puts the new type at the head of the registry.
  TDataType();
  TDataType(const TDataType&) = delete;
  TDataType& operator=(const TDataType&) = delete;
  virtual ~TDataType() = default;

  virtual String TypeName() const = 0;
  // An empty object of the class.
  virtual Ref<Object> New() const = 0;
  virtual void ReadContents(const Ref<Object>& object, TStream& stream) const = 0;
  virtual void WriteContents(const Ref<Object>& object, TStream& stream) const = 0;

  TDataType* Next() const { return next_; }

 private:
  TDataType* next_;
};

// The head of the registry: the newest data type, or null.
TDataType* FirstDataType();
// The first registered type with this name, or null.
TDataType* FindDataType(const String& name);
