#include "runtime/serializable.h"

namespace {
TDataType* registry = nullptr;
}

TDataType::TDataType() : next_(registry) { registry = this; }

TDataType* FirstDataType() { return registry; }

TDataType* FindDataType(const String& name) {
  for (TDataType* type = registry; type; type = type->Next()) {
    if (type->TypeName() == name) return type;
  }
  return nullptr;
}
