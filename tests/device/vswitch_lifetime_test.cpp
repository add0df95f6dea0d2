// The simulator's pipe instances under clients that come and go as fast as they can: opened and
// closed at once, closed with a report still on its way to them, closed while the device is
// unplugged under them or the simulator stops. The instances' lifetimes must hold through all of
// it: a fault here brings down the process that serves the switch, which is the test's own.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/device/device_test_support.h"

namespace qx {
namespace {

// Raw clients of the device's pipe until `stop`: each round opens it, and by the round's number
// closes it at once, writes a report and closes, or writes, reads a report and closes.
void Hammer(const std::wstring& path, const std::atomic<bool>& stop, std::atomic<long>& opened) {
  for (unsigned round = 0; !stop; ++round) {
    HANDLE pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
      Sleep(0);
      continue;
    }
    ++opened;
    const std::uint8_t report[2] = {0, static_cast<std::uint8_t>(round & 0x0F)};
    DWORD done = 0;
    if (round % 3 != 0) WriteFile(pipe, report, sizeof report, &done, nullptr);
    if (round % 3 == 2) {
      std::uint8_t input[64];
      ReadFile(pipe, input, sizeof input, &done, nullptr);
    }
    CloseHandle(pipe);
  }
}

// Runs `threads` clients against slot 0 of `sw` while `meanwhile` works the simulator.
template <typename F>
long HammerWhile(vswitch::VirtualSwitch& sw, int threads, F meanwhile) {
  const std::string narrow = sw.DevicePath(0);
  const std::wstring path(narrow.begin(), narrow.end());
  std::atomic<bool> stop{false};
  std::atomic<long> opened{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < threads; ++i) clients.emplace_back([&] { Hammer(path, stop, opened); });
  meanwhile();
  stop = true;
  for (auto& c : clients) c.join();
  return opened;
}

TEST(VirtualSwitchLifetimeTest, InstancesOutliveClientsThatComeAndGoFast) {
  const std::string session = test::OwnSession("life");
  // Unplugs and plugs under the clients, then stops with them still at it, several times over:
  // the test program's own ending of a switch whose program has just gone.
  for (int cycle = 0; cycle < 6; ++cycle) {
    SCOPED_TRACE(cycle);
    vswitch::VirtualSwitch sw(session);
    ASSERT_TRUE(sw.Start());
    ASSERT_EQ(sw.AddDevice(), 0);
    ASSERT_TRUE(sw.SetRate(0, 1000));
    const long opened = HammerWhile(sw, 6, [&] {
      for (int i = 0; i < 20; ++i) {
        Sleep(50);
        sw.SendInputReport(0);
        if (i % 5 == 4) {
          sw.Unplug(0);
          Sleep(20);
          sw.Plug(0);
        }
      }
    });
    EXPECT_GT(opened, 0);
    // Every client is gone: the switch counts none, and still serves a new one.
    EXPECT_TRUE(test::PumpUntil([&] { return sw.Status(0).open_handles == 0; }, 5000))
        << sw.Status(0).open_handles << " handles still counted";
    const std::string narrow = sw.DevicePath(0);
    HANDLE pipe = CreateFileW(std::wstring(narrow.begin(), narrow.end()).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
    // Stopped with clients opening and closing to the last moment.
    HammerWhile(sw, 6, [&] {
      Sleep(100);
      sw.Stop();
    });
  }
}

}  // namespace
}  // namespace qx
