#pragma once
// Reference-counted engine objects and the Ref<T> handle that holds them.
//
// Every engine object derives from Object and lives as long as some Ref points
// at it. An empty Ref is the null object: loaders and openers return it on
// failure, and using it as an object raises the run-time's null-object error.

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

[[noreturn]] void ThrowNullObjectError();

class Object {
 public:
  Object() = default;
  // A copied object starts with its own count of references.
  Object(const Object&) noexcept {}
  Object& operator=(const Object&) noexcept { return *this; }
  virtual ~Object() = default;

  void Retain() const noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void Release() const noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  int RefCount() const noexcept { return refs_.load(std::memory_order_relaxed); }

 private:
  mutable std::atomic<int> refs_{0};
};

template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  explicit Ref(T* object) noexcept : p_(object) {
    if (p_) p_->Retain();
  }
  Ref(const Ref& other) noexcept : Ref(other.p_) {}
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> Ref(const Ref<U>& other)
  noexcept : Ref(other.Get()) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& other)
  noexcept : p_(other.Detach()) {}
  ~Ref() {
    if (p_) p_->Release();
  }

  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* operator->() const {
    if (!p_) ThrowNullObjectError();
    return p_;
  }
  T& operator*() const { return *operator->(); }
  T* Get() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Hands the reference over to the caller without releasing it.
  T* Detach() noexcept { return std::exchange(p_, nullptr); }

  template <class U>
  bool operator==(const Ref<U>& other) const noexcept {
    return p_ == other.Get();
  }
  bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Makes a new object; the only way engine code creates one.
template <class T, class... Args>
Ref<T> New(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

// The object as a T, or the null object when it is not one.
template <class T, class U>
Ref<T> Cast(const Ref<U>& object) noexcept {
  return Ref<T>(dynamic_cast<T*>(object.Get()));
}
