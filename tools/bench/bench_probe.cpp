// The benchmark's probe, run under Wine by scripts/bench.
//
//   bench_probe start RUNS FOLDER PROGRAM.exe...
//       Starts each program in FOLDER in turn, RUNS times, and prints for each start the time from
//       CreateProcess until the shell knows its tray icon (NIM_MODIFY on icon 1 of one of its
//       windows succeeds); then closes it as a user would (WM_CLOSE to that window) and waits
//       for it to end. Prints "start NAME MEDIAN MIN MAX" per program.
//   bench_probe wall RUNS FOLDER COMMAND...
//       Runs each command line in FOLDER in turn, RUNS times, its output going to NUL, and prints
//       for each run the time from CreateProcess until the process has ended. Prints
//       "wall COMMAND MEDIAN MIN MAX" per command; fails if one ends with an exit code other than 0.
//   bench_probe presence N [ROUNDS]
//       Serves N HID interfaces (N-1 others, then the SwitchUnit) from vswitch.exe in a process
//       of its own, and prints the cost of one presence check of the program's presence monitor:
//       in steady state (and how many interfaces it opened; also when it is told of device
//       changes, as in the program, and so lists nothing), just after the list changed (the
//       SwitchUnit pulled out, plugged back in), and a full search without the remembered list.

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/hid_access.h"
#include "tools/vswitch/control.h"
#include "tools/vswitch/virtual_switch.h"

namespace {

double Milliseconds(long long ticks) {
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(qx::vswitch::PerformanceFrequency());
}

struct Summary {
  double median = 0, low = 0, high = 0;
};

Summary Summarise(std::vector<double> values) {
  if (values.empty()) return {};
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.front(), values.back()};
}

// --- start ----------------------------------------------------------------------------------

struct TrayProbe {
  DWORD pid;
  HWND found;
};

bool HasTrayIcon(HWND window) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof probe;
  probe.hWnd = window;
  probe.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

// The window of process `pid` that owns tray icon 1, or null.
HWND TrayWindowOf(DWORD pid) {
  TrayProbe probe{pid, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* p = reinterpret_cast<TrayProbe*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != p->pid || !HasTrayIcon(window)) return TRUE;
        p->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&probe));
  return probe.found;
}

// Milliseconds from CreateProcess to the tray icon, or a negative value on failure.
double TimeToTray(const std::wstring& folder, const std::wstring& program) {
  std::wstring command = L"\"" + folder + L"\\" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const long long started = qx::vswitch::PerformanceCounter();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    return -1;
  }
  HWND window = nullptr;
  double elapsed = -1;
  const ULONGLONG deadline = GetTickCount64() + 20000;
  while (GetTickCount64() < deadline) {
    if ((window = TrayWindowOf(process.dwProcessId)) != nullptr) {
      elapsed = Milliseconds(qx::vswitch::PerformanceCounter() - started);
      break;
    }
    if (WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0) break;
  }
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

int Start(int runs, const std::wstring& folder, const std::vector<std::wstring>& programs) {
  std::vector<std::vector<double>> times(programs.size());
  for (int run = 0; run < runs; ++run) {
    for (std::size_t p = 0; p < programs.size(); ++p) {
      const double ms = TimeToTray(folder, programs[p]);
      std::printf("run %d %ls %.0f\n", run + 1, programs[p].c_str(), ms);
      std::fflush(stdout);
      if (ms < 0) return 1;
      times[p].push_back(ms);
      Sleep(300);  // the previous program's end is over before the next starts
    }
  }
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const Summary s = Summarise(times[p]);
    std::printf("start %ls %.0f %.0f %.0f\n", programs[p].c_str(), s.median, s.low, s.high);
  }
  return 0;
}

// --- wall -----------------------------------------------------------------------------------

// Milliseconds from CreateProcess to the process's end, or a negative value on failure.
double TimeToExit(const std::wstring& folder, const std::wstring& command_line) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                           nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = nul;
  std::wstring command = command_line;
  PROCESS_INFORMATION process{};
  const long long started = qx::vswitch::PerformanceCounter();
  const bool created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                      &startup, &process);
  CloseHandle(nul);
  if (!created) return -1;
  double elapsed = -1;
  DWORD code = 1;
  if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code) &&
      code == 0) {
    elapsed = Milliseconds(qx::vswitch::PerformanceCounter() - started);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

int Wall(int runs, const std::wstring& folder, const std::vector<std::wstring>& commands) {
  std::vector<std::vector<double>> times(commands.size());
  for (int run = 0; run < runs; ++run) {
    for (std::size_t c = 0; c < commands.size(); ++c) {
      const double ms = TimeToExit(folder, commands[c]);
      std::printf("run %d %ls %.1f\n", run + 1, commands[c].c_str(), ms);
      std::fflush(stdout);
      if (ms < 0) return 1;
      times[c].push_back(ms);
    }
  }
  for (std::size_t c = 0; c < commands.size(); ++c) {
    const Summary s = Summarise(times[c]);
    std::printf("wall %ls %.1f %.1f %.1f\n", commands[c].c_str(), s.median, s.low, s.high);
  }
  return 0;
}

// --- presence -------------------------------------------------------------------------------

// Interfaces this process has opened, as the stand-in hid.dll counts them; -1 without it.
long InterfacesOpened() {
  using Count = LONG(WINAPI*)();
  const HMODULE hid = GetModuleHandleA("hid.dll");
  const auto count =
      hid ? reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(hid, "QxStandInAttributeQueries"))) : nullptr;
  return count ? count() : -1;
}

template <typename Check>
double Timed(Check check, bool expected, bool& wrong) {
  const long long t0 = qx::vswitch::PerformanceCounter();
  const bool present = check();
  const double ms = Milliseconds(qx::vswitch::PerformanceCounter() - t0);
  if (present != expected) wrong = true;
  return ms;
}

int Presence(int interfaces, int rounds) {
  const std::string session = "bench-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(interfaces);
  SetEnvironmentVariableA(qx::vswitch::kSessionVariable, session.c_str());
  std::string command = "vswitch.exe serve --no-window --rate 0 --session " + session;
  for (int i = 0; i < interfaces - 1; ++i) command += " --device 1234:5678";
  command += " --device aaaa:ef02";
  const std::string unit = "@" + std::to_string(interfaces - 1) + " ";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION server{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &server)) {
    std::fprintf(stderr, "bench_probe: vswitch.exe did not start\n");
    return 1;
  }
  CloseHandle(server.hThread);
  auto control = [&](const std::string& line) {
    return qx::vswitch::SendControlCommand(session, line, 60000).rfind("ok", 0) == 0;
  };
  int status = 1;
  if (control("status")) {
    qx::LoadHidLibraries();
    qx::PresenceCheck check;
    auto cached = [&] { return check.IsDevicePresent(qx::kSwitchUnitVendorId, qx::kSwitchUnitProductId); };
    auto full = [] { return qx::IsDevicePresent(qx::kSwitchUnitVendorId, qx::kSwitchUnitProductId); };
    // The program's check is told of device changes by its window; nothing changes here while
    // this one is timed, so it is told of none.
    qx::PresenceCheck told;
    told.FollowChanges([]() -> std::uint64_t { return 0; });
    auto quiet = [&] { return told.IsDevicePresent(qx::kSwitchUnitVendorId, qx::kSwitchUnitProductId); };
    bool wrong = false;
    for (int i = 0; i < 3; ++i) Timed(cached, true, wrong);
    Timed(quiet, true, wrong);
    std::vector<double> steady_told;
    for (int i = 0; i < 4 * rounds; ++i) {
      steady_told.push_back(Timed(quiet, true, wrong));
      Sleep(10);
    }

    std::vector<double> steady;
    const long opened_before = InterfacesOpened();
    for (int i = 0; i < 4 * rounds; ++i) {
      steady.push_back(Timed(cached, true, wrong));
      Sleep(10);
    }
    const long opened_steady = InterfacesOpened() - opened_before;

    std::vector<double> pulled, plugged;
    long opened_plugged = 0;
    for (int i = 0; i < rounds && !wrong; ++i) {
      if (!control(unit + "unplug")) wrong = true;
      pulled.push_back(Timed(cached, false, wrong));
      if (!control(unit + "plug")) wrong = true;
      const long before = InterfacesOpened();
      plugged.push_back(Timed(cached, true, wrong));
      opened_plugged = InterfacesOpened() - before;
      Sleep(10);
    }

    std::vector<double> searches;
    for (int i = 0; i < rounds; ++i) {
      searches.push_back(Timed(full, true, wrong));
      Sleep(10);
    }
    qx::UnloadHidLibraries();

    const Summary t = Summarise(steady_told);
    const Summary s = Summarise(steady), p = Summarise(pulled), a = Summarise(plugged), f = Summarise(searches);
    std::printf("steady state: median %.3f ms (%.3f-%.3f) over %zu checks, %ld interfaces opened\n", s.median, s.low,
                s.high, steady.size(), opened_steady);
    std::printf("steady state, told of device changes (as in the program): median %.4f ms (%.4f-%.4f), %d listings\n",
                t.median, t.low, t.high, told.Listings() - 1);
    std::printf("just after the SwitchUnit was pulled out: median %.2f ms (%.2f-%.2f)\n", p.median, p.low, p.high);
    std::printf("just after it was plugged back in: median %.2f ms (%.2f-%.2f), %ld interfaces opened\n", a.median,
                a.low, a.high, opened_plugged);
    std::printf("a full search every time (the check without its memory): median %.2f ms (%.2f-%.2f)\n", f.median,
                f.low, f.high);
    std::printf("presence check, %d interfaces: steady %.3f ms (%ld opened), told of changes %.4f ms, just after a change "
                "%.2f ms (%ld opened)\n",
                interfaces, s.median, opened_steady, t.median, a.median, opened_plugged);
    if (wrong) std::printf("bench_probe: a check gave the wrong answer\n");
    status = wrong ? 1 : 0;
  } else {
    std::fprintf(stderr, "bench_probe: vswitch.exe does not answer\n");
  }
  control("quit");
  if (WaitForSingleObject(server.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(server.hProcess, 1);
  CloseHandle(server.hProcess);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  if (args.size() >= 4 && args[0] == L"start") {
    return Start(_wtoi(args[1].c_str()), args[2], std::vector<std::wstring>(args.begin() + 3, args.end()));
  }
  if (args.size() >= 4 && args[0] == L"wall") {
    return Wall(_wtoi(args[1].c_str()), args[2], std::vector<std::wstring>(args.begin() + 3, args.end()));
  }
  if (args.size() >= 2 && args[0] == L"presence") {
    return Presence(_wtoi(args[1].c_str()), args.size() >= 3 ? _wtoi(args[2].c_str()) : 10);
  }
  std::fputs(
      "usage: bench_probe start RUNS FOLDER PROGRAM.exe...\n       bench_probe wall RUNS FOLDER COMMAND...\n"
      "       bench_probe presence N [ROUNDS]\n",
      stderr);
  return 2;
}
