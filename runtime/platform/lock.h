#pragma once
// A plain lock between threads (for std::lock_guard) and a condition to wait for under it. On
// Windows they are the platform's own slim lock and condition variable, which cannot fail: the
// standard library's mutex and condition variable report errors by throwing, and that error path
// alone brings several kilobytes of the library into the program. Neither is recursive.

#include <cstdint>

namespace qx {

class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock();
  void unlock();

 private:
  friend class Condition;
  // The platform's lock lives here (a pointer's worth on Windows, a POSIX mutex elsewhere).
  alignas(8) unsigned char native_[64];
};

class Condition {
 public:
  Condition();
  ~Condition();
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;

  // Waits, with `lock` held by the caller, until `done()` holds; the lock is let go meanwhile.
  template <typename Predicate>
  void Wait(Lock& lock, Predicate done) {
    while (!done()) WaitOnce(lock);
  }
  // One wait of at most `timeout_ms`, with `lock` held by the caller: it ends early on a
  // notification (or, now and then, for no reason), so the caller looks again at what it awaits.
  void WaitOnceFor(Lock& lock, std::uint32_t timeout_ms);
  void NotifyAll();

 private:
  void WaitOnce(Lock& lock);
  alignas(8) unsigned char native_[64];
};

}  // namespace qx
