#pragma once
// TList: a doubly linked list of objects.

#include <functional>
#include <iterator>
#include <list>

#include "runtime/serializable.h"

class TList : public TSerializable {
  using Links = std::list<Ref<Object>>;

 public:
  // The name of the list's data type; the data stream module registers it.
  static const char* const TYPE_NAME;

  // Walks the elements from first to last. The element being visited may be
  // removed from the list; other removals during a walk are not allowed.
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Ref<Object>;
    using difference_type = std::ptrdiff_t;
    using pointer = const Ref<Object>*;
    using reference = const Ref<Object>&;

    Iterator() = default;
    Iterator(Links::iterator at, Links::iterator end)
        : at_(at), next_(at == end ? end : std::next(at)), end_(end) {}
    const Ref<Object>& operator*() const { return *at_; }
    const Ref<Object>* operator->() const { return &*at_; }
    Iterator& operator++() {
      at_ = next_;
      if (next_ != end_) ++next_;
      return *this;
    }
    void operator++(int) { ++*this; }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    Links::iterator at_, next_, end_;
  };

  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  ~TList() override;

  static Ref<TList> Create();

  void AddLast(Ref<Object> object) { links_.push_back(std::move(object)); }
  void AddFirst(Ref<Object> object) { links_.push_front(std::move(object)); }
  // Removes the first element that is this very object; false if there is none.
  bool Remove(const Ref<Object>& object);
  // Removes every element for which the test holds.
  void RemoveIf(const std::function<bool(const Ref<Object>&)>& test) { links_.remove_if(test); }
  bool Contains(const Ref<Object>& object) const;
  void Clear() { links_.clear(); }
  // Reverses the order of the elements in place.
  void Reverse() { links_.reverse(); }

  int Count() const { return static_cast<int>(links_.size()); }
  bool IsEmpty() const { return links_.empty(); }
  // The first or last element, or the null object when the list is empty.
  Ref<Object> First() const { return IsEmpty() ? nullptr : links_.front(); }
  Ref<Object> Last() const { return IsEmpty() ? nullptr : links_.back(); }

  Iterator begin() { return Iterator(links_.begin(), links_.end()); }
  Iterator end() { return Iterator(links_.end(), links_.end()); }

  TDataType* DataType() const override;

 private:
  Links links_;
};

inline Ref<TList> CreateList() { return TList::Create(); }
