#pragma once
// The Thermometer window (window 1): the temperature alone, large and always on top, so it stays
// in view while the main window is hidden. The sensor thread keeps its field (widget 103) current.

namespace qx {

// Opens window 1 afresh in the centre of the screen (replacing one that is open), showing "OFF"
// until the next reading.
void ShowThermometer();

}  // namespace qx
