// The numbered-object rules: missing numbers do nothing, re-use destroys, anonymous handles,
// and a window taking its widgets with it.

#include <windows.h>

#include "tests/win32/layer_test_support.h"

namespace qx::test {
namespace {

using RegistryTest = LayerTest;

TEST_F(RegistryTest, OperationsOnMissingNumbersDoNothingAndReturnZero) {
  OpenWindow(0);
  ASSERT_NE(NewCheckBox(1, 10, 10, 15, 16, ""), kNoObject);
  for (int missing : {2, 75, 5000, -7}) {
    SCOPED_TRACE(missing);
    SetState(missing, 1);
    SetText(missing, "x");
    SetWidgetColor(missing, kTextColour, 0);
    SetWidgetFont(missing, kDefaultGuiFont);
    AddItem(missing, -1, "x");
    SetTopmost(missing, 1);
    SetWindowHidden(missing, 0);
    ChangeWindowState(missing, kWindowStateMaximized);
    ActivateWindow(missing);
    SetStatusText(missing, 0, "x", kStatusCentred);
    SetMenuItemLabel(missing, 1, "x");
    SetTrayToolTip(missing, "x");
    EXPECT_EQ(GetState(missing), 0);
    EXPECT_EQ(GetText(missing), "");
    EXPECT_EQ(FontHandle(missing), 0);
    EXPECT_EQ(NativeWindowHandle(missing), nullptr);
    EXPECT_EQ(GetStatusText(missing, 0), "");
    EXPECT_EQ(GetMenuItemLabel(missing, 1), "");
    EXPECT_EQ(GetTrayToolTip(missing), "");
  }
  // The families are separate: window 0 is no widget 0, check box 1 no window 1.
  EXPECT_EQ(GetText(0), "");
  EXPECT_EQ(NativeWindowHandle(1), nullptr);
  EXPECT_EQ(GetState(1), 0);
}

TEST_F(RegistryTest, CreatingUnderAUsedNumberDestroysTheOldObject) {
  const HWND first_window = OpenWindow(0);
  ASSERT_NE(NewStringField(5, 10, 10, 100, 20, "old"), kNoObject);
  const HWND first_field = ControlOf(first_window, 5);
  ASSERT_NE(NewStringField(5, 10, 40, 100, 20, "new"), kNoObject);
  EXPECT_FALSE(IsWindow(first_field));
  EXPECT_EQ(GetText(5), "new");

  ASSERT_EQ(NewFont(1, "Arial", 10), 1);
  const auto first_font = reinterpret_cast<HGDIOBJ>(FontHandle(1));
  ASSERT_EQ(NewFont(1, "Arial", 12), 1);
  EXPECT_NE(reinterpret_cast<HGDIOBJ>(FontHandle(1)), first_font);
  EXPECT_EQ(GetObjectType(first_font), 0u) << "the replaced font is deleted";

  OpenWindow(0);
  EXPECT_FALSE(IsWindow(first_window));
  EXPECT_EQ(GetText(5), "") << "the window's widgets went with it";
}

TEST_F(RegistryTest, AnonymousObjectsGetDistinctHandlesUsableAsNumbers) {
  OpenWindow(0);
  const int a = NewText(-1, 0, 0, 50, 20, "a");
  const int b = NewText(-1, 0, 30, 50, 20, "b");
  EXPECT_LT(a, -1);
  EXPECT_LT(b, -1);
  EXPECT_NE(a, b);
  EXPECT_EQ(GetText(a), "a");
  SetText(b, "bb");
  EXPECT_EQ(GetText(b), "bb");
  EXPECT_EQ(NewFrame(-2, 0, 0, 10, 10, "", 0), kNoObject) << "numbers below -1 name no slot";
}

TEST_F(RegistryTest, WidgetNumbersAreSharedByAllWindows) {
  // After a second window has been opened, a widget created under a number that named a widget of
  // the first window replaces it and is placed in the second window at the given position.
  const HWND main = OpenWindow(0);
  ASSERT_NE(NewCheckBox(103, 10, 10, 15, 16, ""), kNoObject);
  const HWND old_box = ControlOf(main, 103);
  const HWND second = OpenWindow(1);
  ASSERT_NE(NewStringField(103, 3, 3, 105, 32, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  EXPECT_FALSE(IsWindow(old_box));
  const HWND field = ControlOf(second, 103);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(GetParent(field), second);
  RECT rect{};
  GetWindowRect(field, &rect);
  MapWindowPoints(nullptr, second, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 3);
  EXPECT_EQ(rect.top, 3);
  EXPECT_EQ(GetText(103), "OFF");
}

TEST_F(RegistryTest, FailedCreateLeavesTheOldWidgetInPlace) {
  OpenWindow(0);
  ASSERT_NE(NewCheckBox(7, 10, 10, 15, 16, ""), kNoObject);
  SetState(7, 1);
  // Window 1 takes the current widget list; re-opening it without a list leaves no current list.
  OpenWindow(1);
  ASSERT_EQ(NewWindow(1, 0, 0, 50, 50, "no list", kWindowNoWidgetList | kWindowHidden), 1);
  EXPECT_EQ(NewCheckBox(7, 10, 40, 15, 16, ""), kNoObject);
  EXPECT_EQ(GetState(7), 1);
}

TEST_F(RegistryTest, DestroyingAPanelTakesTheWidgetsOnItsPages) {
  OpenWindow(0);
  ASSERT_EQ(NewPanel(0, 8, 8, 300, 180), 0);
  AddItem(0, -1, "one");
  ASSERT_NE(NewCheckBox(1, 10, 10, 15, 16, ""), kNoObject);
  AddItem(0, -1, "two");
  ASSERT_NE(NewText(2, 10, 10, 50, 16, "two"), kNoObject);
  CloseContainer();
  ASSERT_NE(NewText(3, 10, 200, 50, 16, "outside"), kNoObject);
  ASSERT_NE(NewText(0, 8, 8, 50, 16, "replaces the panel"), kNoObject);
  EXPECT_EQ(GetText(2), "");
  SetState(1, 1);
  EXPECT_EQ(GetState(1), 0);
  EXPECT_EQ(GetText(3), "outside");
}

TEST_F(RegistryTest, ShutdownReleasesEverythingAndTheLayerCanStartAgain) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewFont(2, "Arial", 22, kFontBold), 2);
  const auto font = reinterpret_cast<HGDIOBJ>(FontHandle(2));
  ASSERT_NE(NewText(9, 0, 0, 50, 20, "x"), kNoObject);
  ASSERT_EQ(NewPopupMenu(0), 0);
  ASSERT_EQ(NewStatusBar(0, window), 0);
  ShutdownWindowLayer();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(GetObjectType(font), 0u);
  EXPECT_EQ(NativeWindowHandle(0), nullptr);
  EXPECT_EQ(GetText(9), "");
  EXPECT_EQ(FontHandle(2), 0);
  ShutdownWindowLayer();  // twice is harmless
  OpenWindow(0);
  EXPECT_NE(NativeWindowHandle(0), nullptr);
}

}  // namespace
}  // namespace qx::test
