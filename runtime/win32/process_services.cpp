// Worker threads, the program's own path, and the release of the whole layer at program end.

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "runtime/platform/lock.h"
#include "runtime/preferences.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"
#include "runtime/platform/text_encoding.h"

namespace qx {

namespace {

struct ThreadStart {
  std::function<void(int)> procedure;
  int parameter;
};

Lock g_threads_lock;
std::vector<UniqueHandle> g_threads;  // guarded by g_threads_lock

DWORD WINAPI RunThread(LPVOID context) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(context));
  start->procedure(start->parameter);
  return 0;
}

}  // namespace

int StartThread(std::function<void(int)> procedure, int parameter) {
  if (!procedure) return 0;
  auto start = std::make_unique<ThreadStart>(ThreadStart{std::move(procedure), parameter});
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, RunThread, start.get(), 0, &id);
  if (!thread) return 0;
  start.release();  // the thread owns it now
  std::lock_guard lock(g_threads_lock);
  std::erase_if(g_threads, [](const UniqueHandle& h) { return WaitForSingleObject(h.get(), 0) == WAIT_OBJECT_0; });
  g_threads.emplace_back(thread);
  return static_cast<int>(id);
}

std::string ProgramFilePath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return NarrowText(std::wstring_view(path, length));
}

void ShutdownWindowLayer() {
  LayerState* s = Layer();
  {
    // The threads go on running; only our handles to them are closed.
    std::lock_guard lock(g_threads_lock);
    g_threads.clear();
  }
  if (!s) return;
  // No worker may be left waiting on a thread that is about to stop serving it.
  CancelWorkerRequests();
  s->tray_icons.Clear();
  (void)ClosePreferenceFile();  // a file still open here has nobody left to tell
  ResetLayerState();
}

}  // namespace qx
