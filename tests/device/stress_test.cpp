// 500 pulls and re-plugs of the virtual SwitchUnit (served by vswitch.exe in a process of its own)
// at random moments, while the sensor reader reads 50 reports a second and outlet reports are
// sent: no crash, no hang, every device handle given back.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "device/device_link.h"
#include "device/hid_access.h"
#include "runtime/win32/layer.h"
#include "tests/device/device_test_support.h"

namespace qx {
namespace {

constexpr int kCycles = 500;

// A number from vswitch's status line, e.g. Field(status, "open=").
long long Field(const std::string& status, const char* name) {
  const auto at = status.find(name);
  return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + std::strlen(name));
}

long long OpenHandlesOnDevice(const test::VswitchProcess& vswitch) {
  return Field(vswitch.Command("status"), "open=");
}

TEST(Stress, PlugAndUnplugAtRandomMoments) {
  const std::string session = test::OwnSession("stress");
  test::VswitchProcess vswitch(session, "--rate 50 --count 368");
  ASSERT_TRUE(vswitch.Started());
  ASSERT_TRUE(vswitch.Ok("status")) << vswitch.Command("status");
  LoadHidLibraries();

  std::atomic<int> shown{0};
  DeviceLink link([&shown](const std::string&) { ++shown; });
  ASSERT_TRUE(link.sensor().Start());

  // Boxes of sends that find no device are answered as a user would.
  std::atomic<bool> done{false};
  std::thread answerer([&done] {
    while (!done.load()) AnswerMessageBox(IDOK, 50);
  });

  auto settle_absent = [&] {
    ASSERT_TRUE(vswitch.Ok("unplug"));
    link.CheckDevicePresence();
    ASSERT_FALSE(link.LastPresence());
    ASSERT_TRUE(test::PumpUntil([&] { return !link.sensor().HoldsHandle(); }, 5000));
  };

  // A few rounds first, with sends and a no-device box, so everything made once (by us, the
  // window layer or the platform) is made before the count.
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(vswitch.Ok("plug"));
    link.CheckDevicePresence();
    SetState(1, i % 2);
    link.SendOutletReport();
    test::PumpFor(60);
    settle_absent();
    link.SendOutletReport();
  }
  test::PumpFor(200);
  const int baseline = test::OpenHandleCount();

  const unsigned seed = GetTickCount();
  std::printf("seed %u\n", seed);
  std::mt19937 random(seed);
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  int sends = 0;
  int checks_seen_present = 0;
  const ULONGLONG started = GetTickCount64();
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    ASSERT_TRUE(vswitch.Ok(cycle % 2 == 0 ? "plug" : "unplug")) << "cycle " << cycle;
    // Zero to three presence checks before the next change: with none, the device is pulled and
    // plugged back between two checks.
    const int checks = static_cast<int>(random() % 4);
    for (int c = 0; c < checks; ++c) {
      test::PumpFor(random() % 16);
      link.CheckDevicePresence();
      if (link.LastPresence()) ++checks_seen_present;
      if (link.HasControlHandle() || chance(5)) {
        for (int n = 1; n <= 4; ++n) SetState(n, static_cast<int>(random() % 2));
        link.SendOutletReport();
        ++sends;
      }
    }
  }
  const ULONGLONG took = GetTickCount64() - started;
  settle_absent();

  EXPECT_TRUE(test::PumpUntil([&] { return OpenHandlesOnDevice(vswitch) == 0; }, 5000))
      << "every handle to the device is closed";
  int now = 0;
  EXPECT_TRUE(test::PumpUntil([&] { return (now = test::OpenHandleCount()) == baseline; }, 5000))
      << "handles: baseline " << baseline << ", now " << now;
  done = true;
  answerer.join();

  const std::string status = vswitch.Command("status");
  std::printf("%d cycles in %llu ms, %d sends, %d checks saw the device, %d readings shown, handles %d -> %d\n",
              kCycles, took, sends, checks_seen_present, shown.load(), baseline, now);
  std::printf("device: %s\n", status.c_str());
  EXPECT_GT(Field(status, "reports="), 0) << "outlet reports reached the device";
  EXPECT_GT(shown.load(), 0);
  EXPECT_GT(checks_seen_present, 0);
  EXPECT_GT(link.sensor().Passes(), 0);
  link.sensor().Stop();
  UnloadHidLibraries();
  ShutdownWindowLayer();
}

}  // namespace
}  // namespace qx
