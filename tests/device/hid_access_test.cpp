// HID access against the virtual SwitchUnit: which device a search finds, how far it looks, what
// it opens and closes, and the report calls' argument checks.

#include "device/hid_access.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "tests/device/device_test_support.h"

namespace qx {
namespace {

using test::SimulatorTest;
using vswitch::DeviceSpec;
using vswitch::InterfaceKind;

constexpr std::uint16_t kVendor = 0xAAAA;
constexpr std::uint16_t kProduct = 0xEF02;

// The slot whose pipe a handle is connected to, read from the handle's own name; -1 if none.
int SlotOf(const DeviceHandle& handle, const vswitch::VirtualSwitch& sw) {
  alignas(FILE_NAME_INFO) unsigned char buffer[sizeof(FILE_NAME_INFO) + 2 * MAX_PATH];
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
  if (!GetFileInformationByHandleEx(handle.get(), FileNameInfo, info, sizeof buffer)) return -1;
  const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
  for (int slot = 0; slot < sw.DeviceCount(); ++slot) {
    const std::string path = sw.DevicePath(slot);
    const std::wstring tail(path.begin() + path.rfind('\\'), path.end());
    if (name == tail) return slot;
  }
  return -1;
}

TEST_F(SimulatorTest, TheStandInsAreTheOnesLoaded) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("setupapi.dll"), path, MAX_PATH);
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string folder(exe);
  folder.resize(folder.rfind('\\') + 1);
  EXPECT_EQ(lstrcmpiA(path, (folder + "setupapi.dll").c_str()), 0)
      << path << ": run with WINEDLLOVERRIDES=hid,setupapi=n";
}

TEST_F(SimulatorTest, NothingAttachedFindsNothing) {
  EXPECT_FALSE(IsDevicePresent(kVendor, kProduct));
  EXPECT_FALSE(OpenDevice(kVendor, kProduct));
}

struct SearchCase {
  const char* name;
  std::vector<DeviceSpec> devices;
  int expected_slot;  // -1: not found
};

class SearchRules : public SimulatorTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(SearchRules, FirstAttachedMatchWins) {
  for (const DeviceSpec& spec : GetParam().devices) ASSERT_GE(sw_.AddDevice(spec), 0);
  const int expected = GetParam().expected_slot;
  EXPECT_EQ(IsDevicePresent(kVendor, kProduct), expected >= 0);
  // Every open searches anew and picks the same device again.
  for (int round = 0; round < 2; ++round) {
    DeviceHandle handle = OpenDevice(kVendor, kProduct);
    EXPECT_EQ(static_cast<bool>(handle), expected >= 0);
    if (handle) {
      EXPECT_EQ(SlotOf(handle, sw_), expected);
    }
  }
  const auto counters = sw_.Counters();
  EXPECT_EQ(counters.class_devs, 3);
  EXPECT_EQ(counters.destroyed, counters.class_devs) << "every device information set is destroyed";
}

const DeviceSpec kUnit{};
const DeviceSpec kOther{0x1234, 0x5678};
const DeviceSpec kSwapped{kProduct, kVendor};
const DeviceSpec kSameVendor{kVendor, 0xEF03};
const DeviceSpec kSameProduct{0xAAAB, kProduct};
const DeviceSpec kReleaseZero{kVendor, kProduct, 0x0000};
const DeviceSpec kReleaseMax{kVendor, kProduct, 0xFFFF};
const DeviceSpec kUnopenable{kVendor, kProduct, 0x0100, InterfaceKind::kUnopenable};
const DeviceSpec kZeroDetail{kVendor, kProduct, 0x0100, InterfaceKind::kZeroDetailSize};
const DeviceSpec kUnplugged{kVendor, kProduct, 0x0100, InterfaceKind::kDevice, false};

INSTANTIATE_TEST_SUITE_P(Devices, SearchRules,
                         ::testing::Values(SearchCase{"OnlyTheUnit", {kUnit}, 0},
                                           SearchCase{"AfterOthers", {kOther, kOther, kUnit}, 2},
                                           SearchCase{"SwappedIdsAreNotIt", {kSwapped}, -1},
                                           SearchCase{"VendorAloneIsNotIt", {kSameVendor, kSameProduct}, -1},
                                           SearchCase{"AnyReleaseZero", {kReleaseZero}, 0},
                                           SearchCase{"AnyReleaseMax", {kOther, kReleaseMax}, 1},
                                           SearchCase{"TwoUnitsFirstListedWins", {kOther, kReleaseMax, kUnit}, 1},
                                           SearchCase{"UnopenableIsSkipped", {kUnopenable, kUnit}, 1},
                                           SearchCase{"ZeroDetailSizeIsSkipped", {kZeroDetail, kUnit}, 1},
                                           SearchCase{"UnpluggedIsNotListed", {kUnplugged}, -1},
                                           SearchCase{"UnpluggedBeforeAttached", {kUnplugged, kUnit}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatorTest, InterfacesBeyondTheFirst256AreNeverLookedAt) {
  // 255 interfaces that cannot be opened, then the unit as the 256th: found.
  for (int i = 0; i < 255; ++i) ASSERT_GE(sw_.AddDevice(kUnopenable), 0);
  const int last_looked_at = sw_.AddDevice(kUnit);
  ASSERT_EQ(last_looked_at, 255);
  EXPECT_TRUE(IsDevicePresent(kVendor, kProduct));
  EXPECT_EQ(sw_.Counters().enum_max_index, 255);

  // With that one pulled out and another interface listed first, the unit is the 257th: not found,
  // and the search stopped at index 255.
  ASSERT_TRUE(sw_.Unplug(last_looked_at));
  ASSERT_GE(sw_.AddDevice(kUnopenable), 0);
  const int beyond = sw_.AddDevice(kUnit);
  ASSERT_EQ(beyond, 257);
  sw_.ResetCounters();
  const auto opens_before = sw_.Status(beyond).opens;
  EXPECT_FALSE(IsDevicePresent(kVendor, kProduct));
  EXPECT_FALSE(OpenDevice(kVendor, kProduct));
  EXPECT_EQ(sw_.Counters().enum_max_index, 255);
  EXPECT_EQ(sw_.Status(beyond).opens, opens_before);
}

TEST_F(SimulatorTest, PresenceQueryClosesItsHandleOpenKeepsIt) {
  const int slot = sw_.AddDevice(kUnit);
  ASSERT_TRUE(IsDevicePresent(kVendor, kProduct));
  EXPECT_TRUE(test::PumpUntil([&] { return sw_.Status(slot).opens == 1; }));
  EXPECT_TRUE(WaitForOpenHandles(slot, 0));

  DeviceHandle first = OpenDevice(kVendor, kProduct);
  DeviceHandle second = OpenDevice(kVendor, kProduct, DeviceIo::kOverlapped);
  DeviceHandle third = OpenDevice(kVendor, kProduct);
  ASSERT_TRUE(first && second && third) << "back-to-back opens of one device all succeed";
  EXPECT_TRUE(WaitForOpenHandles(slot, 3));
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(first.get(), &flags));
  EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT) << "the working handles are inheritable";

  CloseDevice(second);
  EXPECT_FALSE(second);
  EXPECT_TRUE(WaitForOpenHandles(slot, 2));
  DeviceHandle none;
  CloseDevice(none);  // nothing to close
  EXPECT_FALSE(none);
}

TEST_F(SimulatorTest, OtherDevicesAreClosedAfterTheirIdsAreRead) {
  const int other = sw_.AddDevice(kOther);
  const int unit = sw_.AddDevice(kUnit);
  DeviceHandle handle = OpenDevice(kVendor, kProduct);
  ASSERT_TRUE(handle);
  EXPECT_TRUE(test::PumpUntil([&] { return sw_.Status(other).opens == 1; }));
  EXPECT_TRUE(WaitForOpenHandles(other, 0));
  EXPECT_TRUE(WaitForOpenHandles(unit, 1));
}

TEST_F(SimulatorTest, NoDeviceInformationSetFindsNothing) {
  sw_.AddDevice(kUnit);
  sw_.SetClassDevsFailure(true);
  EXPECT_FALSE(IsDevicePresent(kVendor, kProduct));
  EXPECT_FALSE(OpenDevice(kVendor, kProduct));
  sw_.SetClassDevsFailure(false);
  EXPECT_TRUE(IsDevicePresent(kVendor, kProduct));
}

struct LibraryCase {
  const char* name;
  const char* hid;
  const char* setupapi;
  bool found;
};

class MissingEntryPoints : public SimulatorTest, public ::testing::WithParamInterface<LibraryCase> {};

// A library that did not load, or an entry point it lacks, is skipped and counts as 0: the search
// then finds nothing, and nothing crashes.
TEST_P(MissingEntryPoints, CountAsZero) {
  const int slot = sw_.AddDevice(kUnit);
  LoadHidLibraries(GetParam().hid, GetParam().setupapi);
  EXPECT_EQ(IsDevicePresent(kVendor, kProduct), GetParam().found);
  DeviceHandle handle = OpenDevice(kVendor, kProduct);
  EXPECT_EQ(static_cast<bool>(handle), GetParam().found);
  handle.reset();
  EXPECT_TRUE(WaitForOpenHandles(slot, 0)) << "a candidate without ids is closed again";
}

INSTANTIATE_TEST_SUITE_P(Libraries, MissingEntryPoints,
                         ::testing::Values(LibraryCase{"Both", "hid.dll", "setupapi.dll", true},
                                           LibraryCase{"NoHidLibrary", "missing_hid.dll", "setupapi.dll", false},
                                           LibraryCase{"NoAttributesEntry", "hid_noattributes.dll", "setupapi.dll",
                                                       false},
                                           LibraryCase{"NoSetupLibrary", "hid.dll", "missing_setupapi.dll", false},
                                           LibraryCase{"NoEnumerationEntry", "hid.dll", "setupapi_noenum.dll", false}),
                         [](const auto& info) { return std::string(info.param.name); });

std::uint64_t g_clock_ms = 0;
std::uint64_t TestClock() {
  return g_clock_ms;
}

std::uint64_t g_changes_told = 0;
std::uint64_t TestChangesTold() {
  return g_changes_told;
}

// The presence check searches fully only when the list of interfaces changed or 10 s have passed
// since its last full search; in between it answers as that search did and opens nothing. One
// that is told of device changes answers the same, and lists the interfaces only when told.
TEST_F(SimulatorTest, PresenceCheckOpensNothingWhileTheListStaysAndSeesEveryChange) {
  sw_.AddDevice(kOther);
  const int unit = sw_.AddDevice(kUnit);
  int second_other = -1;
  PresenceCheck listing(TestClock);
  PresenceCheck told(TestClock);
  told.FollowChanges(TestChangesTold);
  struct Step {
    const char* what;
    std::function<void()> change;
    bool device_change;  // told to the check that follows changes
    bool present;
    int opens;  // interfaces a full search opens; 0: no full search
  };
  const Step steps[] = {
      {"the first check", {}, false, true, 2},
      {"nothing changed", {}, false, true, 0},
      {"nothing changed, 9.9 s on", [] { g_clock_ms += 9900; }, false, true, 0},
      {"10 s after the full search", [] { g_clock_ms += 100; }, false, true, 2},
      {"the unit pulled out", [&] { ASSERT_TRUE(sw_.Unplug(unit)); }, true, false, 1},
      {"still out", {}, false, false, 0},
      {"plugged back", [&] { ASSERT_TRUE(sw_.Plug(unit)); }, true, true, 2},
      {"another interface listed", [&] { second_other = sw_.AddDevice(kOther); }, true, true, 2},
      {"pulled and plugged back between two checks",
       [&] {
         ASSERT_TRUE(sw_.Unplug(unit));
         ASSERT_TRUE(sw_.Plug(unit));
       },
       true, true, 0},
  };
  for (const Step& step : steps) {
    if (step.change) step.change();
    if (step.device_change) ++g_changes_told;
    const int listings = told.Listings();
    for (PresenceCheck* check : {&listing, &told}) {
      const int searches = check->FullSearches();
      const long opened = test::InterfacesOpened();
      ASSERT_GE(opened, 0);
      EXPECT_EQ(check->IsDevicePresent(kVendor, kProduct), step.present) << step.what;
      EXPECT_EQ(test::InterfacesOpened() - opened, step.opens) << step.what;
      EXPECT_EQ(check->FullSearches() - searches, step.opens > 0 ? 1 : 0) << step.what;
    }
    EXPECT_EQ(told.Listings() - listings, step.device_change || step.opens > 0 ? 1 : 0) << step.what;
  }
  EXPECT_GE(second_other, 0);

  // A change nobody told of is seen at the next full search.
  ASSERT_TRUE(sw_.Unplug(unit));
  EXPECT_TRUE(told.IsDevicePresent(kVendor, kProduct));
  g_clock_ms += kFullSearchPeriodMs;
  EXPECT_FALSE(told.IsDevicePresent(kVendor, kProduct));
}

TEST_F(SimulatorTest, AfterUnloadingNothingIsFound) {
  sw_.AddDevice(kUnit);
  ASSERT_TRUE(IsDevicePresent(kVendor, kProduct));
  UnloadHidLibraries();
  EXPECT_FALSE(IsDevicePresent(kVendor, kProduct));
}

TEST_F(SimulatorTest, ReportsPassThroughUnchanged) {
  const int slot = sw_.AddDevice(kUnit);
  DeviceHandle handle = OpenDevice(kVendor, kProduct);
  ASSERT_TRUE(handle);
  // Reports go to the handles the device has seen open (a read below would otherwise wait forever).
  ASSERT_TRUE(WaitForOpenHandles(slot, 1));
  const std::uint8_t out[2] = {0x00, 0x1E};
  EXPECT_EQ(WriteReport(handle, out, 2), 2);
  ASSERT_TRUE(sw_.WaitForOutputReports(slot, 1, 5000));
  EXPECT_EQ(sw_.OutputReports(slot)[0].bytes, std::vector<std::uint8_t>({0x00, 0x1E}));

  ASSERT_TRUE(sw_.SetCount(slot, -160));
  ASSERT_TRUE(sw_.SendInputReport(slot));
  std::array<std::uint8_t, 3> in = {0xAA, 0xAA, 0xAA};
  EXPECT_EQ(ReadReport(handle, in.data(), 3), 3);
  EXPECT_EQ(in, (std::array<std::uint8_t, 3>{0x00, 0x60, 0xFF}));
  // The device offers a handle its next report only once it has seen the last one taken.
  ASSERT_TRUE(test::PumpUntil([&] { return sw_.Status(slot).reports_read == 1; }));

  // A short report fills what it has; the rest of the buffer stays.
  ASSERT_TRUE(sw_.SetRawReport(slot, {0x00, 0x70}));
  ASSERT_TRUE(sw_.SendInputReport(slot));
  EXPECT_EQ(ReadReport(handle, in.data(), 3), 2);
  EXPECT_EQ(in, (std::array<std::uint8_t, 3>{0x00, 0x70, 0xFF}));

  // The device pulled out: both calls fail, and the buffer is left as it was.
  ASSERT_TRUE(sw_.Unplug(slot));
  EXPECT_EQ(WriteReport(handle, out, 2), 0);
  EXPECT_EQ(ReadReport(handle, in.data(), 3), 0);
  EXPECT_EQ(in, (std::array<std::uint8_t, 3>{0x00, 0x70, 0xFF}));
}

struct ArgumentCase {
  const char* name;
  bool with_handle;
  bool with_buffer;
  int length;
};

class ReportArguments : public SimulatorTest, public ::testing::WithParamInterface<ArgumentCase> {};

// Refused arguments give 0 at once: nothing reaches the device and a read does not wait.
TEST_P(ReportArguments, GiveZeroWithoutTouchingTheDevice) {
  const int slot = sw_.AddDevice(kUnit);
  DeviceHandle opened = OpenDevice(kVendor, kProduct);
  ASSERT_TRUE(opened);
  DeviceHandle none;
  const DeviceHandle& handle = GetParam().with_handle ? opened : none;
  std::array<std::uint8_t, 3> buffer = {0x5A, 0x5A, 0x5A};
  void* data = GetParam().with_buffer ? buffer.data() : nullptr;

  EXPECT_EQ(WriteReport(handle, data, GetParam().length), 0);
  EXPECT_EQ(ReadReport(handle, data, GetParam().length), 0);  // returns although no report comes
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 3>{0x5A, 0x5A, 0x5A}));

  // A real report afterwards is the first thing the device sees.
  const std::uint8_t marker[2] = {0x00, 0x02};
  ASSERT_EQ(WriteReport(opened, marker, 2), 2);
  ASSERT_TRUE(sw_.WaitForOutputReports(slot, 1, 5000));
  test::PumpFor(50);
  ASSERT_EQ(sw_.OutputReports(slot).size(), 1u);
  EXPECT_EQ(sw_.OutputReports(slot)[0].bytes, std::vector<std::uint8_t>({0x00, 0x02}));
}

INSTANTIATE_TEST_SUITE_P(Arguments, ReportArguments,
                         ::testing::Values(ArgumentCase{"NoHandle", false, true, 2},
                                           ArgumentCase{"NoBuffer", true, false, 2},
                                           ArgumentCase{"ZeroLength", true, true, 0},
                                           ArgumentCase{"NegativeLength", true, true, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qx
