#include "app/mqtt_window.h"

#include <algorithm>

#include "app/mqtt_setup.h"
#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "automation/settings_file.h"
#include "mqtt/connection_status.h"
#include "mqtt/password_store.h"
#include "mqtt/settings_form.h"
#include "runtime/text.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

// Pixels at 96 DPI. The labels' column, the check box, the button and the window's width follow
// from the texts' measured widths, so no text is cut at any DPI or in any font.
constexpr int kMargin = 10;
constexpr int kGap = 8;
constexpr int kRowHeight = 30;
constexpr int kControlHeight = 22;
constexpr int kTextHeight = 16;
constexpr int kFieldWidth = 240;
constexpr int kPortWidth = 72;
constexpr int kBoxWidth = 22;       // a check box's square and the space after it
constexpr int kButtonPadding = 28;  // a button's text and its borders
constexpr int kMinButtonWidth = 96;

constexpr int kMqttWindowOptions =
    kWindowCentred | kWindowCaption | kWindowSystemMenu | kWindowMinimizeBox | kWindowHidden;

struct FieldRow {
  int label, field;
  const char* text;
};
// Top to bottom under the check box; the port sits beside the server.
constexpr FieldRow kFieldRows[] = {
    {kMqttServerLabel, kMqttServerField, ui::kMqttServer},
    {kMqttUserLabel, kMqttUserField, ui::kMqttUser},
    {kMqttPasswordLabel, kMqttPasswordField, ui::kMqttPassword},
    {kMqttPrefixLabel, kMqttPrefixField, ui::kMqttPrefix},
    {kMqttNodeLabel, kMqttNodeField, ui::kMqttNode},
};

bool IsOpen() {
  return NativeWindowHandle(kMqttWindow) != nullptr;
}

void ShowSettings(const MqttSettings& settings) {
  SetState(kMqttEnableBox, settings.enabled ? 1 : 0);
  SetText(kMqttServerField,
          settings.server.find(':') != std::string::npos ? Concatenate("[", settings.server, "]") : settings.server);
  SetState(kMqttPortField, settings.port);
  SetText(kMqttUserField, settings.user);
  // Never the stored password: an empty box keeps it.
  SetText(kMqttPasswordField, "");
  SetText(kMqttPrefixField, settings.prefix);
  SetText(kMqttNodeField, settings.node);
}

// Places every widget from the measured texts and sizes the window around them.
void LayOutWindow() {
  int label_width = 0;
  for (const FieldRow& row : kFieldRows) label_width = std::max(label_width, TextWidth(row.label));
  const int field_x = kMargin + label_width + kGap;
  const int port_label_width = TextWidth(kMqttPortLabel);
  const int right = field_x + kFieldWidth + 2 * kGap + port_label_width + kGap + kPortWidth;
  // The widest the status line gets, for a long address.
  const std::string status = GetText(kMqttStatusText);
  SetText(kMqttStatusText, ConnectionStatusText({ConnectionStatus::State::kWaiting, "192.168.100.100", 65535,
                                                 ConnectionError::kAuth, 60}));
  const int status_width = TextWidth(kMqttStatusText);
  SetText(kMqttStatusText, status);
  const int notice_width = TextWidth(kMqttNoticeText);
  const int width = std::max({right, kMargin + status_width, kMargin + notice_width}) + kMargin;
  const int field_width = width - kMargin - field_x;

  const auto control_top = [](int row) { return kMargin + row * kRowHeight; };
  const auto text_top = [](int row) { return kMargin + row * kRowHeight + (kControlHeight - kTextHeight) / 2; };
  ResizeWidget(kMqttEnableBox, kMargin, control_top(0), TextWidth(kMqttEnableBox) + kBoxWidth, kControlHeight);
  int row = 1;
  for (const FieldRow& field : kFieldRows) {
    ResizeWidget(field.label, kMargin, text_top(row), label_width, kTextHeight);
    const bool server = field.field == kMqttServerField;
    ResizeWidget(field.field, field_x, control_top(row), server ? kFieldWidth : field_width, kControlHeight);
    if (server) {
      const int port_label_x = field_x + kFieldWidth + 2 * kGap;
      ResizeWidget(kMqttPortLabel, port_label_x, text_top(row), port_label_width, kTextHeight);
      ResizeWidget(kMqttPortField, width - kMargin - kPortWidth, control_top(row), kPortWidth, kControlHeight);
    }
    ++row;
  }
  const int button_width = std::max(kMinButtonWidth, TextWidth(kMqttApplyButton) + kButtonPadding);
  ResizeWidget(kMqttApplyButton, field_x, control_top(row) + 4, button_width, kControlHeight + 4);
  row += 1;
  ResizeWidget(kMqttStatusText, kMargin, text_top(row) + 8, width - 2 * kMargin, kTextHeight);
  row += 1;
  ResizeWidget(kMqttNoticeText, kMargin, text_top(row) + 4, width - 2 * kMargin, kTextHeight);
  ResizeWindowClient(kMqttWindow, width, control_top(row) + kControlHeight + kMargin);
}

const char* FieldLabel(MqttFormField field) {
  switch (field) {
    case MqttFormField::kServer:
      return ui::kMqttServer;
    case MqttFormField::kPort:
      return ui::kMqttPort;
    case MqttFormField::kUser:
      return ui::kMqttUser;
    case MqttFormField::kPrefix:
      return ui::kMqttPrefix;
    default:
      return ui::kMqttNode;
  }
}

void Refuse(const char* label) {
  ShowMessageBox(ui::kMqttTitle, Concatenate(ui::kMqttBadField, label, ui::kMqttBadFieldEnd), kWarningBox);
}

// "Применить": the fields become the settings, which are saved and handed to the bridge.
void ApplyFields(Program& program) {
  const MqttFormFields fields{GetState(kMqttEnableBox) == 1, GetTextUtf8(kMqttServerField),
                              GetTextUtf8(kMqttPortField),   GetTextUtf8(kMqttUserField),
                              GetTextUtf8(kMqttPrefixField), GetTextUtf8(kMqttNodeField)};
  const MqttFormResult form = SettingsFromForm(program.mqtt_settings, fields, ComputerHostName());
  if (!form.settings) return Refuse(FieldLabel(form.bad));
  MqttSettings settings = *form.settings;
  std::optional<std::string> password;
  const std::string typed = GetTextUtf8(kMqttPasswordField);
  if (!typed.empty()) {
    settings.password = ProtectMqttPassword(typed);
    if (settings.password.empty()) return Refuse(ui::kMqttPassword);
    password = typed;
  }
  if (!ChangeMqttSettings(program, settings, std::move(password))) {
    ShowFileMessageBox(ui::kMainTitle, ui::kSettingsNotSaved, kSettingsFileName, kWarningBox);
  }
  // The node may have been fixed just now; the password box empties.
  ShowSettings(program.mqtt_settings);
  RefreshMqttStatus(program);
}

}  // namespace

void ShowMqttWindow(const Program& program) {
  if (IsOpen()) {
    SetWindowHidden(kMqttWindow, 0);
    ChangeWindowState(kMqttWindow, kWindowStateNormal);
    ActivateWindow(kMqttWindow);
    return;
  }
  if (NewWindow(kMqttWindow, 0, 0, 480, 320, ui::kMqttTitle, kMqttWindowOptions) == kNoObject) return;
  NewCheckBox(kMqttEnableBox, 0, 0, 1, 1, ui::kSwitchOn);
  for (const FieldRow& row : kFieldRows) {
    NewText(row.label, 0, 0, 1, 1, row.text);
    NewStringField(row.field, 0, 0, 1, 1, "", row.field == kMqttPasswordField ? kFieldPassword : 0);
    if (row.field == kMqttServerField) {
      NewText(kMqttPortLabel, 0, 0, 1, 1, ui::kMqttPort);
      NewSpinField(kMqttPortField, 0, 0, 1, 1, 1, 65535, kSpinNumeric);
    }
  }
  NewButton(kMqttApplyButton, 0, 0, 1, 1, ui::kMqttApply);
  NewText(kMqttStatusText, 0, 0, 1, 1, "");
  NewText(kMqttNoticeText, 0, 0, 1, 1, ui::kMqttUnencrypted);
  LayOutWindow();
  ShowSettings(program.mqtt_settings);
  RefreshMqttStatus(program);
  SetWindowHidden(kMqttWindow, 0);
}

bool OnMqttGadgetEvent(Program& program, int widget) {
  if (widget < kMqttEnableBox || widget > kMqttNoticeText) return false;
  if (widget == kMqttApplyButton && IsOpen()) ApplyFields(program);
  return true;
}

bool OnMqttWindowEvent(int kind, int window) {
  if (window != kMqttWindow || kind != CloseEvent) return false;
  if (IsOpen()) FreeWindow(kMqttWindow);
  return true;
}

void RefreshMqttStatus(const Program& program) {
  if (!IsOpen()) return;
  const std::string text = ConnectionStatusText(ReadMqttLinkStatus(program).connection);
  if (GetText(kMqttStatusText) != text) SetText(kMqttStatusText, text);
}

}  // namespace qx
