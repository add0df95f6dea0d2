// The console channel's server.
//
// Threads: one listener keeps an instance of the pipe waiting for a client (an overlapped
// ConnectNamedPipe, so it sleeps in a wait until a client comes or the server stops: nothing runs
// while nobody calls). Each client it accepts gets a thread of its own, which reads one request
// line, has it carried out and writes the reply; so a client that connects and says nothing holds
// up only its own thread, and is dropped after 2 s. At most kMaxClients are served at once; the
// next waits, connected, until one is done, and the rest in the pipe's queue.
//
// The listener's instance is never closed before its successor exists: the name lives as long as
// one instance of it is open, and a name that lapses, even between two of our instances, may be
// made anew by another account, whose security descriptor our next instance would then join.
//
// The user-interface thread: a client's thread queues the request and posts a message to a
// message-only window of ours. The user-interface thread takes that message from its queue like a
// timer tick -- in the event loop's wait, or in the modal loop of an open message box or popup
// menu -- never in the middle of another timer procedure or the dispatch, and runs the handler
// there. The client's thread waits for the outcome at most kCommandWaitMs; a request it gave up
// on is not run later.
//
// Safety: the pipe's DACL grants the current user alone, and its owner is that user (which the
// companion checks); remote clients are rejected; the first instance is made with
// FILE_FLAG_FIRST_PIPE_INSTANCE, so if anyone holds the name already we serve nothing rather than
// share a name with them. Before a request is read, its client's process must run as our user (the
// DACL is the system's check; this one holds even if the pipe ever was not ours): the system lets
// a server act as its client only once data has been read, so the client's token is looked at.

#include "control/pipe_server.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "control/peer_check.h"
#include "control/pipe_server_seam.h"
#include "control/pipe_transfer.h"
#include "control/process_identity.h"
#include "runtime/platform/lock.h"
#include "runtime/win32/unique_handles.h"

namespace qx {
namespace {

constexpr wchar_t kWindowClass[] = L"QuellarotixControl";
constexpr UINT kMsgRunCommands = WM_APP + 0x180;
constexpr LONG kMaxClients = 8;
constexpr DWORD kPipeBuffer = 4096;
constexpr DWORD kReplyWriteMs = 2000;
constexpr DWORD kStopWaitMs = 2000;

// A request on its way to the user-interface thread. It lives on its client's thread, which does
// not return before the job is out of the queue and, if it was taken, finished.
struct Job {
  Request request;
  Reply reply;
  bool done = false;  // guarded by the server's lock
  UniqueHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// What the user-interface thread and the pipe threads share. It lives until the process ends: a
// client's thread may still be finishing when the server has been stopped.
struct Server {
  CommandHandler handler;
  HWND window = nullptr;
  std::wstring pipe_name;
  SidBytes user;               // the user this process runs as, the pipe's owner
  std::vector<BYTE> security;  // the security descriptor and its DACL, in one block
  SECURITY_ATTRIBUTES attributes{};
  UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle client_slots{CreateSemaphoreW(nullptr, kMaxClients, kMaxClients, nullptr)};
  UniqueHandle listener;
  // Set while no reply that has been decided is still being written.
  UniqueHandle replies_out{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
  std::atomic<int> replies_pending{0};

  Lock lock;
  std::vector<Job*> queue;    // guarded by lock; oldest first
  bool accepting = true;      // guarded by lock
  bool running_jobs = false;  // user-interface thread only
};

Server* g_server = nullptr;
std::atomic<bool> g_listener_wait_fails{false};

// A reply has been decided and must go out before the server lets the process end; counted by
// whoever decides it, under the lock or before the client's thread could be waited for.
void ReplyDecided(Server& server) {
  if (server.replies_pending.fetch_add(1) == 0) ResetEvent(server.replies_out.get());
}

void ReplySent(Server& server) {
  if (server.replies_pending.fetch_sub(1) == 1) SetEvent(server.replies_out.get());
}

HANDLE Valid(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// A security descriptor owned by the user this process runs as, whose DACL has one entry: full
// access for that user. The default DACL of a pipe would let Everyone read it; the default owner
// of a program started elevated would be the administrators, which the companion cannot tell from
// anyone else.
bool MakeUserOnlySecurity(Server& server) {
  server.user = ProcessUser(GetCurrentProcess());
  if (server.user.empty()) return false;
  PSID sid = server.user.data();
  const DWORD acl_size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
  server.security.assign(sizeof(SECURITY_DESCRIPTOR) + acl_size + 8, 0);
  auto* descriptor = reinterpret_cast<SECURITY_DESCRIPTOR*>(server.security.data());
  auto* acl = reinterpret_cast<ACL*>(server.security.data() + ((sizeof(SECURITY_DESCRIPTOR) + 7) & ~std::size_t{7}));
  if (!InitializeAcl(acl, acl_size, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
      !InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorOwner(descriptor, sid, FALSE) || !SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE)) {
    return false;
  }
  server.attributes = {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
  return true;
}

HANDLE NewInstance(Server& server, bool first) {
  const DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
  return Valid(CreateNamedPipeW(server.pipe_name.c_str(), open_mode,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, &server.attributes));
}

// Reads up to the line feed. Returns false for a client that sends nothing in time or goes away
// before its line is whole; a line too long to be a request comes back cut just past the limit.
bool ReadRequestLine(Server& server, HANDLE pipe, HANDLE event, std::string& line) {
  const ULONGLONG deadline = GetTickCount64() + kRequestLineWaitMs;
  char buffer[512];
  while (line.find('\n') == std::string::npos) {
    if (line.size() > kMaxRequestBytes + 1) return true;
    DWORD got = 0;
    if (!PipeTransfer(pipe, event, server.stop.get(), false, buffer, sizeof buffer, got, deadline)) return false;
    line.append(buffer, got);
  }
  line.resize(line.find('\n') + 1);
  return true;
}

Reply RunOnUserInterfaceThread(Server& server, const Request& request) {
  Job job;
  job.request = request;
  {
    std::lock_guard guard(server.lock);
    if (!job.finished || !server.accepting) {
      ReplyDecided(server);
      return {kExitNotRunning, "Quellarotix is ending\n"};
    }
    server.queue.push_back(&job);
  }
  const bool posted = PostMessageW(server.window, kMsgRunCommands, 0, 0) != FALSE;
  if (posted) WaitForSingleObject(job.finished.get(), kCommandWaitMs);
  {
    std::lock_guard guard(server.lock);
    if (job.done) return job.reply;
    // Not taken in time: withdrawn, never to be run.
    const auto queued = std::find(server.queue.begin(), server.queue.end(), &job);
    if (queued != server.queue.end()) {
      server.queue.erase(queued);
      ReplyDecided(server);
      return {kExitNoAnswer, "Quellarotix did not answer in time\n"};
    }
  }
  // Taken, and being carried out now: that is quick, and its outcome is the reply.
  WaitForSingleObject(job.finished.get(), INFINITE);
  std::lock_guard guard(server.lock);
  return job.reply;
}

bool IsClientOfOurUser(const Server& server, HANDLE pipe) {
  ULONG client = 0;
  if (!GetNamedPipeClientProcessId(pipe, &client)) return false;
  const UniqueHandle process = OpenProcessToQuery(client);
  return process && IsSameUser(server.user, ProcessUser(process.get()));
}

void ServeClient(Server& server, HANDLE pipe) {
  // A client of another user (or one whose user cannot be told) is let go unanswered, before a
  // byte of its is read.
  if (!IsClientOfOurUser(server, pipe)) return;
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::string line;
  if (!event || !ReadRequestLine(server, pipe, event.get(), line)) return;
  const ParsedRequest parsed = ParseRequestLine(line);
  Reply reply;
  if (parsed.request) {
    reply = RunOnUserInterfaceThread(server, *parsed.request);
  } else {
    ReplyDecided(server);
    reply = {kExitBadRequest, parsed.error + "\n"};
  }
  std::string bytes = FormatReply(reply);
  DWORD written = 0;
  // A write is not stopped by the server's stop: that is when a `quit` is answered.
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.get();
  BOOL ok = WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped);
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    if (WaitForSingleObject(event.get(), kReplyWriteMs) != WAIT_OBJECT_0) CancelIo(pipe);
    ok = GetOverlappedResult(pipe, &overlapped, &written, TRUE);
  }
  ReplySent(server);
  if (!ok) return;
  // The reply stays readable until the client has it: we close our end once it closes its own
  // (or has had its time; whatever else it sends meanwhile is dropped unread).
  const ULONGLONG deadline = GetTickCount64() + kReplyWriteMs;
  char rest[64];
  DWORD got = 0;
  while (PipeTransfer(pipe, event.get(), server.stop.get(), false, rest, sizeof rest, got, deadline)) {
  }
}

DWORD WINAPI ServeClientThread(LPVOID parameter) {
  UniqueHandle pipe(static_cast<HANDLE>(parameter));
  ServeClient(*g_server, pipe.get());
  ReleaseSemaphore(g_server->client_slots.get(), 1, nullptr);
  return 0;
}

// Waits for a client on `pipe`; true once one is connected, false if the server stopped or the
// instance failed.
bool AwaitClient(Server& server, HANDLE pipe, HANDLE event) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;
  if (ConnectNamedPipe(pipe, &overlapped)) return !g_listener_wait_fails.load();
  const DWORD error = GetLastError();
  if (error == ERROR_PIPE_CONNECTED) return !g_listener_wait_fails.load();
  if (error != ERROR_IO_PENDING) return false;
  const HANDLE events[2] = {event, server.stop.get()};
  if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
    CancelIo(pipe);
    DWORD ignored = 0;
    (void)GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
    return false;
  }
  DWORD ignored = 0;
  return GetOverlappedResult(pipe, &overlapped, &ignored, FALSE) && !g_listener_wait_fails.load();
}

// Puts a fresh instance in the place of `pipe`, which is closed only then. If the system refuses
// one, `pipe` is disconnected and listens again instead; false then.
bool ReplaceInstance(Server& server, UniqueHandle& pipe) {
  UniqueHandle next(NewInstance(server, false));
  if (!next) {
    (void)DisconnectNamedPipe(pipe.get());
    return false;
  }
  pipe = std::move(next);
  return true;
}

DWORD WINAPI ListenerThread(LPVOID parameter) {
  Server& server = *g_server;
  UniqueHandle pipe(static_cast<HANDLE>(parameter));
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) return 0;
  const HANDLE slot_or_stop[2] = {server.client_slots.get(), server.stop.get()};
  for (;;) {
    if (!AwaitClient(server, pipe.get(), event.get())) {
      if (WaitForSingleObject(server.stop.get(), 0) == WAIT_OBJECT_0) return 0;
      // Its client left before it was taken, or the instance broke. Without a new instance (out
      // of resources) the old one is tried again a little later.
      if (!ReplaceInstance(server, pipe) && WaitForSingleObject(server.stop.get(), 1000) == WAIT_OBJECT_0) return 0;
      continue;
    }
    // Only once a client's thread is free: a flood waits in the pipe's queue.
    if (WaitForMultipleObjects(2, slot_or_stop, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
    UniqueHandle next(NewInstance(server, false));
    if (!next) {
      // Out of resources: this client is served here, and its instance then listens again.
      ServeClient(server, pipe.get());
      ReleaseSemaphore(server.client_slots.get(), 1, nullptr);
      (void)DisconnectNamedPipe(pipe.get());
      continue;
    }
    const HANDLE client = pipe.release();
    pipe = std::move(next);
    if (!CloseHandle(
            CreateThread(nullptr, 64 * 1024, ServeClientThread, client, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr))) {
      CloseHandle(client);
      ReleaseSemaphore(server.client_slots.get(), 1, nullptr);
    }
  }
}

void RunQueuedCommands(Server& server) {
  // A handler that opened a modal loop of its own would bring us back here; the outer call goes
  // on taking the queue.
  if (server.running_jobs) return;
  server.running_jobs = true;
  for (;;) {
    Job* job = nullptr;
    {
      std::lock_guard guard(server.lock);
      if (server.queue.empty()) break;
      job = server.queue.front();
      server.queue.erase(server.queue.begin());
    }
    Reply reply = server.handler(job->request);
    // Under the lock, so the job's thread, which may look at it after its wait, never sees it
    // done before the event is set (and then frees it).
    std::lock_guard guard(server.lock);
    job->reply = std::move(reply);
    job->done = true;
    ReplyDecided(server);
    SetEvent(job->finished.get());
  }
  server.running_jobs = false;
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kMsgRunCommands && g_server) {
    RunQueuedCommands(*g_server);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

bool StartControlServer(const std::wstring& pipe_name, CommandHandler handler) {
  if (g_server || !handler) return false;
  auto server = std::make_unique<Server>();
  server->handler = handler;
  server->pipe_name = pipe_name;
  if (!server->stop || !server->client_slots || !server->replies_out || !MakeUserOnlySecurity(*server)) return false;
  // The first instance is made here, so that a name someone else holds is known at once. The flag
  // FILE_FLAG_FIRST_PIPE_INSTANCE settles it on Windows; some emulations of the platform ignore
  // it, so a name that answers already is refused before that as well.
  if (WaitNamedPipeW(server->pipe_name.c_str(), 1) || GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  UniqueHandle first(NewInstance(*server, true));
  if (!first) return false;

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = ControlWindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kWindowClass;
  (void)RegisterClassExW(&window_class);  // already registered by an earlier start is as good
  server->window =
      CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
  if (!server->window) return false;
  g_server = server.release();
  g_server->listener.reset(
      CreateThread(nullptr, 64 * 1024, ListenerThread, first.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!g_server->listener) {
    DestroyWindow(g_server->window);
    g_server->window = nullptr;
    return false;  // g_server stays, refusing everything: a later start would need a new name anyway
  }
  (void)first.release();  // the listener's now
  return true;
}

void SetListenerWaitFails(bool fails) {
  g_listener_wait_fails.store(fails);
}

void StopControlServer() {
  Server* server = g_server;
  if (!server || !server->window) return;
  {
    std::lock_guard guard(server->lock);
    server->accepting = false;
    for (Job* job : server->queue) {
      job->reply = {kExitNotRunning, "Quellarotix is ending\n"};
      job->done = true;
      ReplyDecided(*server);
      SetEvent(job->finished.get());
    }
    server->queue.clear();
  }
  SetEvent(server->stop.get());
  const HANDLE waits[2] = {server->listener.get(), server->replies_out.get()};
  (void)WaitForMultipleObjects(2, waits, TRUE, kStopWaitMs);
  DestroyWindow(server->window);
  server->window = nullptr;
}

}  // namespace qx
