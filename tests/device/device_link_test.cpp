// The presence monitor and the outlet report on real windows, against the virtual SwitchUnit:
// texts, handles, every report byte, and the no-device box with the timers running.

#include "device/device_link.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "runtime/win32/layer.h"
#include "tests/device/device_test_support.h"

namespace qx {
namespace {

const std::string kConnected = "USB \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED";
const std::string kDisconnected = "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED";
const std::string kDegrees =
    " \xB0"
    "C";

// The widgets the device link works on, as the program lays them out (the parts that matter).
void BuildWindows() {
  ASSERT_EQ(NewWindow(0, 20, 20, 320, 240, "Device link", kWindowCaption | kWindowSystemMenu), 0);
  ASSERT_EQ(NewPanel(0, 4, 4, 300, 180), 0);
  AddItem(0, -1, "Outlets");
  for (int n = 1; n <= 4; ++n) NewCheckBox(n, 10, 10 + 20 * n, 100, 18, "Outlet " + std::to_string(n));
  NewStringField(9, 120, 30, 100, 20, "OFF");
  AddItem(0, -1, "Thermostat");
  NewText(101, 10, 10, 100, 20, "OFF");
  CloseContainer();
  ASSERT_EQ(NewStatusBar(0, NativeWindowHandle(0)), 0);
  for (int i = 0; i < 3; ++i) AddStatusField(118);
  ASSERT_NE(AddTrayIcon(1, NativeWindowHandle(0), LoadProgramTrayIcon()), 0);
  ASSERT_EQ(NewWindow(1, 360, 20, 160, 60, "Thermometer", kWindowCaption), 1);
  NewStringField(103, 4, 4, 140, 30, "");
}

class DeviceLinkTest : public test::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(BuildWindows());
    link_ = std::make_unique<DeviceLink>();
  }
  void TearDown() override {
    link_.reset();
    ShutdownWindowLayer();
    SimulatorTest::TearDown();
  }
  void CheckFor(int outlet_states) {
    for (int n = 1; n <= 4; ++n) SetState(n, (outlet_states >> (n - 1)) & 1);
  }

  std::unique_ptr<DeviceLink> link_;
};

TEST_F(DeviceLinkTest, AbsentAtStartChangesNothing) {
  link_->CheckDevicePresence();
  EXPECT_FALSE(link_->LastPresence());
  EXPECT_EQ(GetStatusText(0, 0), "");
  EXPECT_EQ(GetText(9), "OFF");
  EXPECT_FALSE(link_->HasControlHandle() || link_->HasAuxHandle() || link_->HasSensorHandle());
}

TEST_F(DeviceLinkTest, ArrivalRemovalAndReturn) {
  const int slot = sw_.AddDevice();
  link_->CheckDevicePresence();
  EXPECT_EQ(GetStatusText(0, 0), kConnected);
  EXPECT_TRUE(link_->HasControlHandle() && link_->HasAuxHandle() && link_->HasSensorHandle());
  EXPECT_TRUE(WaitForOpenHandles(slot, 3));
  EXPECT_EQ(GetText(0), "Outlets") << "arrival leaves the tab alone";

  // The Thermometer field has shown a reading; removal leaves it.
  SetText(103, "21.0" + kDegrees);
  ASSERT_TRUE(sw_.Unplug(slot));
  link_->CheckDevicePresence();
  EXPECT_EQ(GetStatusText(0, 0), kDisconnected);
  EXPECT_EQ(GetText(0), kDisconnected) << "the selected page's tab";
  EXPECT_EQ(GetText(9), "OFF");
  EXPECT_EQ(GetText(101), "OFF");
  EXPECT_EQ(GetTrayToolTip(1), "OFF");
  EXPECT_EQ(GetText(103), "21.0" + kDegrees);
  EXPECT_FALSE(link_->HasControlHandle() || link_->HasAuxHandle() || link_->HasSensorHandle());

  // Same result again: nothing is touched.
  SetStatusText(0, 0, "x", kStatusCentred);
  link_->CheckDevicePresence();
  EXPECT_EQ(GetStatusText(0, 0), "x");

  ASSERT_TRUE(sw_.Plug(slot));
  link_->CheckDevicePresence();
  EXPECT_EQ(GetStatusText(0, 0), kConnected);
  EXPECT_EQ(GetText(0), kDisconnected) << "the replaced tab caption stays";
  EXPECT_TRUE(link_->HasControlHandle());
  EXPECT_TRUE(WaitForOpenHandles(slot, 3));
  EXPECT_EQ(sw_.OutputReports(slot).size(), 0u) << "arrival sends no report";
}

TEST_F(DeviceLinkTest, EveryOutletCombinationGivesItsByte) {
  const int slot = sw_.AddDevice();
  link_->CheckDevicePresence();
  ASSERT_TRUE(link_->HasControlHandle());
  for (int states = 0; states < 16; ++states) {
    CheckFor(states);
    link_->SendOutletReport();
  }
  link_->SendOutletReport();  // unchanged states are sent again, whole
  ASSERT_TRUE(sw_.WaitForOutputReports(slot, 17, 5000));
  const auto reports = sw_.OutputReports(slot);
  ASSERT_EQ(reports.size(), 17u);
  for (int states = 0; states < 16; ++states) {
    const int expected =
        2 * (states & 1) + 4 * ((states >> 1) & 1) + 8 * ((states >> 2) & 1) + 16 * ((states >> 3) & 1);
    EXPECT_EQ(reports[states].bytes, std::vector<std::uint8_t>({0x00, static_cast<std::uint8_t>(expected)}))
        << "outlets " << states;
  }
  EXPECT_EQ(reports[16].bytes, std::vector<std::uint8_t>({0x00, 0x1E}));
  EXPECT_EQ(sw_.Status(slot).outlets, 0x1E);
}

TEST_F(DeviceLinkTest, NoDeviceShowsTheBoxAndKeepsTheStates) {
  CheckFor(0b0101);
  const int shown = MessageBoxesShown();
  std::thread answer([] { AnswerMessageBox(IDOK, 10000); });
  link_->SendOutletReport();
  answer.join();
  EXPECT_EQ(MessageBoxesShown(), shown + 1);
  EXPECT_EQ(LastMessageBoxTitle(), "USB Quelarotix");
  EXPECT_EQ(LastMessageBoxText(), kDisconnected);
  EXPECT_EQ(GetState(1), 1);
  EXPECT_EQ(GetState(3), 1);
}

// Timers keep calling the send inside the open box, as the schedule and the thermostat do; only
// one box may be open, and the next send after it is closed shows it again.
DeviceLink* g_timer_link = nullptr;
std::atomic<int> g_timer_sends{0};

void CALLBACK SendFromTimer(HWND, UINT, UINT_PTR, DWORD) {
  ++g_timer_sends;
  g_timer_link->SendOutletReport();
}

TEST_F(DeviceLinkTest, AtMostOneNoDeviceBoxWhileTimersRun) {
  g_timer_link = link_.get();
  g_timer_sends = 0;
  const int shown = MessageBoxesShown();
  ASSERT_NE(SetTimer(NativeWindowHandle(0), 3, 20, SendFromTimer), 0u);
  std::atomic<int> boxes_while_open{0};
  std::thread answer([&] {
    // Let the timer fire many times inside the box, then close it.
    test::PumpUntil([&] { return g_timer_sends.load() >= 20; }, 10000);
    boxes_while_open = MessageBoxesShown() - shown;
    AnswerMessageBox(IDOK, 5000);
  });
  link_->SendOutletReport();
  answer.join();
  KillTimer(NativeWindowHandle(0), 3);
  EXPECT_GE(g_timer_sends.load(), 20);
  EXPECT_EQ(boxes_while_open.load(), 1);
  EXPECT_FALSE(link_->IsNoDeviceBoxOpen());

  std::thread again([] { AnswerMessageBox(IDOK, 10000); });
  link_->SendOutletReport();
  again.join();
  EXPECT_EQ(MessageBoxesShown(), shown + 2);
}

TEST_F(DeviceLinkTest, ReadingsReachAllFourPlaces) {
  EXPECT_FALSE(link_->HasFreshReading(GetTickCount64()));
  const int slot = sw_.AddDevice();
  ASSERT_TRUE(link_->sensor().Start());
  link_->CheckDevicePresence();
  ASSERT_TRUE(sw_.SetCount(slot, 368));
  ASSERT_TRUE(sw_.SetRate(slot, 20));
  const std::string text = "23.0" + kDegrees;
  EXPECT_TRUE(test::PumpUntil([&] { return GetText(103) == text; }));
  EXPECT_EQ(GetText(9), text);
  EXPECT_EQ(GetText(101), text);
  EXPECT_EQ(GetTrayToolTip(1), text);
  // The thread stores the reading's values just after handing its text over.
  ASSERT_TRUE(test::PumpUntil([&] { return link_->sensor().LastAcceptedTick() != 0; }));
  EXPECT_EQ(link_->RoundedTemperature(), 23);
  // The reading stands for the temperature for 10 s.
  const std::uint64_t accepted = link_->sensor().LastAcceptedTick();
  EXPECT_TRUE(link_->HasFreshReading(accepted + kFreshReadingMs - 1));
  EXPECT_FALSE(link_->HasFreshReading(accepted + kFreshReadingMs));

  // Removal: "OFF" stays, as the reader lets go of its handle.
  ASSERT_TRUE(sw_.Unplug(slot));
  link_->CheckDevicePresence();
  EXPECT_TRUE(test::PumpUntil([&] { return !link_->sensor().HoldsHandle(); }, 2000));
  test::PumpFor(300);
  EXPECT_EQ(GetText(9), "OFF");
  EXPECT_EQ(GetText(101), "OFF");
  EXPECT_EQ(GetTrayToolTip(1), "OFF");
  EXPECT_EQ(link_->RoundedTemperature(), 23);
}

}  // namespace
}  // namespace qx
