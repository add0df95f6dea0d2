#include <pthread.h>
#include <time.h>

#include "runtime/platform/lock.h"

namespace qx {

namespace {

static_assert(sizeof(pthread_mutex_t) <= 64 && sizeof(pthread_cond_t) <= 64);

pthread_mutex_t* Native(unsigned char* storage) {
  return reinterpret_cast<pthread_mutex_t*>(storage);
}

}  // namespace

Lock::Lock() {
  pthread_mutex_init(Native(native_), nullptr);
}

Lock::~Lock() {
  pthread_mutex_destroy(Native(native_));
}

void Lock::lock() {
  pthread_mutex_lock(Native(native_));
}

void Lock::unlock() {
  pthread_mutex_unlock(Native(native_));
}

Condition::Condition() {
  pthread_cond_init(reinterpret_cast<pthread_cond_t*>(native_), nullptr);
}

Condition::~Condition() {
  pthread_cond_destroy(reinterpret_cast<pthread_cond_t*>(native_));
}

void Condition::WaitOnce(Lock& lock) {
  pthread_cond_wait(reinterpret_cast<pthread_cond_t*>(native_), Native(lock.native_));
}

void Condition::WaitOnceFor(Lock& lock, std::uint32_t timeout_ms) {
  timespec until{};
  clock_gettime(CLOCK_REALTIME, &until);
  until.tv_sec += static_cast<time_t>(timeout_ms / 1000);
  until.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  pthread_cond_timedwait(reinterpret_cast<pthread_cond_t*>(native_), Native(lock.native_), &until);
}

void Condition::NotifyAll() {
  pthread_cond_broadcast(reinterpret_cast<pthread_cond_t*>(native_));
}

}  // namespace qx
