#pragma once
// Helpers every Windows test shares: files read and written whole, waiting on a condition while
// this thread's messages are handled, finding controls and windows as the platform sees them, and
// where the built program and the test's own folder are.

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace qx::test {

inline std::string Slurp(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Put(const std::filesystem::path& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Handles this thread's messages (the window layer's worker texts and timers need them) until
// `done` holds or the deadline passes.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

// The widget's control as the platform sees it: the layer gives each control its widget number
// as its identifier.
inline HWND ControlOf(HWND window, int number) {
  struct Search {
    int id;
    HWND found;
  } search{number, nullptr};
  EnumChildWindows(
      window,
      [](HWND hwnd, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        if (GetDlgCtrlID(hwnd) != s->id) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A top-level window of another process, by its title.
inline HWND TopLevelWindowOf(DWORD pid, const wchar_t* title) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, title)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) return window;
  }
  return nullptr;
}

inline std::filesystem::path ThisProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

// The build gives the program's path as the build machine sees it; under Wine that is drive Z:.
inline std::filesystem::path BuiltProgramAt(std::string path) {
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path) c = c == '/' ? '\\' : c;
  }
  return std::filesystem::path(path);
}

}  // namespace qx::test
