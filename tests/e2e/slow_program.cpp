// Stands in for a Quellarotix.exe that is slow to take a command, or to answer one, as the console
// companion sees it from outside: its main window and its pipe, of this user, by that file name
// (the test copies this program as Quellarotix.exe).
//
//   slow_program ACCEPT_MS ANSWER_MS
//
// With ACCEPT_MS above 0 the pipe's one instance is held by a client of its own, so a companion
// finds the pipe busy until a second instance comes ACCEPT_MS later. A request read, the answer
// (exit 0, "slow\n") goes ANSWER_MS later; with ANSWER_MS below 0, never.
#include <windows.h>

#include <cstdlib>

#include "control/pipe_name.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const int accept_ms = _wtoi(argv[1]);
  const int answer_ms = _wtoi(argv[2]);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = L"QuellarotixWindow";
  RegisterClassW(&window_class);
  CreateWindowW(L"QuellarotixWindow", L"USB Quellarotix", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);

  const std::wstring name = qx::ControlPipeName();
  auto instance = [&] {
    return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                            4096, 4096, 0, nullptr);
  };
  HANDLE pipe = instance();
  if (pipe == INVALID_HANDLE_VALUE) return 1;
  if (accept_ms > 0) {
    if (CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
        INVALID_HANDLE_VALUE) {
      return 1;
    }
    Sleep(static_cast<DWORD>(accept_ms));
    pipe = instance();
  }
  if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return 1;
  char buffer[4096];
  DWORD done = 0;
  if (!ReadFile(pipe, buffer, sizeof buffer, &done, nullptr)) return 1;
  if (answer_ms < 0) Sleep(INFINITE);
  Sleep(static_cast<DWORD>(answer_ms));
  const char reply[] = "QX/1 0 5\nslow\n";
  WriteFile(pipe, reply, sizeof reply - 1, &done, nullptr);
  // Until the companion has read it and gone.
  ReadFile(pipe, buffer, sizeof buffer, &done, nullptr);
  return 0;
}
