#include "runtime/list.h"

#include <algorithm>

const char* const TList::TYPE_NAME = "qel.linkedlist.TList";

Ref<TList> TList::Create() { return New<TList>(); }

bool TList::Remove(const Ref<Object>& object) {
  auto at = std::find(links_.begin(), links_.end(), object);
  if (at == links_.end()) return false;
  links_.erase(at);
  return true;
}

bool TList::Contains(const Ref<Object>& object) const {
  return std::find(links_.begin(), links_.end(), object) != links_.end();
}

TDataType* TList::DataType() const {
  static TDataType* type = nullptr;
  if (!type) type = FindDataType(TYPE_NAME);
  return type;
}
