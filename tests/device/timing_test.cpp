// Measurements of the device link against vswitch.exe in a process of its own: the cost of one
// presence check with 1, 16 and 64 interfaces listed, and the time from SendOutletReport to the
// report's arrival at the device. Each result must stay well inside the presence period.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/hid_access.h"
#include "runtime/win32/layer.h"
#include "tests/device/device_test_support.h"

namespace qx {
namespace {

double Milliseconds(long long ticks) {
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(vswitch::PerformanceFrequency());
}

struct Summary {
  double median, low, high;
};

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.front(), values.back()};
}

struct PresenceCase {
  int interfaces;
  bool unit_listed;  // last in the list, so every interface is opened
};

class PresenceCost : public ::testing::TestWithParam<PresenceCase> {};

TEST_P(PresenceCost, OneCheck) {
  const PresenceCase c = GetParam();
  const std::string session = test::OwnSession(("cost" + std::to_string(c.interfaces)).c_str());
  std::string devices;
  for (int i = 0; i < c.interfaces - 1; ++i) devices += " --device 1234:5678";
  devices += c.unit_listed ? " --device aaaa:ef02" : " --device 1234:5679";
  test::VswitchProcess vswitch(session, "--rate 0" + devices);
  ASSERT_TRUE(vswitch.Started());
  ASSERT_TRUE(vswitch.Ok("status"));
  LoadHidLibraries();
  // The program checks every 400 ms; between checks here the simulator is given the time to
  // listen again on every interface the last check opened, however busy the machine is.
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(IsDevicePresent(kSwitchUnitVendorId, kSwitchUnitProductId), c.unit_listed);
    ASSERT_TRUE(vswitch.Ok("sync"));
  }
  std::vector<double> times;
  for (int i = 0; i < 40; ++i) {
    const long long t0 = vswitch::PerformanceCounter();
    const bool present = IsDevicePresent(kSwitchUnitVendorId, kSwitchUnitProductId);
    times.push_back(Milliseconds(vswitch::PerformanceCounter() - t0));
    ASSERT_EQ(present, c.unit_listed);
    ASSERT_TRUE(vswitch.Ok("sync"));
  }
  UnloadHidLibraries();
  const Summary s = Summarise(times);
  std::printf("IsDevicePresent, %d interfaces, unit %s: median %.2f ms (min %.2f, max %.2f)\n", c.interfaces,
              c.unit_listed ? "last" : "absent", s.median, s.low, s.high);
  RecordProperty("median_us", static_cast<int>(s.median * 1000));
  EXPECT_LT(s.median, 400.0) << "a check must finish well within the 400 ms presence period";
}

INSTANTIATE_TEST_SUITE_P(Interfaces, PresenceCost,
                         ::testing::Values(PresenceCase{1, true}, PresenceCase{16, true}, PresenceCase{64, true},
                                           PresenceCase{64, false}));

TEST(ReportLatency, FromSendToArrival) {
  const std::string session = test::OwnSession("latency");
  test::VswitchProcess vswitch(session, "--rate 0");
  ASSERT_TRUE(vswitch.Started());
  ASSERT_TRUE(vswitch.Ok("status"));
  LoadHidLibraries();
  {
    DeviceLink link([](const std::string&) {});
    link.CheckDevicePresence();
    ASSERT_TRUE(link.HasControlHandle());
    ASSERT_TRUE(vswitch.Ok("clear"));
    constexpr int kSends = 100;
    std::vector<long long> sent;
    for (int i = 0; i < kSends; ++i) {
      sent.push_back(vswitch::PerformanceCounter());
      link.SendOutletReport();
      Sleep(5);
    }
    ASSERT_TRUE(vswitch.Ok("wait-reports " + std::to_string(kSends)));
    std::istringstream log(vswitch.Command("log"));
    std::string line;
    std::getline(log, line);
    std::vector<double> latencies;
    while (std::getline(log, line) && latencies.size() < sent.size()) {
      latencies.push_back(Milliseconds(std::atoll(line.c_str()) - sent[latencies.size()]));
    }
    ASSERT_EQ(latencies.size(), sent.size());
    const Summary s = Summarise(latencies);
    std::printf("SendOutletReport to arrival: median %.3f ms (min %.3f, max %.3f) over %d reports\n", s.median, s.low,
                s.high, kSends);
    EXPECT_GT(s.low, 0.0) << "arrival after the send";
    EXPECT_LT(s.median, 100.0);
  }
  UnloadHidLibraries();
  ShutdownWindowLayer();
}

}  // namespace
}  // namespace qx
