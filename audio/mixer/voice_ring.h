#pragma once
// A single-producer single-consumer ring of voice pointers: one thread only
// pushes, the other only pops, and neither waits. One slot stays empty so that
// a full ring is told apart from an empty one; a push to a full ring fails
// instead of overwriting an entry the reader has not taken yet.

#include <array>
#include <atomic>

template <class T>
class voicering {
 public:
  static constexpr int SIZE = 4096;

  bool push(T* item) {
    const int write = write_.load(std::memory_order_relaxed);
    const int next = (write + 1) % SIZE;
    if (next == read_.load(std::memory_order_acquire)) return false;
    slots_[write] = item;
    write_.store(next, std::memory_order_release);
    return true;
  }

  // The oldest entry, or null when the ring is empty.
  T* pop() {
    const int read = read_.load(std::memory_order_relaxed);
    if (read == write_.load(std::memory_order_acquire)) return nullptr;
    T* item = slots_[read];
    read_.store((read + 1) % SIZE, std::memory_order_release);
    return item;
  }

  // Entries a push can still add; exact only on the pushing thread.
  int space() const {
    const int used = write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    return SIZE - 1 - (used + SIZE) % SIZE;
  }

 private:
  std::array<T*, SIZE> slots_{};
  std::atomic<int> read_{0};
  std::atomic<int> write_{0};
};
