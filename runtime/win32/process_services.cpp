// Worker threads, the program's own path, and the release of the whole layer at program end.

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "runtime/platform/lock.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/preferences.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"

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

std::wstring ProgramFileWidePath() {
  // The call gives no length up front: it cuts the path to the buffer and says so only by
  // filling the buffer to the end.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
  auto trim = [](std::wstring_view path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.remove_suffix(1);
    return path;
  };
  a = trim(a);
  b = trim(b);
  if (a.empty() || b.empty()) return false;
  // The file system's own rule for letter case, which is not the user's language's.
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::string ProgramFilePath() {
  const std::wstring path = ProgramFileWidePath();
  if (path.empty() || path.size() >= MAX_PATH) return {};
  return NarrowText(path);
}

namespace {

// A folder the system reports by filling a buffer, in its long form so that "C:\PROGRA~1" and
// "C:\Program Files" compare equal; empty if the system has none.
template <typename Query>
std::wstring SystemFolder(Query query) {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = query(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  wchar_t long_form[MAX_PATH] = {};
  const DWORD long_length = GetLongPathNameW(buffer, long_form, MAX_PATH);
  if (long_length == 0 || long_length >= MAX_PATH) return std::wstring(buffer, length);
  return std::wstring(long_form, long_length);
}

}  // namespace

bool LeaveSystemWorkingFolder() {
  const std::wstring working = SystemFolder([](wchar_t* b, UINT n) { return GetCurrentDirectoryW(n, b); });
  if (working.empty()) return false;
  // SysWOW64 too: the program is 64-bit, but a 32-bit launcher may hand on its own system folder
  // as it sees it, and no user keeps a file there either.
  const std::wstring system_folders[] = {
      SystemFolder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); }),
      SystemFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }),
      SystemFolder([](wchar_t* b, UINT n) { return GetSystemWow64DirectoryW(b, n); }),
  };
  bool in_system_folder = false;
  for (const std::wstring& folder : system_folders) in_system_folder = in_system_folder || SamePath(working, folder);
  if (!in_system_folder) return false;
  std::wstring program = ProgramFileWidePath();
  const std::size_t slash = program.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  program.resize(slash + 1);
  return SetCurrentDirectoryW(program.c_str()) != FALSE;
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
