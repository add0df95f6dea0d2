// vswitch.exe: serves virtual SwitchUnits for a session and shows them in a small window, or
// sends one command to a serving vswitch.exe.
//
//   vswitch.exe [serve] [--session NAME] [--device VID:PID[:REV][:unopenable|:zerodetail][:unplugged]]...
//               [--count N] [--rate R] [--no-window]
//   vswitch.exe ctl [--session NAME] [--wait-ms MS] COMMAND [ARGS...]
//
// Without --device it serves one SwitchUnit (aaaa:ef02:0100). See control.h for the commands.

#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tools/vswitch/control.h"
#include "tools/vswitch/virtual_switch.h"

namespace {

using qx::vswitch::DeviceSpec;
using qx::vswitch::DeviceStatus;
using qx::vswitch::InterfaceKind;
using qx::vswitch::VirtualSwitch;

constexpr int kRowHeight = 56;
constexpr int kWidth = 460;
constexpr int kMaxRows = 8;

struct App {
  VirtualSwitch* sw = nullptr;
  std::vector<int> rows;  // slots of served devices shown, at most kMaxRows
  HFONT font = nullptr;
  HFONT big_font = nullptr;
};

App g_app;

RECT ButtonRect(int row) {
  return RECT{kWidth - 96, row * kRowHeight + 14, kWidth - 12, row * kRowHeight + 42};
}

std::wstring TemperatureText(const std::vector<std::uint8_t>& report) {
  wchar_t text[64];
  if (report.size() >= 3) {
    const auto count = static_cast<std::int16_t>(report[1] | (report[2] << 8));
    std::swprintf(text, 64, L"%.1f \u00b0C", count / 16.0);
    return text;
  }
  std::wstring raw = L"raw";
  for (std::uint8_t b : report) {
    std::swprintf(text, 64, L" %02x", b);
    raw += text;
  }
  return raw;
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  for (std::size_t r = 0; r < g_app.rows.size(); ++r) {
    const int slot = g_app.rows[r];
    const DeviceStatus s = g_app.sw->Status(slot);
    const int top = static_cast<int>(r) * kRowHeight;
    wchar_t line[96];
    SelectObject(dc, g_app.font);
    SetTextColor(dc, RGB(0, 0, 0));
    std::swprintf(line, 96, L"#%d  %04x:%04x  %ls  open %d", slot, s.spec.vendor, s.spec.product,
                  s.plugged ? L"plugged" : L"unplugged", s.open_handles);
    TextOutW(dc, 8, top + 6, line, static_cast<int>(wcslen(line)));
    // The four outlets: bit n of the last report's second byte is outlet n.
    for (int n = 1; n <= 4; ++n) {
      const bool on = s.outlets >= 0 && (s.outlets >> n) & 1;
      HBRUSH brush = CreateSolidBrush(on ? RGB(40, 200, 40) : RGB(70, 70, 70));
      HGDIOBJ old = SelectObject(dc, brush);
      const int x = 8 + (n - 1) * 30;
      Ellipse(dc, x, top + 26, x + 22, top + 48);
      SelectObject(dc, old);
      DeleteObject(brush);
      wchar_t digit[2] = {static_cast<wchar_t>(L'0' + n), 0};
      SetTextColor(dc, on ? RGB(0, 0, 0) : RGB(255, 255, 255));
      TextOutW(dc, x + 7, top + 29, digit, 1);
    }
    SelectObject(dc, g_app.big_font);
    SetTextColor(dc, s.plugged ? RGB(0, 0, 160) : RGB(150, 150, 150));
    const std::wstring t = TemperatureText(s.input_report);
    TextOutW(dc, 140, top + 24, t.c_str(), static_cast<int>(t.size()));
    SelectObject(dc, g_app.font);
    RECT b = ButtonRect(static_cast<int>(r));
    DrawEdge(dc, &b, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, s.plugged ? L"Unplug" : L"Plug", -1, &b, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_LBUTTONDOWN: {
      const POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      for (std::size_t r = 0; r < g_app.rows.size(); ++r) {
        const RECT b = ButtonRect(static_cast<int>(r));
        if (!PtInRect(&b, p)) continue;
        const int slot = g_app.rows[r];
        if (g_app.sw->Status(slot).plugged) {
          g_app.sw->Unplug(slot);
        } else {
          g_app.sw->Plug(slot);
        }
      }
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

bool ParseDevice(const std::string& text, DeviceSpec* spec) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2) return false;
  char* end = nullptr;
  spec->vendor = static_cast<std::uint16_t>(std::strtoul(parts[0].c_str(), &end, 16));
  if (*end) return false;
  spec->product = static_cast<std::uint16_t>(std::strtoul(parts[1].c_str(), &end, 16));
  if (*end) return false;
  for (std::size_t i = 2; i < parts.size(); ++i) {
    if (parts[i] == "unopenable") {
      spec->kind = InterfaceKind::kUnopenable;
    } else if (parts[i] == "zerodetail") {
      spec->kind = InterfaceKind::kZeroDetailSize;
    } else if (parts[i] == "unplugged") {
      spec->plugged = false;
    } else {
      spec->release = static_cast<std::uint16_t>(std::strtoul(parts[i].c_str(), &end, 16));
      if (*end) return false;
    }
  }
  return true;
}

int Usage() {
  std::fputs(
      "usage: vswitch [serve] [--session NAME] [--device VID:PID[:REV][:unopenable|:zerodetail][:unplugged]]...\n"
      "                [--count N] [--rate R] [--no-window]\n"
      "       vswitch ctl [--session NAME] [--wait-ms MS] COMMAND [ARGS...]\n",
      stderr);
  return 2;
}

int Control(const std::string& session, int wait_ms, const std::string& command) {
  const std::string answer = qx::vswitch::SendControlCommand(session, command, wait_ms);
  std::printf("%s\n", answer.c_str());
  std::fflush(stdout);
  return answer.rfind("ok", 0) == 0 ? 0 : 1;
}

int Serve(const std::string& session, const std::vector<DeviceSpec>& specs, int count, double rate, bool window) {
  VirtualSwitch sw(session);
  HWND hwnd = nullptr;
  sw.SetChangeCallback([&hwnd] {
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
  });
  if (!sw.Start()) {
    std::fprintf(stderr, "vswitch: session %s is served already\n", session.c_str());
    return 1;
  }
  for (const DeviceSpec& spec : specs) {
    const int slot = sw.AddDevice(spec);
    if (slot < 0) continue;
    sw.SetCount(slot, count);
    sw.SetRate(slot, rate);
    if (spec.kind == InterfaceKind::kDevice && g_app.rows.size() < kMaxRows) g_app.rows.push_back(slot);
  }
  qx::vswitch::ControlServer control(sw);
  control.Start();
  g_app.sw = &sw;

  if (window) {
    g_app.font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    g_app.big_font = CreateFontW(-22, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"QxVirtualSwitchWindow";
    RegisterClassW(&wc);
    const int rows = g_app.rows.empty() ? 1 : static_cast<int>(g_app.rows.size());
    RECT r{0, 0, kWidth, rows * kRowHeight};
    AdjustWindowRect(&r, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE);
    const std::wstring title = L"Virtual SwitchUnit \u2014 " + std::wstring(session.begin(), session.end());
    hwnd = CreateWindowW(wc.lpszClassName, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                         CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                         wc.hInstance, nullptr);
    if (!hwnd) std::fprintf(stderr, "vswitch: no window (error %lu)\n", GetLastError());
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  }
  HANDLE quit = control.QuitEvent();
  for (;;) {
    const DWORD w = MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
    if (w == WAIT_OBJECT_0) break;
    MSG msg;
    bool closed = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) closed = true;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (closed) break;
  }
  control.Stop();
  HWND gone = hwnd;
  hwnd = nullptr;
  sw.Stop();
  if (gone && IsWindow(gone)) DestroyWindow(gone);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string session = qx::vswitch::CurrentSessionName();
  bool ctl = false;
  std::size_t i = 0;
  if (i < args.size() && (args[i] == "ctl" || args[i] == "serve")) ctl = args[i++] == "ctl";
  std::vector<DeviceSpec> specs;
  int count = 368;  // 23.0 degrees
  double rate = 2;
  bool window = true;
  int wait_ms = 5000;
  std::string command;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--session" && has_value) {
      session = args[++i];
    } else if (a == "--wait-ms" && has_value) {
      wait_ms = std::atoi(args[++i].c_str());
    } else if (!ctl && a == "--device" && has_value) {
      DeviceSpec spec;
      if (!ParseDevice(args[++i], &spec)) return Usage();
      specs.push_back(spec);
    } else if (!ctl && a == "--count" && has_value) {
      count = std::atoi(args[++i].c_str());
    } else if (!ctl && a == "--rate" && has_value) {
      rate = std::atof(args[++i].c_str());
    } else if (!ctl && a == "--no-window") {
      window = false;
    } else if (ctl) {
      command += (command.empty() ? "" : " ") + a;
    } else {
      return Usage();
    }
  }
  if (ctl) return command.empty() ? Usage() : Control(session, wait_ms, command);
  if (specs.empty()) specs.push_back(DeviceSpec{});
  return Serve(session, specs, count, rate, window);
}
