// The guard the compiler puts around a function's static local, on the platform's slim lock and
// condition variable. The C++ library's own guard waits through the POSIX thread layer, and that
// alone brings its threads, conditions and reader-writer locks into the file: some 25 KB that
// nothing else of the programs uses.
//
// Compiled into each executable itself, not into a library, so these come before the library's own.
// The guard is 64 bits; the compiler reads its first byte, inline, before calling here: nonzero
// means initialised. The second byte marks an initialisation under way on some thread.

#include <windows.h>

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_finished = CONDITION_VARIABLE_INIT;

unsigned char* Bytes(long long* guard) {
  return reinterpret_cast<unsigned char*>(guard);
}

// Ends an initialisation, done or given up, and wakes every thread waiting for one.
void Finish(long long* guard, bool done) {
  AcquireSRWLockExclusive(&g_lock);
  Bytes(guard)[1] = 0;
  if (done) __atomic_store_n(&Bytes(guard)[0], 1, __ATOMIC_RELEASE);
  ReleaseSRWLockExclusive(&g_lock);
  WakeAllConditionVariable(&g_finished);
}

}  // namespace

extern "C" {

// 1: the caller initialises the static now; 0: it is initialised already. A second thread waits
// here while the first initialises; a static initialised inside another's initialiser goes
// through, since the lock is not held meanwhile.
int __cxa_guard_acquire(long long* guard) {
  if (__atomic_load_n(&Bytes(guard)[0], __ATOMIC_ACQUIRE) != 0) return 0;
  AcquireSRWLockExclusive(&g_lock);
  int result = 0;
  for (;;) {
    if (Bytes(guard)[0] != 0) break;
    if (Bytes(guard)[1] == 0) {
      Bytes(guard)[1] = 1;
      result = 1;
      break;
    }
    SleepConditionVariableSRW(&g_finished, &g_lock, INFINITE, 0);
  }
  ReleaseSRWLockExclusive(&g_lock);
  return result;
}

void __cxa_guard_release(long long* guard) {
  Finish(guard, true);
}

// The initialiser threw: the next caller tries again.
void __cxa_guard_abort(long long* guard) {
  Finish(guard, false);
}

}  // extern "C"

// The C++ library's record, per thread, of the exceptions being thrown and caught (its
// __cxa_eh_globals). The library keeps it in a thread_local, which on this platform goes through
// the POSIX thread layer as well; here it lives in a slot of the platform's own thread storage,
// made at the first exception. Only a refused allocation is ever thrown, so a thread that never
// met one never gets a record; one that did keeps it (a few bytes) until the process ends.
namespace {

struct ExceptionGlobals {
  void* caught_exceptions;
  unsigned int uncaught_exceptions;
};

INIT_ONCE g_slot_once = INIT_ONCE_STATIC_INIT;
DWORD g_slot = TLS_OUT_OF_INDEXES;

BOOL CALLBACK MakeSlot(PINIT_ONCE, PVOID, PVOID*) {
  g_slot = TlsAlloc();
  return TRUE;
}

}  // namespace

extern "C" {

void* __cxa_get_globals() noexcept {
  const DWORD last_error = GetLastError();  // an exception in flight must not change it
  InitOnceExecuteOnce(&g_slot_once, MakeSlot, nullptr, nullptr);
  if (g_slot == TLS_OUT_OF_INDEXES) __builtin_trap();
  void* globals = TlsGetValue(g_slot);
  if (globals == nullptr) {
    globals = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ExceptionGlobals));
    if (globals == nullptr || !TlsSetValue(g_slot, globals)) __builtin_trap();
  }
  SetLastError(last_error);
  return globals;
}

void* __cxa_get_globals_fast() noexcept {
  return __cxa_get_globals();
}

}  // extern "C"
