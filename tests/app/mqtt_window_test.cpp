// The MQTT window in the running program: opened from the tray menu, a bad field refused with a
// box and nothing saved, good fields saved at once (the password only as its blob), the status
// line following the bridge, and its close box acting on it alone.

#include <fstream>
#include <sstream>

#include "app/ui_texts.h"
#include "automation/settings_file.h"
#include "mqtt/connection_status.h"
#include "program_test_support.h"

namespace qx::test {
namespace {

// "Связь с Home Assistant (MQTT)".
constexpr wchar_t kMqttTitleWide[] = L"\u0421\u0432\u044f\u0437\u044c \u0441 Home Assistant (MQTT)";

std::string SettingsFileText() {
  std::ifstream file(kSettingsFileName, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class MqttWindowTest : public ProgramTest {
 protected:
  HWND OpenMqtt() {
    PostMessageW(main_, WM_COMMAND, kMqttItem, 0);
    RunPosted();
    return NativeWindowHandle(kMqttWindow);
  }

  void Type(HWND window, int widget, const wchar_t* text) {
    SendMessageW(ControlOf(window, widget), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }

  void Apply(HWND window) {
    PostMessageW(ControlOf(window, kMqttApplyButton), BM_CLICK, 0, 0);
    RunPosted();
  }
};

TEST_F(MqttWindowTest, ItemNineOpensItAndApplySavesAtOnce) {
  Start();
  ASSERT_EQ(GetMenuItemLabel(kPopupMenu, kMqttItem), ui::kMqttItem);
  EXPECT_EQ(GetMenuItemLabel(kPopupMenu, kHistoryItem), ui::kHistoryItem) << "item 7 keeps its place";
  switch_->ClearOutputReports(0);
  HWND window = OpenMqtt();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(WindowsTitled(kMqttTitleWide), 1);
  EXPECT_TRUE(GetWindowLongW(ControlOf(window, kMqttPasswordField), GWL_STYLE) & ES_PASSWORD);
  EXPECT_EQ(GetText(kMqttStatusText), ConnectionStatusText({})) << "\"Выключено\"";
  EXPECT_EQ(GetText(kMqttPrefixField), kDefaultDiscoveryPrefix);
  EXPECT_EQ(GetText(kMqttNoticeText), ui::kMqttUnencrypted);
  // Every text fits its widget: the labels were sized from their measured widths.
  for (int widget : {kMqttEnableBox, kMqttServerLabel, kMqttPortLabel, kMqttUserLabel, kMqttPasswordLabel,
                     kMqttPrefixLabel, kMqttNodeLabel, kMqttApplyButton, kMqttNoticeText}) {
    RECT box{};
    GetClientRect(ControlOf(window, widget), &box);
    EXPECT_GE(box.right, TextWidth(widget)) << widget;
  }

  // A bad field: one box naming it, nothing saved, nothing switched on.
  const int boxes = boxes_->Answered();
  SendMessageW(ControlOf(window, kMqttEnableBox), BM_SETCHECK, BST_CHECKED, 0);
  Type(window, kMqttServerField, L"127.0.0.1");
  Type(window, kMqttPortField, L"1");
  Type(window, kMqttNodeField, L"pc.home");
  Apply(window);
  EXPECT_EQ(boxes_->Answered(), boxes + 1);
  EXPECT_EQ(SettingsFileText().find("[MQTT]"), std::string::npos);
  EXPECT_FALSE(program_->mqtt_settings.enabled);

  // Good fields: saved at once, the password as its blob, the box emptied, the link tried.
  Type(window, kMqttNodeField, L"Test-Node");
  Type(window, kMqttUserField, L"ha");
  Type(window, kMqttPasswordField, L"s3cret-\u20AC");  // a character the file's code page would not keep as it is
  Apply(window);
  EXPECT_EQ(boxes_->Answered(), boxes + 1);
  const std::string saved = SettingsFileText();
  EXPECT_NE(saved.find("[MQTT]"), std::string::npos) << saved;
  EXPECT_NE(saved.find("test-node"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("s3cret"), std::string::npos) << "the password is in the file in clear";
  EXPECT_TRUE(program_->mqtt_settings.enabled);
  EXPECT_FALSE(program_->mqtt_settings.password.empty());
  EXPECT_EQ(GetText(kMqttPasswordField), "") << "the stored password is never shown";
  EXPECT_EQ(GetText(kMqttNodeField), "test-node");
  // Port 1 here refuses: the status line leaves "Выключено" and follows the bridge's state.
  ASSERT_TRUE(RunUntil(
      [&] {
        return program_->mqtt && GetText(kMqttStatusText) != ConnectionStatusText({}) &&
               GetText(kMqttStatusText) == ConnectionStatusText(program_->mqtt->Status());
      },
      10000))
      << GetText(kMqttStatusText);
  EXPECT_EQ(program_->mqtt->Status().host, "127.0.0.1");
  EXPECT_EQ(program_->mqtt->Status().port, 1);
  EXPECT_TRUE(Reports().empty()) << "the window switches nothing";

  // Its close box closes it alone.
  PostMessageW(window, WM_CLOSE, 0, 0);
  RunPosted();
  EXPECT_FALSE(loop_ended_);
  EXPECT_EQ(NativeWindowHandle(kMqttWindow), nullptr);
  EXPECT_EQ(WindowsTitled(kMqttTitleWide), 0);
  // Switched off from a new window: "Выключено" again, saved at once.
  window = OpenMqtt();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetState(kMqttEnableBox), 1);
  SendMessageW(ControlOf(window, kMqttEnableBox), BM_SETCHECK, BST_UNCHECKED, 0);
  Apply(window);
  EXPECT_FALSE(program_->mqtt_settings.enabled);
  EXPECT_EQ(SettingsFileText().find("\r\n\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1"), std::string::npos);
  ASSERT_TRUE(RunUntil([&] { return GetText(kMqttStatusText) == ConnectionStatusText({}); }, 5000));
}

// The DPI runs (app_dpi_layout_*) take this one too: at each DPI every text of the window fits
// its control, as measured in the control's own font, the status line at its longest included.
class MqttWindowDpiTest : public MqttWindowTest {
 protected:
  static int TextPixels(HWND control) {
    wchar_t text[256] = {};
    const int length = GetWindowTextW(control, text, 256);
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text, length, &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
  }
};

TEST_F(MqttWindowDpiTest, NoTextIsCut) {
  Start();
  HWND window = OpenMqtt();
  ASSERT_NE(window, nullptr);
  SetText(kMqttStatusText, ConnectionStatusText({ConnectionStatus::State::kWaiting, "192.168.100.100", 65535,
                                                 ConnectionError::kAuth, 60}));
  for (int widget : {kMqttServerLabel, kMqttPortLabel, kMqttUserLabel, kMqttPasswordLabel, kMqttPrefixLabel,
                     kMqttNodeLabel, kMqttStatusText, kMqttNoticeText}) {
    RECT box{};
    GetClientRect(ControlOf(window, widget), &box);
    EXPECT_GE(box.right, TextPixels(ControlOf(window, widget))) << "widget " << widget;
  }
  // The check box's text beside its square, the button's inside its edges.
  RECT box{};
  GetClientRect(ControlOf(window, kMqttEnableBox), &box);
  EXPECT_GE(box.right, TextPixels(ControlOf(window, kMqttEnableBox)) + GetSystemMetrics(SM_CXMENUCHECK));
  GetClientRect(ControlOf(window, kMqttApplyButton), &box);
  EXPECT_GE(box.right, TextPixels(ControlOf(window, kMqttApplyButton)) + 2 * GetSystemMetrics(SM_CXEDGE));
  // And the window holds them all.
  RECT client{};
  GetClientRect(window, &client);
  for (int widget : {kMqttPortField, kMqttStatusText, kMqttNoticeText, kMqttNodeField}) {
    RECT placed{};
    GetWindowRect(ControlOf(window, widget), &placed);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_LE(placed.right, client.right) << "widget " << widget;
    EXPECT_LE(placed.bottom, client.bottom) << "widget " << widget;
  }
}

}  // namespace
}  // namespace qx::test
