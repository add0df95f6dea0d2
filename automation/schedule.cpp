#include "automation/schedule.h"

#include "runtime/date_text.h"
#include "runtime/text.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

std::string ApplyScheduleRules(const AutomationHooks& hooks) {
  const std::string time_text = FormatDateText("%hh:%ii:%ss", CurrentDateValue());
  // The clock is read a second time for the date. Across midnight the two readings can fall on
  // either side of it, so for one tick the status bar may show the new date beside the old
  // day's "23:59:59" (the next tick puts them together again); the rules below use only the time.
  const std::string date_text = FormatDateText("%dd.%mm.%yyyy", CurrentDateValue());
  SetStatusText(hooks.status_bar, 1, date_text, kStatusCentred);
  SetStatusText(hooks.status_bar, 2, time_text, kStatusCentred);

  const std::string key = Substring(time_text, 1, 5);
  // Rules 1-4 switch outlets 1-4 on, rules 5-8 switch them off; an outlet's on rule is tested
  // first, so equal on and off times leave it off at the end of the tick.
  for (int rule = 0; rule < kScheduleRuleCount; ++rule) {
    const std::string rule_text = Concatenate(GetText(ScheduleHourBox(rule)), ":", GetText(ScheduleMinuteBox(rule)));
    if (!TextEquals(rule_text, key)) continue;
    SetState(OutletCheckBox(rule % kOutletCount + 1), rule < kOutletCount ? 1 : 0);
    if (hooks.send_outlet_report) hooks.send_outlet_report();
    if (hooks.refresh_tray_menu) hooks.refresh_tray_menu();
  }
  return time_text;
}

void EditSchedule(int widget, std::span<std::int8_t> table) {
  if (widget < kFirstScheduleWidget || widget > kLastScheduleWidget) return;
  const std::size_t slot = ScheduleSlot(widget);
  if (slot < table.size()) table[slot] = static_cast<std::int8_t>(GetState(widget));
  if (widget > kLastScheduleBox) return;  // a ":" label
  const bool hour_box = (widget - kFirstScheduleWidget) % 2 == 0;
  const int partner = hour_box ? widget + 1 : widget - 1;
  // A set half gives an empty partner "00"; an emptied half empties its partner. The partner's
  // table slot is left alone: only the user's own choices are recorded.
  if (GetState(widget) != 0 && GetState(partner) == 0) SetState(partner, 1);
  if (GetState(widget) == 0 && GetState(partner) != 0) SetState(partner, 0);
}

}  // namespace qx
