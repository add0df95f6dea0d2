// Text changes from a worker thread: carried out on the user-interface thread while the worker
// waits, safe against widgets being re-created under the same number, and never holding up the
// shutdown.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/win32/layer_test_support.h"

namespace qx::test {
namespace {

using WorkerTextTest = LayerTest;

// Waits for a thread while the user-interface thread keeps serving messages (a plain join would
// keep the worker waiting for us, and us for it).
void JoinPumping(std::thread& thread, std::atomic<bool>& finished) {
  EXPECT_TRUE(PumpUntil([&] { return finished.load(); }, 30000)) << "the worker never finished";
  thread.join();
}

TEST_F(WorkerTextTest, WorkerChangesAreMadeOnTheUiThreadAndRaiseNoEvent) {
  OpenWindow(0);
  ASSERT_NE(NewStringField(9, 10, 10, 140, 40, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  ASSERT_NE(NewText(101, 10, 60, 55, 20, "OFF", 0x20801), kNoObject);
  ASSERT_EQ(AddTrayIcon(1, NativeWindowHandle(0), LoadProgramTrayIcon()), 1);
  DrainEvents();

  std::atomic<bool> finished{false};
  std::string seen_by_worker = "unset";
  std::thread worker([&] {
    SetText(9,
            "21.5 \xB0"
            "C");
    SetText(101, "21.5");
    SetTrayToolTip(1,
                   "21.5 \xB0"
                   "C");
    seen_by_worker = GetText(9);  // not a worker call: it finds nothing on this thread
    finished = true;
    PostThreadMessageW(0, 0, 0, 0);
  });
  // The worker's requests are served inside the event wait, and they come out of it as nothing.
  std::vector<Event> events;
  while (!finished) {
    const auto more = DrainEvents();
    events.insert(events.end(), more.begin(), more.end());
    if (!finished) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  worker.join();
  EXPECT_EQ(GetText(9),
            "21.5 \xB0"
            "C");
  EXPECT_EQ(GetText(101), "21.5");
  EXPECT_EQ(GetTrayToolTip(1),
            "21.5 \xB0"
            "C");
  EXPECT_EQ(seen_by_worker, "");
  EXPECT_TRUE(OfCode(events, GadgetEvent).empty());
}

// Runs `call` on a worker while this, the user-interface thread, looks at no message: whether it
// returned meanwhile, which only a call that needs no round trip can. It is served afterwards.
bool ReturnsWithoutTheUiThread(const std::function<void()>& call, bool expected) {
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    call();
    finished = true;
  });
  // A call expected to return gets all the time it needs; one expected to wait, a moment to fail.
  const ULONGLONG deadline = GetTickCount64() + (expected ? 10000 : 300);
  while (!finished && GetTickCount64() < deadline) Sleep(5);
  const bool returned = finished.load();
  JoinPumping(worker, finished);
  return returned;
}

// A worker's text that its place shows already is dropped without a round trip; what counts is
// what the place shows now, not what the worker sent last.
TEST_F(WorkerTextTest, TextAPlaceShowsAlreadyIsNotSentToTheUiThread) {
  OpenWindow(0);
  ASSERT_NE(NewStringField(9, 10, 10, 140, 40, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  ASSERT_NE(NewText(101, 10, 60, 55, 20, "OFF", 0x20801), kNoObject);
  ASSERT_NE(NewStringField(5, 10, 90, 140, 20, "name"), kNoObject);
  ASSERT_EQ(AddTrayIcon(1, NativeWindowHandle(0), LoadProgramTrayIcon()), 1);
  auto open_thermometer = [] {
    ASSERT_EQ(NewWindow(1, 0, 0, 108, 38, "Thermometer", 0x10CA0001), 1);
    ASSERT_NE(NewStringField(103, 3, 3, 105, 32, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  };
  open_thermometer();
  const std::string reading = "21.5 \xB0" "C";
  SetText(9, reading);  // as the reader's first display leaves them
  SetText(101, reading);
  SetTrayToolTip(1, reading);
  SetText(103, reading);

  struct Case {
    const char* what;
    std::function<void()> before;  // on this thread
    std::function<void()> call;    // on the worker
    bool round_trip;
    std::function<std::string()> shown;
    std::string expected;
  };
  const Case cases[] = {
      {"same text, field", {}, [&] { SetText(9, reading); }, false, [] { return GetText(9); }, reading},
      {"same text, label", {}, [&] { SetText(101, reading); }, false, [] { return GetText(101); }, reading},
      {"same tooltip", {}, [&] { SetTrayToolTip(1, reading); }, false, [] { return GetTrayToolTip(1); }, reading},
      {"same text, thermometer", {}, [&] { SetText(103, reading); }, false, [] { return GetText(103); }, reading},
      {"a new reading", {}, [] { SetText(9, "21.6"); }, true, [] { return GetText(9); }, "21.6"},
      {"the reading after an OFF", [] { SetText(9, "OFF"); }, [] { SetText(9, "21.6"); }, true,
       [] { return GetText(9); }, "21.6"},
      {"the tooltip after an OFF", [] { SetTrayToolTip(1, "OFF"); }, [&] { SetTrayToolTip(1, reading); }, true,
       [] { return GetTrayToolTip(1); }, reading},
      {"a re-created thermometer", open_thermometer, [&] { SetText(103, reading); }, true,
       [] { return GetText(103); }, reading},
      {"a field the user typed into",
       [] {
         const HWND field = ControlOf(NativeWindowHandle(0), 5);
         SendMessageW(field, EM_SETSEL, 4, 4);
         SendMessageW(field, WM_CHAR, L'x', 0);
         EXPECT_EQ(GetText(5), "namex");
       },
       [] { SetText(5, "name"); }, true, [] { return GetText(5); }, "name"},
      {"no such widget", {}, [] { SetText(104, "21.6"); }, false, [] { return GetText(104); }, ""},
  };
  for (const Case& c : cases) {
    if (c.before) c.before();
    EXPECT_EQ(ReturnsWithoutTheUiThread(c.call, !c.round_trip), !c.round_trip) << c.what;
    EXPECT_EQ(c.shown(), c.expected) << c.what;
  }
}

TEST_F(WorkerTextTest, WidgetReCreatedWhileAWorkerWritesIsNeverTouchedAfterItIsGone) {
  OpenWindow(0);
  ASSERT_EQ(AddTrayIcon(1, NativeWindowHandle(0), LoadProgramTrayIcon()), 1);
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::atomic<int> writes{0};
  std::thread worker([&] {
    while (!stop) {
      const int n = writes.fetch_add(1);
      SetText(103, std::to_string(n));
      if (n % 16 == 0) SetTrayToolTip(1, std::to_string(n));  // the shell is slow to answer
    }
    finished = true;
  });
  int rounds_with_worker_text = 0;
  for (int round = 0; round < 150; ++round) {
    // Window 1 and its widget 103 are replaced, as a second "Thermometer" choice does.
    ASSERT_EQ(NewWindow(1, 0, 0, 108, 38, "Thermometer", 0x10CA0001), 1);
    ASSERT_NE(NewStringField(103, 3, 3, 105, 32, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
    const int before = writes.load();
    PumpUntil([&] { return writes.load() >= before + 3; }, 5000);
    const std::string text = GetText(103);
    if (text != "OFF") {
      ++rounds_with_worker_text;
      EXPECT_FALSE(text.empty());
      EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << text;
    }
    if (round % 7 == 0) NewWindow(1, 0, 0, 10, 10, "gone", kWindowHidden | kWindowNoWidgetList);
  }
  stop = true;
  JoinPumping(worker, finished);
  EXPECT_GT(writes.load(), 300);
  EXPECT_GT(rounds_with_worker_text, 100) << "the writes reached the new widgets";
}

TEST_F(WorkerTextTest, ShutdownReleasesAWaitingWorkerAndLaterCallsReturnAtOnce) {
  OpenWindow(0);
  ASSERT_NE(NewStringField(9, 10, 10, 140, 40, "OFF"), kNoObject);
  std::atomic<bool> started{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    started = true;
    SetText(9, "waiting");  // the user-interface thread does not look at its messages now
    returned = true;
  });
  while (!started) Sleep(1);
  Sleep(100);
  EXPECT_FALSE(returned) << "the worker waits for the user-interface thread";
  ShutdownWindowLayer();  // must not wait for the worker, and must let it go
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (!returned && GetTickCount64() < deadline) Sleep(5);
  EXPECT_TRUE(returned);
  worker.join();

  std::atomic<bool> late_returned{false};
  std::thread late([&] {
    SetText(9, "late");
    SetTrayToolTip(1, "late");
    late_returned = true;
  });
  const ULONGLONG late_deadline = GetTickCount64() + 10000;
  while (!late_returned && GetTickCount64() < late_deadline) Sleep(5);
  EXPECT_TRUE(late_returned);
  late.join();
}

TEST_F(WorkerTextTest, ManyWorkersAtOnceAreAllServed) {
  OpenWindow(0);
  for (int i = 0; i < 4; ++i) ASSERT_NE(NewText(200 + i, 0, 20 * i, 80, 18, ""), kNoObject);
  std::atomic<int> done{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([i, &done] {
      for (int n = 0; n < 200; ++n) SetText(200 + i, std::to_string(n));
      ++done;
    });
  }
  EXPECT_TRUE(PumpUntil([&] { return done.load() == 4; }, 30000));
  for (auto& w : workers) w.join();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(GetText(200 + i), "199");
}

}  // namespace
}  // namespace qx::test
