#pragma once
// The time schedule: eight rules (an outlet, on or off, an hour box and a minute box) on the
// schedule tab, fired once a second by the clock timer.

#include <cstdint>
#include <span>
#include <string>

#include "automation/automation_hooks.h"
#include "model/widget_numbers.h"

namespace qx {

// Shows the date and time in status-bar fields 1 and 2 and fires every rule whose "hh:mm" equals
// the current minute. Returns the time text it showed ("hh:mm:ss").
std::string ApplyScheduleRules(const AutomationHooks& hooks);

// The loop's step for a widget event from `widget` (41..63): records the box's state in `table`
// (its ScheduleSlot) and keeps the two halves of its rule both set or both empty.
void EditSchedule(int widget, std::span<std::int8_t> table);

}  // namespace qx
