// The programs' own guard for static locals and their per-thread exception record
// (runtime/win32/static_guards.cpp), linked into this test ahead of the C++ library's as into the
// programs: one initialisation however many threads race for it, the others waiting for it to end,
// a static set up inside another's initialiser, and exceptions thrown and caught on many threads
// at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

extern "C" int __cxa_guard_acquire(long long*);
extern "C" void __cxa_guard_release(long long*);
extern "C" void __cxa_guard_abort(long long*);

namespace {

std::atomic<int> g_initialisations{0};

int Inner() {
  static const int inner = [] {
    ++g_initialisations;
    return 7;
  }();
  return inner;
}

// Slow on purpose, so the other threads arrive while it runs; it sets up another static inside.
int Outer() {
  static const int outer = [] {
    Sleep(100);
    ++g_initialisations;
    return Inner() * 6;
  }();
  return outer;
}

TEST(StaticGuards, OneInitialisationWhileEveryOtherThreadWaitsForIt) {
  std::vector<int> seen(8, 0);
  std::vector<std::thread> threads;
  for (int& value : seen) threads.emplace_back([&value] { value = Outer(); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(g_initialisations.load(), 2);
  for (int value : seen) EXPECT_EQ(value, 42);
}

TEST(StaticGuards, AnAbandonedInitialisationIsTriedAgainAndWakesTheWaiting) {
  long long guard = 0;
  ASSERT_EQ(__cxa_guard_acquire(&guard), 1);
  std::atomic<int> waiter_got{-1};
  std::thread waiter([&] { waiter_got = __cxa_guard_acquire(&guard); });
  Sleep(100);
  EXPECT_EQ(waiter_got.load(), -1) << "the second thread did not wait";
  __cxa_guard_abort(&guard);  // the initialiser threw: the waiting thread takes its turn
  waiter.join();
  ASSERT_EQ(waiter_got.load(), 1);
  __cxa_guard_release(&guard);
  EXPECT_EQ(__cxa_guard_acquire(&guard), 0);
}

TEST(StaticGuards, ExceptionsAreThrownAndCaughtOnEveryThreadAtOnce) {
  std::atomic<int> caught{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&caught] {
      for (int i = 0; i < 200; ++i) {
        try {
          try {
            throw std::bad_alloc();
          } catch (const std::bad_alloc&) {
            throw;  // rethrown from inside the handler: the thread's record of caught ones
          }
        } catch (const std::bad_alloc&) {
          ++caught;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(caught.load(), 8 * 200);
}

}  // namespace
