// What state and text mean for each widget kind, the options' native styles, fonts, colours, and
// the Windows-1251 edge (these tests also run with a non-Russian system code page).

#include <windows.h>

#include <cstdlib>
#include <functional>

#include "runtime/platform/text_encoding.h"
#include "runtime/win32/shell_services.h"
#include "tests/win32/layer_test_support.h"

namespace qx::test {
namespace {

using WidgetTest = LayerTest;
using EncodingTest = LayerTest;

LONG_PTR StyleOf(HWND hwnd) {
  return GetWindowLongPtrW(hwnd, GWL_STYLE);
}
LONG_PTR ExStyleOf(HWND hwnd) {
  return GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
}

TEST_F(WidgetTest, CheckBoxAndToggleButtonStates) {
  OpenWindow(0);
  ASSERT_NE(NewCheckBox(1, 10, 10, 15, 16, ""), kNoObject);
  ASSERT_NE(NewCheckBox(2, 10, 30, 15, 16, "", kCheckBoxThreeState), kNoObject);
  ASSERT_NE(NewToggleButton(31, 10, 60, 130, 20, "1. Lamp", kToggleButtonOptions), kNoObject);
  struct Case {
    int widget, value, state;
  };
  const Case cases[] = {
      {1, 1, 1},   {1, 0, 0},  {1, 5, 1},   {1, -1, 1},  // any nonzero value checks a two-state box
      {2, -1, -1}, {2, 0, 0},  {2, 1, 1},                // the three-state box can be indeterminate
      {31, 7, 1},  {31, 0, 0}, {31, -1, 1},
  };
  for (const Case& c : cases) {
    SetState(c.widget, c.value);
    EXPECT_EQ(GetState(c.widget), c.state) << "widget " << c.widget << " set to " << c.value;
  }
  EXPECT_EQ(GetState(1), 1) << "a check box starts unchecked and keeps what it was set to";
  EXPECT_EQ(GetText(31), "1. Lamp");
  SetText(31, "1. Heater");
  EXPECT_EQ(GetText(31), "1. Heater");
  const HWND toggle = ControlOf(NativeWindowHandle(0), 31);
  EXPECT_EQ(StyleOf(toggle) & 0x1103, 0x1103) << "push-like, text left, automatic two-state";
}

TEST_F(WidgetTest, ComboBoxEntriesSelectionAndClosedHeight) {
  const HWND window = OpenWindow(0);
  ASSERT_NE(NewComboBox(41, 10, 10, 37, 20), kNoObject);
  EXPECT_EQ(GetState(41), -1) << "nothing is selected after creation";
  EXPECT_EQ(GetText(41), "");
  EXPECT_EQ(AddItem(41, -1, "01"), 1);
  EXPECT_EQ(AddItem(41, -1, "02"), 1);
  EXPECT_EQ(AddItem(41, 0, ""), 1);  // before the first entry
  EXPECT_EQ(AddItem(41, -2, "ignored"), 0);
  EXPECT_EQ(AddItem(41, 17, "beyond the end"), 0);
  struct Case {
    int set, state;
    const char* text;
  };
  const Case cases[] = {{0, 0, ""}, {2, 2, "02"}, {1, 1, "01"}, {3, -1, ""}, {-1, -1, ""}, {1, 1, "01"}, {-5, -1, ""}};
  for (const Case& c : cases) {
    SetState(41, c.set);
    EXPECT_EQ(GetState(41), c.state) << c.set;
    EXPECT_EQ(GetText(41), c.text) << c.set;
  }
  const HWND combo = ControlOf(window, 41);
  EXPECT_EQ(StyleOf(combo) & 0x3, CBS_DROPDOWNLIST);
  RECT rect{};
  GetWindowRect(combo, &rect);
  EXPECT_EQ(rect.bottom - rect.top, 20) << "the closed box is exactly as tall as asked";
}

// Pixels darker than mid-grey in what the control draws of itself.
int DarkPixelsOf(HWND control) {
  RECT area{};
  GetClientRect(control, &area);
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  PatBlt(memory, 0, 0, area.right, area.bottom, WHITENESS);
  PrintWindow(control, memory, PW_CLIENTONLY);
  int dark = 0;
  for (int x = 0; x < area.right; ++x) {
    for (int y = 0; y < area.bottom; ++y) {
      const COLORREF c = GetPixel(memory, x, y);
      if (GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128) ++dark;
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return dark;
}

// A combo box filled while its window is hidden does not redraw meanwhile; once the window is
// shown it draws itself again.
TEST_F(WidgetTest, ComboBoxFilledUnseenIsDrawnOnceItsWindowIsShown) {
  ASSERT_EQ(NewWindow(0, 40, 40, 360, 240, "Test", kWindowHidden | kWindowCaption | kWindowSystemMenu), 0);
  ASSERT_NE(NewComboBox(41, 10, 10, 37, 20), kNoObject);
  for (const char* entry : {"", "00", "01", "02"}) AddItem(41, -1, entry);
  SetState(41, 2);
  EXPECT_EQ(GetText(41), "01");
  SetWindowHidden(0, 0);
  EXPECT_GT(DarkPixelsOf(ControlOf(NativeWindowHandle(0), 41)), 0) << "the box shows its entry";
}

TEST_F(WidgetTest, SpinFieldRangeTextAndLayout) {
  const HWND window = OpenWindow(0);
  ASSERT_NE(NewSpinField(67, 170, 29, 33, 20, -99, 99, 0x2002), kNoObject);
  EXPECT_EQ(GetState(67), 0);
  EXPECT_EQ(GetText(67), "0");
  struct Case {
    int set, state;
    const char* text;
  };
  const Case cases[] = {{150, 99, "99"}, {-150, -99, "-99"}, {42, 42, "42"}, {0, 0, "0"}, {-7, -7, "-7"}};
  for (const Case& c : cases) {
    SetState(67, c.set);
    EXPECT_EQ(GetState(67), c.state) << c.set;
    EXPECT_EQ(GetText(67), c.text) << c.set;
  }
  // Typed text counts when it is a whole number within the range; otherwise the last valid value.
  struct Typed {
    const char* text;
    int state;
  };
  const Typed typed[] = {{"12", 12},  {"abc", 12}, {"100", 12}, {"-99", -99}, {"", -99},
                         {"5x", -99}, {"+5", -99}, {"-", -99},  {"007", 7}};
  for (const Typed& t : typed) {
    SetText(67, t.text);
    EXPECT_EQ(GetText(67), t.text);
    EXPECT_EQ(GetState(67), t.state) << '"' << t.text << '"';
  }

  const HWND edit = ControlOf(window, 67);
  ASSERT_EQ(ClassOf(edit), L"Edit");
  EXPECT_TRUE(StyleOf(edit) & ES_RIGHT);
  const HWND arrows = FindWindowExW(window, nullptr, UPDOWN_CLASSW, nullptr);
  RECT e{}, a{};
  GetWindowRect(edit, &e);
  GetWindowRect(arrows, &a);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&e), 2);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&a), 2);
  EXPECT_EQ(e.left, 170);
  EXPECT_EQ(e.right - e.left, 33 - 10);
  EXPECT_EQ(a.left, 170 + 33 - 10);
  EXPECT_EQ(a.right - a.left, 10);
  EXPECT_EQ(a.bottom - a.top, 20);
}

TEST_F(WidgetTest, PanelPagesSelectionAndLabels) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewPanel(0, 8, 8, 341, 180), 0);
  AddItem(0, -1, "one");
  ASSERT_NE(NewCheckBox(1, 10, 30, 15, 16, ""), kNoObject);
  AddItem(0, -1, "two");
  ASSERT_NE(NewCheckBox(11, 10, 30, 15, 16, ""), kNoObject);
  AddItem(0, -1, "three");
  CloseContainer();
  ASSERT_NE(NewText(99, 0, 195, 50, 16, "after"), kNoObject);

  EXPECT_EQ(GetState(0), 0) << "the first page added stays selected";
  EXPECT_EQ(GetText(0), "one");
  const HWND tab = ControlOf(window, 0);
  const HWND page_one = GetParent(ControlOf(window, 1));
  const HWND page_two = GetParent(ControlOf(window, 11));
  EXPECT_EQ(GetParent(page_one), tab);
  EXPECT_NE(page_one, page_two);
  EXPECT_EQ(GetParent(ControlOf(window, 99)), window) << "CloseContainer returns to the window";
  EXPECT_TRUE(IsWindowVisible(page_one));
  EXPECT_FALSE(IsWindowVisible(page_two));

  SetState(0, 1);
  EXPECT_EQ(GetState(0), 1);
  EXPECT_FALSE(IsWindowVisible(page_one));
  EXPECT_FALSE(IsWindowEnabled(page_one));
  EXPECT_TRUE(IsWindowVisible(page_two));
  EXPECT_TRUE(IsWindowEnabled(page_two));

  SetText(0, "TWO");  // renames the selected page's tab, not the panel
  EXPECT_EQ(GetText(0), "TWO");
  SetState(0, 0);
  EXPECT_EQ(GetText(0), "one");
  EXPECT_EQ(WindowTextW(tab), L"");
  SetState(0, 9);  // no such page: nothing changes
  EXPECT_EQ(GetState(0), 0);
}

TEST_F(WidgetTest, FrameStylesAndTextAndFieldOptions) {
  const HWND window = OpenWindow(0);
  ASSERT_NE(NewFrame(50, 0, 0, 100, 100, "Devices", kFrameGroupBox), kNoObject);
  ASSERT_NE(NewFrame(51, 0, 0, 100, 100, "Switch on", kFrameSunken), kNoObject);
  ASSERT_NE(NewFrame(52, 0, 0, 100, 100, "edge", kFrameStaticEdge), kNoObject);
  ASSERT_NE(NewFrame(53, 0, 0, 100, 100, "plain", 7), kNoObject);
  const HWND group = ControlOf(window, 50);
  EXPECT_EQ(ClassOf(group), L"Button");
  EXPECT_EQ(StyleOf(group) & 0xF, BS_GROUPBOX);
  EXPECT_EQ(WindowTextW(group), L"Devices");
  EXPECT_EQ(WindowTextW(ControlOf(window, 51)), L"") << "a sunken frame shows no caption";
  EXPECT_TRUE(ExStyleOf(ControlOf(window, 51)) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(ExStyleOf(ControlOf(window, 52)) & WS_EX_STATICEDGE);
  EXPECT_TRUE(StyleOf(ControlOf(window, 53)) & WS_BORDER);
  EXPECT_EQ(GetState(50), 0);

  struct TextCase {
    int options;
    LONG_PTR align;
    bool sunken;
  };
  const TextCase texts[] = {{0, SS_LEFT, false},
                            {0x20000, SS_LEFT, true},
                            {0x20001, SS_CENTER, true},
                            {0x20801, SS_CENTER, true},
                            {0x2, SS_RIGHT, false}};
  int id = 60;
  for (const TextCase& c : texts) {
    ASSERT_NE(NewText(id, 0, 0, 50, 20, "t", c.options), kNoObject);
    const HWND text = ControlOf(window, id++);
    EXPECT_EQ(StyleOf(text) & SS_TYPEMASK, c.align) << c.options;
    EXPECT_EQ((StyleOf(text) & SS_SUNKEN) != 0, c.sunken) << c.options;
  }

  ASSERT_NE(NewStringField(9, 0, 0, 140, 40, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  ASSERT_NE(NewStringField(5, 0, 0, 130, 20, "name"), kNoObject);
  ASSERT_NE(NewStringField(8, 0, 0, 130, 20, "bare", kFieldNoBorder), kNoObject);
  const HWND display = ControlOf(window, 9);
  EXPECT_TRUE(StyleOf(display) & ES_CENTER);
  EXPECT_TRUE(StyleOf(display) & ES_READONLY);
  EXPECT_TRUE(StyleOf(display) & ES_AUTOHSCROLL);
  EXPECT_TRUE(ExStyleOf(display) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(StyleOf(ControlOf(window, 5)) & ES_READONLY);
  EXPECT_FALSE(ExStyleOf(ControlOf(window, 8)) & WS_EX_CLIENTEDGE);
  const std::string long_name(40, 'n');  // longer than the box: it scrolls, nothing is cut
  SetText(5, long_name);
  EXPECT_EQ(GetText(5), long_name);
}

// Counts the messages that change a control's text, as the control receives them.
struct TextWrites {
  UINT message;
  int count = 0;
  static LRESULT CALLBACK Count(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR self) {
    auto* writes = reinterpret_cast<TextWrites*>(self);
    if (msg == writes->message) ++writes->count;
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }
};

// A text that a place shows already is not sent to it again (it would only repaint); a changed
// one is, and so is the same text in another style.
TEST_F(WidgetTest, TheSameTextAgainIsNotSentToTheControl) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewPanel(0, 0, 100, 300, 100), 0);
  AddItem(0, -1, "page");
  CloseContainer();
  ASSERT_NE(NewStringField(9, 0, 0, 140, 20, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  ASSERT_NE(NewText(101, 0, 30, 55, 20, "OFF", 0x20801), kNoObject);
  ASSERT_NE(NewToggleButton(31, 0, 60, 130, 20, "1. Lamp", kToggleButtonOptions), kNoObject);
  ASSERT_EQ(NewStatusBar(0, window), 0);
  AddStatusField(118);
  const HWND bar = FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);

  struct Case {
    const char* place;
    HWND control;
    UINT message;
    std::function<void(const std::string&)> set;
  };
  const Case cases[] = {
      {"string field", ControlOf(window, 9), WM_SETTEXT, [](const std::string& t) { SetText(9, t); }},
      {"text", ControlOf(window, 101), WM_SETTEXT, [](const std::string& t) { SetText(101, t); }},
      {"toggle button", ControlOf(window, 31), WM_SETTEXT, [](const std::string& t) { SetText(31, t); }},
      {"panel page", ControlOf(window, 0), TCM_SETITEMW, [](const std::string& t) { SetText(0, t); }},
      {"status field", bar, SB_SETTEXTW, [](const std::string& t) { SetStatusText(0, 0, t, kStatusCentred); }},
  };
  for (const Case& c : cases) {
    TextWrites writes{c.message};
    ASSERT_TRUE(SetWindowSubclass(c.control, TextWrites::Count, 77, reinterpret_cast<DWORD_PTR>(&writes)));
    c.set("21.5");
    c.set("21.5");
    EXPECT_EQ(writes.count, 1) << c.place << ": the second, equal text is not sent";
    c.set("21.6");
    EXPECT_EQ(writes.count, 2) << c.place;
    RemoveWindowSubclass(c.control, TextWrites::Count, 77);
  }
  EXPECT_EQ(GetText(9), "21.6");
  EXPECT_EQ(GetText(0), "21.6");
  EXPECT_EQ(GetStatusText(0, 0), "21.6");
  // Changed behind the layer's back, then set to what the layer had set: that is a change.
  SendMessageW(bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"\tother"));
  SetStatusText(0, 0, "21.6", kStatusCentred);
  EXPECT_EQ(GetStatusText(0, 0), "21.6");
}

TEST_F(WidgetTest, FontsFromPointsAndTheirUse) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewFont(1, "Arial", 18, kFontBold), 1);
  ASSERT_EQ(NewFont(3, "Arial", 8), 3);
  ASSERT_EQ(NewFont(4, "Arial", 10, kFontItalic | kFontUnderline | kFontStrikeOut), 4);
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  struct Case {
    int font, points, weight;
    bool italic, underline, strike;
  };
  for (const Case& c : {Case{1, 18, FW_BOLD, false, false, false}, Case{3, 8, FW_NORMAL, false, false, false},
                        Case{4, 10, FW_NORMAL, true, true, true}}) {
    LOGFONTW log{};
    ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(FontHandle(c.font)), sizeof(log), &log), 0);
    EXPECT_EQ(log.lfHeight, -MulDiv(c.points, dpi, 72)) << c.font;
    EXPECT_EQ(log.lfWeight, c.weight);
    EXPECT_EQ(log.lfItalic != 0, c.italic);
    EXPECT_EQ(log.lfUnderline != 0, c.underline);
    EXPECT_EQ(log.lfStrikeOut != 0, c.strike);
    EXPECT_EQ(log.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(std::wstring(log.lfFaceName), L"Arial");
  }

  const auto gui_font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  auto font_of = [&](int id) { return static_cast<WPARAM>(SendMessageW(ControlOf(window, id), WM_GETFONT, 0, 0)); };
  ASSERT_NE(NewText(57, 0, 0, 8, 30, ":"), kNoObject);
  EXPECT_EQ(font_of(57), gui_font) << "new widgets get the platform's GUI font";
  SetWidgetFont(57, FontHandle(1));
  EXPECT_EQ(font_of(57), static_cast<WPARAM>(FontHandle(1)));
  ASSERT_NE(NewText(101, 0, 0, 55, 20, "OFF", 0x20801), kNoObject);
  SetWidgetFont(101, 256);  // names no font
  EXPECT_EQ(font_of(101), gui_font);
  SetWidgetFont(57, kDefaultGuiFont);
  EXPECT_EQ(font_of(57), gui_font);

  SetWidgetFont(-1, FontHandle(3));  // default for widgets created from now on
  ASSERT_NE(NewText(85, 0, 0, 10, 20, "C"), kNoObject);
  EXPECT_EQ(font_of(85), static_cast<WPARAM>(FontHandle(3)));

  // Replacing a font that a widget uses leaves the widget with a live font, never a deleted one.
  ASSERT_EQ(NewFont(3, "Arial", 9), 3);
  EXPECT_EQ(font_of(85), gui_font);
  ASSERT_NE(NewText(86, 0, 0, 10, 20, "C"), kNoObject);
  EXPECT_EQ(font_of(86), gui_font);
}

// What the control's parent answers to the control's colour request.
struct Painted {
  COLORREF text;
  COLORREF background;
  HBRUSH brush;
};

Painted AskColours(HWND control, UINT request) {
  const HDC dc = CreateCompatibleDC(nullptr);
  SetTextColor(dc, RGB(1, 2, 3));
  SetBkColor(dc, RGB(4, 5, 6));
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(control), request, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  Painted painted{GetTextColor(dc), GetBkColor(dc), brush};
  DeleteDC(dc);
  return painted;
}

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH log{};
  GetObjectW(brush, sizeof(log), &log);
  return log.lbColor;
}

TEST_F(WidgetTest, ColoursOfTextsAndFields) {
  EXPECT_EQ(MakeColor(85, 85, 255), 85 + 256 * 85 + 65536 * 255);
  EXPECT_EQ(static_cast<COLORREF>(MakeColor(255, 127, 127)), RGB(255, 127, 127));
  const HWND window = OpenWindow(0);
  ASSERT_NE(NewText(39, 0, 0, 50, 15, "on"), kNoObject);
  ASSERT_NE(NewText(65, 0, 20, 97, 130, "", kTextSunken), kNoObject);
  ASSERT_NE(NewStringField(9, 0, 160, 140, 40, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  ASSERT_NE(NewStringField(5, 0, 200, 140, 20, "name"), kNoObject);
  ASSERT_NE(NewCheckBox(1, 200, 0, 15, 16, ""), kNoObject);

  SetWidgetColor(39, kTextColour, MakeColor(0, 0, 223));
  Painted p = AskColours(ControlOf(window, 39), WM_CTLCOLORSTATIC);
  EXPECT_EQ(p.text, RGB(0, 0, 223));
  EXPECT_EQ(p.background, GetSysColor(COLOR_BTNFACE)) << "a text with only a text colour sits on button face";
  EXPECT_EQ(BrushColour(p.brush), GetSysColor(COLOR_BTNFACE));

  SetWidgetColor(65, kBackgroundColour, MakeColor(85, 85, 255));
  p = AskColours(ControlOf(window, 65), WM_CTLCOLORSTATIC);
  EXPECT_EQ(p.background, RGB(85, 85, 255));
  EXPECT_EQ(BrushColour(p.brush), RGB(85, 85, 255));
  EXPECT_EQ(p.text, RGB(1, 2, 3)) << "no text colour set: the control's own";

  SetWidgetColor(9, kTextColour, MakeColor(0, 0, 223));  // read-only fields ask as statics do
  p = AskColours(ControlOf(window, 9), WM_CTLCOLORSTATIC);
  EXPECT_EQ(p.text, RGB(0, 0, 223));
  EXPECT_EQ(p.background, GetSysColor(COLOR_BTNHIGHLIGHT));
  SetWidgetColor(5, kTextColour, MakeColor(255, 0, 0));
  SetWidgetColor(5, kBackgroundColour, MakeColor(255, 255, 255));
  p = AskColours(ControlOf(window, 5), WM_CTLCOLOREDIT);
  EXPECT_EQ(p.text, RGB(255, 0, 0));
  EXPECT_EQ(p.background, RGB(255, 255, 255));

  ASSERT_NE(NewText(40, 0, 0, 50, 15, "plain"), kNoObject);
  const Painted plain = AskColours(ControlOf(window, 40), WM_CTLCOLORSTATIC);
  SetWidgetColor(39, kTextColour, kDefaultColour);  // back to the platform's look
  p = AskColours(ControlOf(window, 39), WM_CTLCOLORSTATIC);
  EXPECT_EQ(p.text, plain.text);
  EXPECT_EQ(p.background, plain.background);
  const Painted box = AskColours(ControlOf(window, 1), WM_CTLCOLORBTN);
  SetWidgetColor(1, kTextColour, MakeColor(255, 0, 0));  // check boxes take no colours
  p = AskColours(ControlOf(window, 1), WM_CTLCOLORBTN);
  EXPECT_EQ(p.text, box.text);
}

// Windows-1251 bytes of the texts the program shows.
const std::string kExit = "\xC2\xFB\xF5\xEE\xE4";  // "Выход"
const std::string kDegreesCyrillic = "\xB0\xD1";   // "°С", Cyrillic Es
const std::string kAuto =
    " \xC0\xE2\xF2\xEE\xEC\xE0\xF2 \xB0"
    "C ";  // " Автомат °C ", Latin C

TEST_F(EncodingTest, TextsReachTheControlsAsUnicodeAndComeBackAsTheSameBytes) {
  const HWND window = OpenWindow(0);
  EXPECT_EQ(WidenText(kExit), L"\x0412\x044B\x0445\x043E\x0434");
  EXPECT_EQ(WidenText(kDegreesCyrillic), L"\x00B0\x0421");
  EXPECT_EQ(NarrowText(L"\x00B0\x0421"), kDegreesCyrillic);
  EXPECT_EQ(NarrowText(L"\x4E2D"), "?") << "no Windows-1251 form";

  ASSERT_NE(NewText(85, 0, 0, 30, 20, kDegreesCyrillic), kNoObject);
  EXPECT_EQ(WindowTextW(ControlOf(window, 85)), L"\x00B0\x0421");
  EXPECT_EQ(GetText(85), kDegreesCyrillic);

  ASSERT_NE(NewStringField(5, 0, 30, 130, 20, ""), kNoObject);
  SetWindowTextW(ControlOf(window, 5), L"\x041B\x0430\x043C\x043F\x0430");  // typed by the user: "Лампа"
  EXPECT_EQ(GetText(5), "\xCB\xE0\xEC\xEF\xE0");

  ASSERT_EQ(NewPanel(0, 0, 60, 200, 100), 0);
  AddItem(0, -1, kAuto);
  CloseContainer();
  EXPECT_EQ(GetText(0), kAuto);

  ASSERT_NE(NewComboBox(41, 0, 170, 60, 20), kNoObject);
  AddItem(41, -1, kExit);
  SetState(41, 0);
  EXPECT_EQ(GetText(41), kExit);

  ASSERT_EQ(NewStatusBar(0, window), 0);
  AddStatusField(118);
  SetStatusText(0, 0, "USB \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED", kStatusCentred);  // "USB подключен"
  EXPECT_EQ(GetStatusText(0, 0), "USB \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED");

  ASSERT_EQ(NewPopupMenu(0), 0);
  AddMenuItem(6, kExit);
  EXPECT_EQ(GetMenuItemLabel(0, 6), kExit);

  SetWindowTextW(window, L"");
  ASSERT_EQ(NewWindow(1, 0, 0, 100, 40, kExit, kWindowHidden), 1);
  EXPECT_EQ(WindowTextW(NativeWindowHandle(1)), L"\x0412\x044B\x0445\x043E\x0434");
}

// The suite runs twice, with a Russian and with an English system code page; this makes sure the
// second run really is one (the layer's texts must not depend on it).
TEST(SystemCodePage, IsTheOneThisRunAskedFor) {
  const char* expected = std::getenv("QX_EXPECT_ACP");
  if (!expected) GTEST_SKIP() << "run without QX_EXPECT_ACP";
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

}  // namespace
}  // namespace qx::test
