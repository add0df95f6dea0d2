#pragma once
// The outlet report: all four outlet states in one two-byte report, sent by
// DeviceLink::SendOutletReport (outlet_report.cpp).

#include <array>
#include <cstdint>

#include "device/device_link.h"
#include "model/widget_numbers.h"

namespace qx {

// Byte 1 of the report for the four check box states: outlet n (1-4) is bit n, on when its state
// is exactly 1. Bit 0 and bits 5-7 are always 0.
[[nodiscard]] std::uint8_t OutletBits(const std::array<int, kOutletCount>& states);

}  // namespace qx
