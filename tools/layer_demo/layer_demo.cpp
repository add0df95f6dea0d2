// A window built with the window layer alone, to look at: every widget kind on four pages, a
// status bar, the tray icon with its popup menu, and a worker thread writing a temperature.
//
//   layer_demo.exe [seconds [page]]
//
// seconds > 0 ends the demo by itself after that time; page (0-3) is the page shown first.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/text.h"
#include "runtime/win32/layer.h"

namespace {

using namespace qx;

// Windows-1251 texts.
const std::string kTitle = "USB Quellarotix";
const std::string kTabMain = "\xCE\xF1\xED\xEE\xE2\xED\xEE\xE5";                // Основное
const std::string kTabStart = "\xCF\xF0\xE8 \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE5";  // При загрузке
const std::string kTabTime = "\xC0\xE2\xF2\xEE\xEC\xE0\xF2 \xD7\xD7:\xCC\xCC";  // Автомат ЧЧ:ММ
const std::string kTabTemp =
    " \xC0\xE2\xF2\xEE\xEC\xE0\xF2 \xB0"
    "C ";                                                                         // Автомат °C
const std::string kDevices = "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0";          // Устройства
const std::string kTemperature = "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0";  // Температура
const std::string kSwitchOn = "\xC2\xEA\xEB\xFE\xF7\xE8\xF2\xFC";                 // Включить
const std::string kSwitchOff = "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC";            // Выключить
const std::string kDegrees = "\xB0\xD1";                                          // °С
const std::string kDisconnected = "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED";         // USB отключен
const std::string kExit = "\xC2\xFB\xF5\xEE\xE4";                                 // Выход
const std::string kThermometer = "\xD2\xE5\xF0\xEC\xEE\xEC\xE5\xF2\xF0";          // Термометр
const std::string kNames[4] = {"\xCB\xE0\xEC\xEF\xE0", "\xCE\xE1\xEE\xE3\xF0\xE5\xE2\xE0\xF2\xE5\xEB\xFC",
                               "\xCD\xE0\xF1\xEE\xF1", "Router"};  // Лампа, Обогреватель, Насос

std::atomic<bool> g_running{true};
int g_seconds = 0;

void CALLBACK EndDemo(HWND hwnd, UINT, UINT_PTR, DWORD) {
  KillTimer(hwnd, 9);
  g_running = false;
  PostMessageW(hwnd, WM_NULL, 0, 0);
}

void BuildWindow(int first_page) {
  NewFont(1, "Arial", 18, kFontBold);
  NewFont(2, "Arial", 22, kFontBold);
  NewFont(3, "Arial", 8);
  NewWindow(0, 0, 0, 354, 220, kTitle, kMainWindowOptions);
  NewPanel(0, 8, 8, 341, 180);
  AddItem(0, -1, kTabMain);
  NewFrame(-1, 4, 6, 170, 144, kDevices, kFrameGroupBox);
  NewFrame(-1, 174, 6, 159, 144, kTemperature, kFrameGroupBox);
  for (int n = 1; n <= 4; ++n) NewCheckBox(n, 10, 30 * n, 15, 16, "");
  for (int n = 1; n <= 4; ++n) NewText(34 + n, 27, 30 * n + 1, 35, 20, std::to_string(n) + ". ");
  for (int n = 1; n <= 4; ++n) NewStringField(4 + n, 38, 30 * n - 3, 130, 20, kNames[n - 1]);
  NewStringField(9, 183, 60, 140, 40, "OFF", kFieldCentred | kFieldReadOnly);
  SetWidgetFont(9, FontHandle(2));
  SetWidgetColor(9, kTextColour, MakeColor(0, 0, 223));
  SetState(2, 1);

  AddItem(0, -1, kTabStart);
  for (int n = 1; n <= 4; ++n) {
    NewCheckBox(10 + n, 10, 30 * n, 15, 16, "");
    NewText(18 + n, 30, 30 * n, 130, 20, std::to_string(n) + ". " + kNames[n - 1]);
  }

  AddItem(0, -1, kTabTime);
  NewText(39, 162, 5, 50, 15, kSwitchOn);
  SetWidgetColor(39, kTextColour, MakeColor(0, 0, 223));
  NewText(40, 260, 5, 60, 15, kSwitchOff);
  SetWidgetColor(40, kTextColour, MakeColor(255, 0, 0));
  NewFrame(-1, 140, 20, 95, 130, kSwitchOn, kFrameSunken);
  NewFrame(-1, 240, 20, 95, 130, kSwitchOff, kFrameSunken);
  const int rows[4] = {30, 61, 92, 123};
  for (int n = 1; n <= 4; ++n) {
    NewText(26 + n, 5, rows[n - 1] + 3, 130, 20, std::to_string(n) + ". " + kNames[n - 1]);
    NewComboBox(39 + 2 * n, 146, rows[n - 1], 37, 20);
    NewComboBox(40 + 2 * n, 194, rows[n - 1], 37, 20);
    NewText(56 + 2 * n - 1, 185, rows[n - 1] - 7, 8, 30, ":");
    SetWidgetFont(56 + 2 * n - 1, FontHandle(1));
  }
  for (int id = 41; id <= 48; ++id) {
    AddItem(id, -1, "");
    const int count = id % 2 ? 24 : 60;
    for (int v = 0; v < count; ++v) AddItem(id, -1, TwoDigits(v));
    SetState(id, 0);
  }
  SetState(41, 8);  // 07:30
  SetState(42, 31);

  AddItem(0, -1, kTabTemp);
  const int spin_rows[4] = {29, 60, 91, 122};
  for (int n = 1; n <= 4; ++n)
    NewToggleButton(30 + n, 5, 30 * n, 130, 20, std::to_string(n) + ". " + kNames[n - 1], kToggleButtonOptions);
  NewText(65, 140, 20, 97, 130, "", kTextSunken);
  SetWidgetColor(65, kBackgroundColour, MakeColor(85, 85, 255));
  NewText(66, 238, 20, 97, 130, "", kTextSunken);
  SetWidgetColor(66, kBackgroundColour, MakeColor(255, 127, 127));
  for (int n = 1; n <= 4; ++n) {
    NewSpinField(65 + 2 * n, 170, spin_rows[n - 1], 33, 20, -99, 99, 0x2002);
    NewSpinField(66 + 2 * n, 270, spin_rows[n - 1], 33, 20, -99, 99, 0x2);
  }
  NewText(83, 165, 5, 97, 15, kSwitchOn);
  SetWidgetColor(83, kTextColour, MakeColor(0, 0, 223));
  NewText(84, 260, 5, 97, 15, kSwitchOff);
  SetWidgetColor(84, kTextColour, MakeColor(255, 0, 0));
  for (int n = 1; n <= 4; ++n) {
    NewText(83 + 2 * n, 207, spin_rows[n - 1] + 3, 10, 20, kDegrees);
    SetWidgetFont(83 + 2 * n, FontHandle(3));
    SetWidgetColor(83 + 2 * n, kBackgroundColour, MakeColor(85, 85, 255));
    NewText(84 + 2 * n, 307, spin_rows[n - 1] + 3, 10, 20, kDegrees);
    SetWidgetFont(84 + 2 * n, FontHandle(3));
    SetWidgetColor(84 + 2 * n, kBackgroundColour, MakeColor(255, 127, 127));
  }
  NewText(101, 5, 3, 55, 20, "OFF", 0x20801);
  SetWidgetColor(101, kTextColour, MakeColor(0, 0, 255));
  SetWidgetColor(101, kBackgroundColour, MakeColor(255, 255, 255));
  SetWidgetFont(101, 256);
  SetState(31, 1);
  SetState(67, 18);
  SetState(68, 24);
  CloseContainer();
  SetState(0, first_page);

  (void)NewPopupMenu(0);
  for (int n = 1; n <= 4; ++n) AddMenuItem(n, std::to_string(n) + ". " + kNames[n - 1]);
  AddMenuSeparator();
  AddMenuItem(5, kThermometer);
  AddMenuItem(6, kExit);

  (void)NewStatusBar(0, NativeWindowHandle(0));
  for (int i = 0; i < 3; ++i) AddStatusField(118);
  SetStatusText(0, 0, kDisconnected, kStatusCentred);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  SetStatusText(0, 1, TwoDigits(now.wDay) + "." + TwoDigits(now.wMonth) + "." + std::to_string(now.wYear),
                kStatusCentred);
  SetStatusText(0, 2, TwoDigits(now.wHour) + ":" + TwoDigits(now.wMinute) + ":" + TwoDigits(now.wSecond),
                kStatusCentred);
}

void Sensor(int) {
  // Stands in for the sensor thread: a temperature text every half second, from another thread.
  for (int tenth = 215; g_running; tenth = tenth >= 235 ? 215 : tenth + 1) {
    const std::string text = std::to_string(tenth / 10) + "." + std::to_string(tenth % 10);
    SetText(9, text +
                   " \xB0"
                   "C");
    SetText(101, text);
    SetTrayToolTip(1, text +
                          " \xB0"
                          "C");
    Sleep(500);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  int page = 0;
  std::sscanf(command_line, "%d %d", &g_seconds, &page);
  BuildWindow(page < 0 || page > 3 ? 0 : page);
  SetWindowHidden(0, 0);
  (void)AddTrayIcon(1, NativeWindowHandle(0), LoadProgramTrayIcon());
  SetTrayToolTip(1, "OFF");
  if (g_seconds > 0) SetTimer(NativeWindowHandle(0), 9, static_cast<UINT>(g_seconds) * 1000, EndDemo);
  (void)StartThread(Sensor, 0);

  while (g_running) {
    const int event = WaitForEvent();
    if (event == TrayEvent && CurrentEventType() == kTrayRightPressed) ShowPopupMenu(0, NativeWindowHandle(0));
    if (event == TrayEvent && CurrentEventType() == kTrayLeftPressed) {
      SetWindowHidden(0, 0);
      ChangeWindowState(0, kWindowStateNormal);
      ActivateWindow(0);
    }
    if (event == MinimizeEvent) SetWindowHidden(0, 1);
    if (event == MenuEvent && CurrentEventMenuItem() >= 1 && CurrentEventMenuItem() <= 4)
      SetState(CurrentEventMenuItem(), GetState(CurrentEventMenuItem()) ? 0 : 1);
    if (event == MenuEvent && CurrentEventMenuItem() == 5) ShowMessageBox(kTitle, kDisconnected, 0x10);
    if (event == CloseEvent || (event == MenuEvent && CurrentEventMenuItem() == 6)) g_running = false;
  }
  ShutdownWindowLayer();
  return 0;
}
