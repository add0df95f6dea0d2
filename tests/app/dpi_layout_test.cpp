// The program at the display's DPI: every widget where its 96-DPI place scaled to the DPI puts it,
// fonts made for the DPI, the tray icon at the small-icon size, no text cut off that fits at 96
// DPI, and the layout again after the window is told that its DPI changed. The DPI is a setting of
// the whole Wine prefix, so the build runs these cases in a prefix of their own at 96, 120, 144
// and 192 DPI, 96 first; the ordinary run checks 96 DPI and a change to 192.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "automation/settings_file.h"
#include "program_test_support.h"
#include "tests/support/settings_groups.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

constexpr char kFitsAt96[] = "text-fits-at-96.txt";

int S(int value, int dpi) {
  return MulDiv(value, dpi, 96);
}

int DisplayDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Where a widget's control lies: the window's client area or a page of the panel.
enum Parent { kMainClient, kTab1, kTab2, kTab3, kTab4, kThermometerClient, kHistoryClient };

// A control's rectangle relative to its parent, with its widget number (0 for the frames).
struct Placed {
  int parent, id, x, y, width, height;
  auto operator<=>(const Placed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Placed& p) {
  return os << "{parent " << p.parent << ", widget " << p.id << ", " << p.x << ", " << p.y << ", " << p.width << " x "
            << p.height << "}";
}

enum class Kind { kPlain, kSpin };

// The 96-DPI layout of both windows, as the program's description fixes it.
struct Layout96 {
  int parent, id, x, y, width, height;
  Kind kind = Kind::kPlain;
};

std::vector<Layout96> ProgramLayout() {
  std::vector<Layout96> l = {
      {kMainClient, kPanel, 8, 8, 341, 180},
      {kTab1, 0, 4, 6, 170, 144},
      {kTab1, 0, 174, 6, 159, 144},
      {kTab1, 9, 183, 60, 140, 40},
      {kTab2, 0, 4, 6, 163, 144},
      {kTab2, 0, 170, 6, 163, 144},
      {kTab3, 39, 162, 5, 50, 15},
      {kTab3, 40, 260, 5, 60, 15},
      {kTab3, 0, 140, 20, 95, 130},
      {kTab3, 0, 240, 20, 95, 130},
      {kTab4, 65, 140, 20, 97, 130},
      {kTab4, 66, 238, 20, 97, 130},
      {kTab4, 83, 165, 5, 97, 15},
      {kTab4, 84, 260, 5, 97, 15},
      {kTab4, 101, 5, 3, 55, 20},
      {kThermometerClient, 103, 3, 3, 105, 32},
  };
  const int rows[4] = {30, 60, 90, 120};
  const int schedule_labels[4] = {33, 63, 95, 125};
  const int boxes[4] = {30, 61, 92, 123};
  const int separators[4] = {23, 54, 85, 116};
  const int buttons[4] = {30, 60, 91, 124};
  const int fields[4] = {29, 60, 91, 122};
  const int units[4] = {32, 63, 94, 125};
  for (int n = 1; n <= 4; ++n) {
    const int i = n - 1;
    l.push_back({kTab1, n, 10, rows[i], 15, 16});
    l.push_back({kTab1, 34 + n, 27, rows[i] + 1, 35, 20});
    l.push_back({kTab1, 4 + n, 38, rows[i] - 3, 130, 20});
    l.push_back({kTab2, 10 + n, 10, rows[i], 15, 16});
    l.push_back({kTab2, 14 + n, 174, rows[i], 15, 16});
    l.push_back({kTab2, 18 + n, 30, rows[i], 130, 20});
    l.push_back({kTab2, 22 + n, 194, rows[i], 130, 20});
    l.push_back({kTab3, 26 + n, 5, schedule_labels[i], 130, 20});
    l.push_back({kTab3, 39 + 2 * n, 146, boxes[i], 37, 20});
    l.push_back({kTab3, 40 + 2 * n, 194, boxes[i], 37, 20});
    l.push_back({kTab3, 47 + 2 * n, 246, boxes[i], 37, 20});
    l.push_back({kTab3, 48 + 2 * n, 294, boxes[i], 37, 20});
    l.push_back({kTab3, 55 + 2 * n, 185, separators[i], 8, 30});
    l.push_back({kTab3, 56 + 2 * n, 285, separators[i], 8, 30});
    l.push_back({kTab4, 30 + n, 5, buttons[i], 130, 20});
    l.push_back({kTab4, 65 + 2 * n, 170, fields[i], 33, 20, Kind::kSpin});
    l.push_back({kTab4, 66 + 2 * n, 270, fields[i], 33, 20, Kind::kSpin});
    l.push_back({kTab4, 83 + 2 * n, 207, units[i], 10, 20});
    l.push_back({kTab4, 84 + 2 * n, 307, units[i], 10, 20});
  }
  return l;
}

// Every number scaled on its own; a SpinField's text box and arrows share its scaled rectangle,
// the arrows being its 96-DPI half height scaled.
std::vector<Placed> Expected(const std::vector<Layout96>& layout, int dpi, std::set<int> parents) {
  std::vector<Placed> placed;
  for (const Layout96& w : layout) {
    if (!parents.count(w.parent)) continue;
    const int x = S(w.x, dpi), y = S(w.y, dpi), width = S(w.width, dpi), height = S(w.height, dpi);
    if (w.kind == Kind::kSpin) {
      const int arrows = S(w.height / 2, dpi);
      placed.push_back({w.parent, w.id, x, y, width - arrows, height});
      placed.push_back({w.parent, w.id, x + width - arrows, y, arrows, height});
    } else {
      placed.push_back({w.parent, w.id, x, y, width, height});
    }
  }
  std::sort(placed.begin(), placed.end());
  return placed;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// The controls on each parent as the platform sees them (also those of another process). The
// status bar is checked on its own.
std::vector<Placed> Actual(const std::map<int, HWND>& parents) {
  std::vector<Placed> placed;
  for (const auto& [parent, window] : parents) {
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (ClassOf(c) == STATUSCLASSNAMEW) continue;
      RECT r{};
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
      placed.push_back({parent, GetDlgCtrlID(c), r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
  }
  std::sort(placed.begin(), placed.end());
  return placed;
}

// The main window's client area and its panel pages, found by a widget on each page.
std::map<int, HWND> MainParents(HWND main) {
  return {{kMainClient, main},
          {kTab1, GetParent(ControlOf(main, 1))},
          {kTab2, GetParent(ControlOf(main, 11))},
          {kTab3, GetParent(ControlOf(main, 41))},
          {kTab4, GetParent(ControlOf(main, 31))}};
}

// Reports every control that is not where it should be, and every expected place left empty.
void ExpectPlaces(const std::vector<Placed>& expected, const std::vector<Placed>& actual, int dpi) {
  std::vector<Placed> missing, unexpected;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing));
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(unexpected));
  std::ostringstream report;
  for (const Placed& p : missing) report << "\n  expected " << p;
  for (const Placed& p : unexpected) report << "\n  found    " << p;
  EXPECT_TRUE(missing.empty() && unexpected.empty()) << "at " << dpi << " DPI:" << report.str();
}

void ExpectClientArea(HWND window, int width, int height, bool may_be_wider = false) {
  RECT client{};
  GetClientRect(window, &client);
  if (may_be_wider) {
    EXPECT_GE(client.right, width) << "the platform may widen a window below its minimum width";
  } else {
    EXPECT_EQ(client.right, width);
  }
  EXPECT_EQ(client.bottom, height);
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW log{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(log), &log);
  return log;
}

std::string Utf8(const std::wstring& text) {
  std::string bytes(text.size() * 3 + 1, '\0');
  bytes.resize(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                                              static_cast<int>(bytes.size()), nullptr, nullptr)));
  return bytes;
}

struct TextFit {
  bool fits;
  std::string detail;  // the text, its extent and the room it has
};

// Whether each control's text fits its text rectangle in the control's font, by control.
std::map<std::string, TextFit> TextFits(const std::map<int, HWND>& parents) {
  std::map<std::string, TextFit> fits;
  for (const auto& [parent, window] : parents) {
    int place = 0;  // tells the frames apart, which have no number
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++place) {
      const std::wstring cls = ClassOf(c);
      wchar_t buffer[256] = {};
      GetWindowTextW(c, buffer, 256);
      const std::wstring text = buffer;
      RECT area{};
      GetClientRect(c, &area);
      if (cls == L"Edit") {
        SendMessageW(c, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
      } else if (cls == L"ComboBox") {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        GetComboBoxInfo(c, &info);
        area = info.rcItem;
      } else if (cls != L"Static" && cls != L"Button") {
        continue;  // the tab strip sizes its tabs to their titles
      }
      if (text.empty()) continue;
      const HDC dc = GetDC(c);
      const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
      SIZE extent{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      SelectObject(dc, old);
      ReleaseDC(c, dc);
      const int width = area.right - area.left, height = area.bottom - area.top;
      std::ostringstream key, detail;
      key << "widget " << GetDlgCtrlID(c) << " on " << parent;
      if (GetDlgCtrlID(c) == 0) key << " at " << place;
      key << " \"" << Utf8(text) << '"';
      detail << extent.cx << " x " << extent.cy << " in " << width << " x " << height;
      fits[key.str()] = {extent.cx <= width && extent.cy <= height, detail.str()};
    }
  }
  return fits;
}

// What the platform sends a window that has moved to a monitor of another DPI.
void SendDpiChange(HWND window, int dpi) {
  RECT suggested{};
  GetWindowRect(window, &suggested);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

class DpiLayoutTest : public ProgramTest {
 protected:
  // The widgets' places, the status bar and the fonts of both windows at `dpi`.
  void ExpectLayoutAt(int dpi) {
    SCOPED_TRACE(::testing::Message() << dpi << " DPI");
    const HWND thermometer = NativeWindowHandle(kThermometerWindow);
    ExpectClientArea(main_, S(354, dpi), S(220, dpi));
    ExpectClientArea(thermometer, S(108, dpi), S(38, dpi), true);
    const auto layout = ProgramLayout();
    ExpectPlaces(Expected(layout, dpi, {kMainClient, kTab1, kTab2, kTab3, kTab4}), Actual(MainParents(main_)), dpi);
    ExpectPlaces(Expected(layout, dpi, {kThermometerClient}), Actual({{kThermometerClient, thermometer}}), dpi);

    const HWND bar = FindWindowExW(main_, nullptr, STATUSCLASSNAMEW, nullptr);
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(std::vector<int>(edges, edges + 3), (std::vector<int>{S(118, dpi), S(236, dpi), S(354, dpi)}));
    RECT client{}, rect{};
    GetClientRect(main_, &client);
    GetWindowRect(bar, &rect);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.bottom, client.bottom);
    EXPECT_EQ(rect.right - rect.left, client.right);
    EXPECT_GE(rect.bottom - rect.top, S(18, dpi));

    // Widgets without a font of their own: the default GUI font, itself at the DPI it was made
    // for, otherwise the same face made for the window's DPI.
    LOGFONTW gui{};
    const auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectW(stock, sizeof(gui), &gui);
    const HWND panel = GetParent(GetParent(ControlOf(main_, 1)));
    for (HWND control : {panel, ControlOf(main_, 1), ControlOf(main_, 35), ControlOf(main_, 5), ControlOf(main_, 41),
                         ControlOf(main_, 67), ControlOf(main_, 31), ControlOf(main_, 101)}) {
      const int id = GetDlgCtrlID(control);
      const LOGFONTW log = FontOf(control);
      EXPECT_EQ(std::wstring(log.lfFaceName), gui.lfFaceName) << id;
      EXPECT_EQ(log.lfHeight, MulDiv(gui.lfHeight, dpi, DisplayDpi())) << id;
      if (dpi == DisplayDpi()) {
        EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(stock)) << id;
      }
    }
    struct Own {
      HWND window;
      int id, points;
    };
    for (const Own& own : {Own{main_, 9, 22}, Own{main_, 57, 18}, Own{main_, 86, 8}, Own{thermometer, 103, 18}}) {
      const LOGFONTW log = FontOf(ControlOf(own.window, own.id));
      EXPECT_EQ(log.lfHeight, -MulDiv(own.points, dpi, 72)) << own.id;
      EXPECT_EQ(std::wstring(log.lfFaceName), L"Arial") << own.id;
    }
  }

  std::map<std::string, TextFit> TextFitsOfBothWindows() {
    std::map<int, HWND> parents = MainParents(main_);
    parents[kThermometerClient] = NativeWindowHandle(kThermometerWindow);
    return TextFits(parents);
  }
};

TEST_F(DpiLayoutTest, WidgetsInTheirScaledPlacesNoTextCutAndAgainAfterADpiChange) {
  // Names as a user gives them, and the widest numbers the spin fields and combo boxes show.
  Put(kSettingsFileName, kNamesGroup +
                             "1 = \xCB\xE0\xEC\xEF\xE0\r\n2 = \xCD\xE0\xF1\xEE\xF1\r\n"  // Лампа, Насос
                             "3 = \xCE\xE1\xEE\xE3\xF0\xE5\xE2\r\n"                      // Обогрев
                             "4 = \xC2\xE5\xED\xF2\xE8\xEB\xFF\xF2\xEE\xF0\r\n");        // Вентилятор
  Start();
  PostMessageW(main_, WM_COMMAND, kThermometerItem, 0);
  RunPosted();
  ASSERT_NE(NativeWindowHandle(kThermometerWindow), nullptr);
  const char widest_reading[] = "-12.5 \260C";  // "-12.5 °C", the longest the sensor shows
  for (int id : {kTemperatureDisplay, kTemperatureLabel, kThermometerDisplay}) SetText(id, widest_reading);
  for (int id = 41; id <= 56; ++id) SetState(id, id % 2 ? 24 : 60);  // "23", "59"
  for (int id = 67; id <= 74; ++id) SetState(id, -99);

  const int dpi = DisplayDpi();
  ExpectLayoutAt(dpi);

  // What fits at 96 DPI is what the run at 96 DPI found; it leaves that in the folder the runs
  // share. (A DPI change sent under Wine is no reference: the controls keep drawing their own
  // parts, such as a combo box's button, at the DPI the platform gives the window.)
  const auto fits = TextFitsOfBothWindows();
  if (dpi == 96) {
    std::ofstream out(kFitsAt96, std::ios::trunc);
    for (const auto& [control, fit] : fits) out << control << '\t' << fit.fits << '\t' << fit.detail << '\n';
  } else {
    std::ifstream in(kFitsAt96);
    int checked = 0;
    for (std::string line; std::getline(in, line);) {
      const size_t tab = line.find('\t');
      const std::string control = line.substr(0, tab);
      if (line.substr(tab + 1, 1) != "1") continue;
      ++checked;
      const auto it = fits.find(control);
      ASSERT_NE(it, fits.end()) << control;
      EXPECT_TRUE(it->second.fits) << control << " is cut off: " << it->second.detail
                                   << " (at 96 DPI: " << line.substr(tab + 3) << ")";
    }
    EXPECT_GE(checked, 40) << "texts the run at 96 DPI found fitting, in " << kFitsAt96;
  }

  // The notification area shows the small icon of the system DPI, drawn at that size.
  ICONINFO info{};
  const HICON icon = LoadProgramTrayIcon();
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof(colour), &colour);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  EXPECT_EQ(colour.bmWidth, GetSystemMetrics(SM_CXSMICON));
  const HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(group, nullptr);
  const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  std::set<int> sizes;
  const int count = directory[4] | directory[5] << 8;
  for (int i = 0; i < count; ++i) sizes.insert(directory[6 + 14 * i] ? directory[6 + 14 * i] : 256);
  EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 48}));
  EXPECT_TRUE(sizes.count(GetSystemMetrics(SM_CXSMICON))) << "an image of exactly the tray's size";

  // The move to a monitor of another DPI: to 96 DPI, or from 96 to 192.
  const int other = dpi == 96 ? 192 : 96;
  SendDpiChange(main_, other);
  SendDpiChange(NativeWindowHandle(kThermometerWindow), other);
  RunPosted();
  ExpectLayoutAt(other);
}

// The history window sizes its rows from its texts as its font shows them: none is cut, in the
// platform's font at the display's DPI, nor in a wider one (another UI font, or text scaling).
TEST_F(DpiLayoutTest, NoTextOfTheHistoryWindowIsCutWhateverItsFont) {
  Start();
  PostMessageW(main_, WM_COMMAND, kHistoryItem, 0);
  RunPosted();
  const HWND history = NativeWindowHandle(kHistoryWindow);
  ASSERT_NE(history, nullptr);
  LOGFONTW gui{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui);
  char face[LF_FACESIZE] = {};
  WideCharToMultiByte(1251, 0, gui.lfFaceName, -1, face, LF_FACESIZE, nullptr, nullptr);
  const int wide = NewFont(-1, face, 9, kFontBold);  // anonymous
  ASSERT_NE(FontHandle(wide), 0);
  for (const char* font : {"the window's font", "a wider font"}) {
    const auto fits = TextFits({{kHistoryClient, history}});
    int checked = 0;
    for (const auto& [control, fit] : fits) {
      ++checked;
      EXPECT_TRUE(fit.fits) << "in " << font << ", " << control << " is cut off: " << fit.detail;
    }
    EXPECT_GE(checked, 8) << "the range buttons, the alarm row's text, its boxes and units";
    // The wider font on every widget of the window, laid out again as a change of size does.
    for (int widget = kHistoryDayButton; widget <= kAboveAlarmUnit; ++widget) SetWidgetFont(widget, FontHandle(wide));
    RECT frame{};
    GetWindowRect(history, &frame);
    SetWindowPos(history, nullptr, 0, 0, frame.right - frame.left + 1, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    RunPosted();
  }
}

// The real program, started as a user would, at the display's DPI.
TEST_F(DpiLayoutTest, RealProgramHasItsScaledClientAreaAndLayout) {
  const fs::path folder = fs::current_path() / "user";
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(BuiltProgramAt(QX_PROGRAM_PATH), folder / "Quellarotix.exe");
  fs::copy_file(ThisProgramFolder() / "setupapi.dll", folder / "setupapi.dll");  // hid.dll: the system folder's
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + (folder / "Quellarotix.exe").wstring() + L"\"";
  ASSERT_TRUE(
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process));
  HWND main = nullptr;
  // Its start-up report says it has built its windows.
  const bool started = switch_->WaitForOutputReports(0, 1, 20000) &&
                       PumpUntil([&] { return (main = TopLevelWindowOf(process.dwProcessId, L"USB Quellarotix")); });
  if (started) {
    const int dpi = DisplayDpi();
    RECT client{};
    GetClientRect(main, &client);
    std::printf("real program at %d DPI: client area %ld x %ld\n", dpi, client.right, client.bottom);
    ExpectClientArea(main, S(354, dpi), S(220, dpi));
    ExpectPlaces(Expected(ProgramLayout(), dpi, {kMainClient, kTab1, kTab2, kTab3, kTab4}), Actual(MainParents(main)),
                 dpi);
    PostMessageW(main, WM_CLOSE, 0, 0);
  }
  EXPECT_TRUE(started) << "the program did not start";
  if (WaitForSingleObject(process.hProcess, started ? 15000 : 0) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 99);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace qx::test
