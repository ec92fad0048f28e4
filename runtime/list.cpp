#include "runtime/list.h"

#include <algorithm>
#include <vector>

const char* const TList::TYPE_NAME = "qel.linkedlist.TList";

Ref<TList> TList::Create() { return New<TList>(); }

TList::~TList() {
  // Lists nested thousands deep (a data stream can make them) would otherwise
  // be torn down by as deep a recursion. The outermost list going away
  // gathers the elements of every list that goes with it and releases them
  // one at a time.
  thread_local std::vector<Ref<Object>>* gathered = nullptr;
  if (gathered) {
    for (Ref<Object>& object : links_) gathered->push_back(std::move(object));
    return;
  }
  std::vector<Ref<Object>> pending(std::make_move_iterator(links_.begin()),
                                   std::make_move_iterator(links_.end()));
  gathered = &pending;
  while (!pending.empty()) {
    Ref<Object> object = std::move(pending.back());
    pending.pop_back();
  }
  gathered = nullptr;
}

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
