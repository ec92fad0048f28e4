#pragma once
// A string held as an object, for the places that take any object (an
// event's extra payload, a list element).

#include "runtime/object.h"
#include "runtime/string.h"

class TStringObject : public Object {
 public:
  explicit TStringObject(String value) : value_(std::move(value)) {}
  const String& Value() const { return value_; }

 private:
  String value_;
};

inline Ref<TStringObject> BoxString(String value) { return New<TStringObject>(std::move(value)); }
