#include "runtime/platform/lock.h"

#include <windows.h>

namespace qx {

namespace {

static_assert(sizeof(SRWLOCK) <= 64 && sizeof(CONDITION_VARIABLE) <= 64);

SRWLOCK* Native(unsigned char* storage) {
  return reinterpret_cast<SRWLOCK*>(storage);
}

}  // namespace

Lock::Lock() {
  InitializeSRWLock(Native(native_));
}

Lock::~Lock() = default;

void Lock::lock() {
  AcquireSRWLockExclusive(Native(native_));
}

void Lock::unlock() {
  ReleaseSRWLockExclusive(Native(native_));
}

Condition::Condition() {
  InitializeConditionVariable(reinterpret_cast<CONDITION_VARIABLE*>(native_));
}

Condition::~Condition() = default;

void Condition::WaitOnce(Lock& lock) {
  SleepConditionVariableSRW(reinterpret_cast<CONDITION_VARIABLE*>(native_), Native(lock.native_), INFINITE, 0);
}

void Condition::WaitOnceFor(Lock& lock, std::uint32_t timeout_ms) {
  SleepConditionVariableSRW(reinterpret_cast<CONDITION_VARIABLE*>(native_), Native(lock.native_), timeout_ms, 0);
}

void Condition::NotifyAll() {
  WakeAllConditionVariable(reinterpret_cast<CONDITION_VARIABLE*>(native_));
}

}  // namespace qx
