// The history chart's probe, run under Wine by scripts/bench and scripts/run.
//
//   chart_probe open RUNS [OUTLET...]
//       Waits for the running program's main window, switches the thermostat of each OUTLET on
//       (a click on its button, as the user gives it), then RUNS times: sends the program the
//       tray menu's command "История" (item 7, exactly as the menu sends it) and measures the
//       time until the chart window's surface has put a chart on the screen. Closes the
//       window between runs and leaves it open after the last. Prints "open MS" per run, then
//       "window X Y WIDTH HEIGHT" (its outer rectangle on the screen) and "chart MEDIAN MIN MAX".
//
// The chart counts as painted when its surface's name says so: the program names it after what
// it has just painted (another process cannot read a window's pixels under Wine).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/support/desktop_support.h"

namespace {

using qx::test::ControlOf;

constexpr int kHistoryItem = 7;
constexpr int kChartWidget = 114;
constexpr int kFirstThermostatButton = 31;  // outlet 1's; the others follow
const wchar_t kMainTitle[] = L"USB Quellarotix";
const wchar_t kHistoryTitle[] =
    L"\u0418\u0441\u0442\u043e\u0440\u0438\u044f \u0442\u0435\u043c\u043f\u0435\u0440\u0430"
    L"\u0442\u0443\u0440\u044b";

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND WaitForWindow(const wchar_t* title, double timeout_ms) {
  const double deadline = Now() + timeout_ms;
  while (Now() < deadline) {
    if (HWND window = FindWindowW(nullptr, title)) return window;
    Sleep(1);
  }
  return nullptr;
}

// Whether the surface says it shows a chart: its name ends in the latest temperature once the
// chart is on the screen ("Загрузка…" and "Нет данных за этот период" have no "°C").
bool ShowsChart(HWND chart) {
  wchar_t name[128] = {};
  GetWindowTextW(chart, name, 128);
  return std::wcsstr(name, L"\u00B0C") != nullptr;
}

void PrintPlace() {
  if (const HWND window = FindWindowW(nullptr, kHistoryTitle)) {
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("window %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  }
}

int Open(int runs, const std::vector<int>& outlets) {
  const HWND main = WaitForWindow(kMainTitle, 60000);
  if (!main) {
    std::printf("no main window\n");
    return 1;
  }
  for (int outlet : outlets) {
    if (HWND button = ControlOf(main, kFirstThermostatButton + outlet - 1)) SendMessageW(button, BM_CLICK, 0, 0);
  }
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const double start = Now();
    PostMessageW(main, WM_COMMAND, kHistoryItem, 0);
    const HWND window = WaitForWindow(kHistoryTitle, 10000);
    bool painted = false;
    // The window exists a moment before its widgets do.
    while (window && !painted && Now() - start < 10000) {
      const HWND chart = ControlOf(window, kChartWidget);
      painted = chart && ShowsChart(chart);
      if (!painted) Sleep(1);
    }
    if (!painted) {
      wchar_t name[128] = {};
      if (HWND shown = window ? FindWindowW(nullptr, kHistoryTitle) : nullptr)
        GetWindowTextW(ControlOf(shown, kChartWidget), name, 128);
      std::printf("open: no chart within 10 s (window %p, the surface named \"%ls\")\n", static_cast<void*>(window),
                  name);
      PrintPlace();
      return 1;
    }
    times.push_back(Now() - start);
    std::printf("open %.1f\n", times.back());
    std::fflush(stdout);
    if (run + 1 < runs) {
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);  // its close box
      const double deadline = Now() + 10000;
      while (IsWindow(window) && Now() < deadline) Sleep(1);
      Sleep(200);  // the program settles before the next command
    }
  }
  PrintPlace();
  std::sort(times.begin(), times.end());
  std::printf("chart %.1f %.1f %.1f\n", times[times.size() / 2], times.front(), times.back());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "open") {
    std::vector<int> outlets;
    for (int i = 3; i < argc; ++i) outlets.push_back(std::atoi(argv[i]));
    return Open(std::max(1, std::atoi(argv[2])), outlets);
  }
  std::printf("usage: chart_probe open RUNS [OUTLET...]\n");
  return 2;
}
