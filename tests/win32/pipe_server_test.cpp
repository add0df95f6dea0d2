// The console channel's server in this process, against clients that come and go: its pipe's name
// must never lapse while it serves, since whoever makes the name anew decides who may use it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "control/pipe_server.h"
#include "control/pipe_server_seam.h"
#include "control/reply.h"

namespace qx {
namespace {

const std::wstring kName = L"\\\\.\\pipe\\Quellarotix-server-test-" + std::to_wstring(GetCurrentProcessId());

Reply Answer(const Request&) {
  return {kExitDone, "served\n"};
}

HANDLE OpenPipe() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const HANDLE pipe = CreateFileW(kName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) return pipe;
    WaitNamedPipeW(kName.c_str(), 100);
  }
  return INVALID_HANDLE_VALUE;
}

std::optional<Reply> Ask(const std::string& line) {
  const HANDLE pipe = OpenPipe();
  if (pipe == INVALID_HANDLE_VALUE) return std::nullopt;
  DWORD done = 0;
  WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
  std::string reply;
  char buffer[256];
  while (!ParseReply(reply) && ReadFile(pipe, buffer, sizeof buffer, &done, nullptr) && done > 0)
    reply.append(buffer, done);
  CloseHandle(pipe);
  return ParseReply(reply);
}

// Runs `work` on a thread of its own while this thread, the server's user-interface thread, takes
// its messages, as the program's loop does.
void WhileServing(const std::function<void()>& work) {
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    work();
    finished = true;
  });
  while (!finished) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  worker.join();
}

// A watcher asks for the name all along (WaitNamedPipeW tells "no such pipe" apart from "all
// instances busy") while clients come and go: first every wait of the listener fails after its
// client came, so it replaces its instance each time; then clients are served as usual, each
// thread ending as soon as its client has gone.
TEST(PipeServer, TheNameNeverLapsesWhileClientsComeAndGo) {
  ASSERT_TRUE(StartControlServer(kName, Answer));
  std::atomic<bool> watching{true};
  std::atomic<int> lapses{0};
  std::atomic<int> looks{0};
  std::thread watcher([&] {
    while (watching) {
      if (!WaitNamedPipeW(kName.c_str(), 1) && GetLastError() == ERROR_FILE_NOT_FOUND) ++lapses;
      ++looks;
    }
  });

  SetListenerWaitFails(true);
  int dropped = 0;
  WhileServing([&] {
    for (int client = 0; client < 300; ++client) {
      const HANDLE pipe = OpenPipe();
      if (pipe == INVALID_HANDLE_VALUE) continue;
      char byte = 0;
      DWORD got = 0;
      // Let go unserved: the listener's wait for it failed.
      if (!ReadFile(pipe, &byte, 1, &got, nullptr)) ++dropped;
      CloseHandle(pipe);
    }
  });
  EXPECT_EQ(dropped, 300);
  SetListenerWaitFails(false);

  int answered = 0;
  WhileServing([&] {
    for (int client = 0; client < 100; ++client) {
      const std::optional<Reply> reply = Ask("QX/1 status\n");
      if (reply && *reply == Reply{kExitDone, "served\n"}) ++answered;
    }
  });
  EXPECT_EQ(answered, 100);
  watching = false;
  watcher.join();
  std::printf("the watcher looked %d times\n", looks.load());
  EXPECT_EQ(lapses, 0) << "the name lapsed while the server ran";
  StopControlServer();
}

}  // namespace
}  // namespace qx
