#include "app/thermometer_window.h"

#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "runtime/win32/widgets.h"

namespace qx {

void ShowThermometer() {
  if (NewWindow(kThermometerWindow, 0, 0, 108, 38, ui::kThermometerTitle, kMainWindowOptions) == kNoObject) return;
  SetTopmost(kThermometerWindow, 1);
  NewStringField(kThermometerDisplay, 3, 3, 105, 32, ui::kNoReading, kFieldCentred | kFieldReadOnly);
  SetWidgetColor(kThermometerDisplay, kTextColour, MakeColor(0, 0, 223));
  SetWidgetFont(kThermometerDisplay, FontHandle(kLargeFont));
  SetWindowHidden(kThermometerWindow, 0);
}

}  // namespace qx
