#include "app/main_window.h"

#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

constexpr int kRows[kOutletCount] = {30, 60, 90, 120};  // y of the outlet rows on tabs 1 and 2

void BuildOutletsTab(const OutletNames& names) {
  AddItem(kPanel, -1, ui::kMainTab);
  NewFrame(-1, 4, 6, 170, 144, ui::kOutletsFrame, kFrameGroupBox);
  NewFrame(-1, 174, 6, 159, 144, ui::kTemperatureFrame, kFrameGroupBox);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewCheckBox(OutletCheckBox(outlet), 10, kRows[outlet - 1], 15, 16, "");
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewText(NumberLabel(outlet), 27, kRows[outlet - 1] + 1, 35, 20, Concatenate(DecimalText(outlet), ". "));
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewStringField(NameField(outlet), 38, kRows[outlet - 1] - 3, 130, 20, names[outlet - 1].Read());
  }
  NewStringField(kTemperatureDisplay, 183, 60, 140, 40, ui::kNoReading, kFieldCentred | kFieldReadOnly);
  SetWidgetFont(kTemperatureDisplay, FontHandle(kHugeFont));
  SetWidgetColor(kTemperatureDisplay, kTextColour, MakeColor(0, 0, 223));
}

void BuildPolicyTab(const OutletNames& names) {
  AddItem(kPanel, -1, ui::kPolicyTab);
  NewFrame(-1, 4, 6, 163, 144, ui::kStartupFrame, kFrameGroupBox);
  NewFrame(-1, 170, 6, 163, 144, ui::kExitFrame, kFrameGroupBox);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewCheckBox(StartupBox(outlet), 10, kRows[outlet - 1], 15, 16, "");
    NewCheckBox(ExitBox(outlet), 174, kRows[outlet - 1], 15, 16, "");
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewText(StartupLabel(outlet), 30, kRows[outlet - 1], 130, 20, OutletLabel(outlet, names[outlet - 1]));
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewText(ExitLabel(outlet), 194, kRows[outlet - 1], 130, 20, OutletLabel(outlet, names[outlet - 1]));
  }
}

void BuildScheduleTab(const OutletNames& names) {
  constexpr int kLabelRows[kOutletCount] = {33, 63, 95, 125};
  constexpr int kBoxRows[kOutletCount] = {30, 61, 92, 123};
  constexpr int kSeparatorRows[kOutletCount] = {23, 54, 85, 116};

  AddItem(kPanel, -1, ui::kScheduleTab);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewText(ScheduleLabel(outlet), 5, kLabelRows[outlet - 1], 130, 20, OutletLabel(outlet, names[outlet - 1]));
  }
  NewText(kSwitchOnHeading, 162, 5, 50, 15, ui::kSwitchOn);
  SetWidgetColor(kSwitchOnHeading, kTextColour, MakeColor(0, 0, 223));
  NewText(kSwitchOffHeading, 260, 5, 60, 15, ui::kSwitchOff);
  SetWidgetColor(kSwitchOffHeading, kTextColour, MakeColor(255, 0, 0));
  // The column frames are sunken rectangles; their captions are never drawn, the texts above
  // them are the headings.
  NewFrame(-1, 140, 20, 95, 130, ui::kSwitchOn, kFrameSunken);
  NewFrame(-1, 240, 20, 95, 130, ui::kSwitchOff, kFrameSunken);

  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewComboBox(SwitchOnHourBox(outlet), 146, kBoxRows[outlet - 1], 37, 20);
    NewComboBox(SwitchOnMinuteBox(outlet), 194, kBoxRows[outlet - 1], 37, 20);
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewComboBox(SwitchOffHourBox(outlet), 246, kBoxRows[outlet - 1], 37, 20);
    NewComboBox(SwitchOffMinuteBox(outlet), 294, kBoxRows[outlet - 1], 37, 20);
  }
  // Item 0 is "not set"; an hour h is item h + 1, a minute m item m + 1.
  for (int box = kFirstScheduleWidget; box <= kLastScheduleBox; ++box) AddItem(box, -1, "");
  for (int hour = 0; hour < 24; ++hour) {
    for (int rule = 0; rule < kScheduleRuleCount; ++rule) AddItem(ScheduleHourBox(rule), -1, TwoDigits(hour));
  }
  for (int minute = 0; minute < 60; ++minute) {
    for (int rule = 0; rule < kScheduleRuleCount; ++rule) AddItem(ScheduleMinuteBox(rule), -1, TwoDigits(minute));
  }
  for (int box = kFirstScheduleWidget; box <= kLastScheduleBox; ++box) SetState(box, 0);

  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewText(SwitchOnColon(outlet), 185, kSeparatorRows[outlet - 1], 8, 30, ":");
    SetWidgetFont(SwitchOnColon(outlet), FontHandle(kLargeFont));
    NewText(SwitchOffColon(outlet), 285, kSeparatorRows[outlet - 1], 8, 30, ":");
    SetWidgetFont(SwitchOffColon(outlet), FontHandle(kLargeFont));
  }
}

void BuildThermostatTab(const OutletNames& names) {
  constexpr int kButtonRows[kOutletCount] = {30, 60, 91, 124};
  constexpr int kFieldRows[kOutletCount] = {29, 60, 91, 122};
  constexpr int kUnitRows[kOutletCount] = {32, 63, 94, 125};
  const int on_colour = MakeColor(85, 85, 255);
  const int off_colour = MakeColor(255, 127, 127);

  AddItem(kPanel, -1, ui::kThermostatTab);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewToggleButton(ThermostatButton(outlet), 5, kButtonRows[outlet - 1], 130, 20,
                    OutletLabel(outlet, names[outlet - 1]), kToggleButtonOptions);
  }
  NewText(kSwitchOnBandBackground, 140, 20, 97, 130, "", kTextSunken);
  SetWidgetColor(kSwitchOnBandBackground, kBackgroundColour, on_colour);
  NewText(kSwitchOffBandBackground, 238, 20, 97, 130, "", kTextSunken);
  SetWidgetColor(kSwitchOffBandBackground, kBackgroundColour, off_colour);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewSpinField(SwitchOnBandField(outlet), 170, kFieldRows[outlet - 1], 33, 20, -99, 99, kSpinInertBit | kSpinNumeric);
    NewSpinField(SwitchOffBandField(outlet), 270, kFieldRows[outlet - 1], 33, 20, -99, 99, kSpinNumeric);
  }
  NewText(kBandOnHeading, 165, 5, 97, 15, ui::kSwitchOn);
  SetWidgetColor(kBandOnHeading, kTextColour, MakeColor(0, 0, 223));
  NewText(kBandOffHeading, 260, 5, 97, 15, ui::kSwitchOff);
  SetWidgetColor(kBandOffHeading, kTextColour, MakeColor(255, 0, 0));
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    NewText(SwitchOnUnitLabel(outlet), 207, kUnitRows[outlet - 1], 10, 20, ui::kDegrees);
    SetWidgetFont(SwitchOnUnitLabel(outlet), FontHandle(kSmallFont));
    SetWidgetColor(SwitchOnUnitLabel(outlet), kBackgroundColour, on_colour);
    NewText(SwitchOffUnitLabel(outlet), 307, kUnitRows[outlet - 1], 10, 20, ui::kDegrees);
    SetWidgetFont(SwitchOffUnitLabel(outlet), FontHandle(kSmallFont));
    SetWidgetColor(SwitchOffUnitLabel(outlet), kBackgroundColour, off_colour);
  }
  // No font of its own: the list's default user-interface font fits up to eight characters.
  NewText(kTemperatureLabel, 5, 3, 55, 20, ui::kNoReading, kTextSunken | kTextInertBit | kTextCentred);
  SetWidgetColor(kTemperatureLabel, kTextColour, MakeColor(0, 0, 255));
  SetWidgetColor(kTemperatureLabel, kBackgroundColour, MakeColor(255, 255, 255));
}

}  // namespace

std::string OutletLabel(int outlet, const OutletName& name) {
  return Concatenate(DecimalText(outlet), ". ", name.Read());
}

bool BuildMainWindow(const OutletNames& names) {
  if (NewWindow(kMainWindow, 0, 0, 354, 220, ui::kMainTitle, kMainWindowOptions) == kNoObject) return false;
  SetTopmost(kMainWindow, 1);
  NewPanel(kPanel, 8, 8, 341, 180);
  BuildOutletsTab(names);
  BuildPolicyTab(names);
  BuildScheduleTab(names);
  BuildThermostatTab(names);
  CloseContainer();
  return true;
}

}  // namespace qx
