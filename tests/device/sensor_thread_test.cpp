// The sensor reader against the virtual SwitchUnit: what it shows and keeps, and how it lets go of
// its handle when the presence monitor asks, also while its read is blocked.

#include "device/sensor_thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "tests/device/device_test_support.h"

namespace qx {
namespace {

const std::string kDegrees =
    " \xB0"
    "C";

// Collects what the reader shows; can hold the reader inside the display, as a busy
// user-interface thread would.
class Recorder {
 public:
  SensorReader::Display Display() {
    return [this](const std::string& text) {
      {
        std::lock_guard lock(mutex_);
        texts_.push_back(text);
      }
      while (hold_.load()) Sleep(1);
    };
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  std::size_t Count() const { return Texts().size(); }
  std::string Last() const {
    const auto texts = Texts();
    return texts.empty() ? std::string() : texts.back();
  }
  void Hold(bool on) { hold_.store(on); }
  SensorReader::Withdrawn Withdrawn() {
    return [this] { ++withdrawn_; };
  }
  int WithdrawnCount() const { return withdrawn_.load(); }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::atomic<bool> hold_{false};
  std::atomic<int> withdrawn_{0};
};

class SensorReaderTest : public test::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    slot_ = sw_.AddDevice();
    ASSERT_TRUE(reader_.Start());
  }
  void TearDown() override {
    recorder_.Hold(false);
    reader_.Stop();
    SimulatorTest::TearDown();
  }
  void AttachDevice() {
    DeviceHandle handle = OpenDevice(kSwitchUnitVendorId, kSwitchUnitProductId, DeviceIo::kOverlapped);
    ASSERT_TRUE(handle);
    reader_.Attach(std::move(handle));
    ASSERT_TRUE(test::PumpUntil([&] { return reader_.HoldsHandle(); }));
    // Reports go only to handles the device has seen open.
    ASSERT_TRUE(test::PumpUntil([&] { return sw_.Status(slot_).open_handles >= 1; }));
  }
  // Sends one report and waits until the reader has taken it.
  void Deliver(int count) {
    const auto read_before = sw_.Status(slot_).reports_read;
    ASSERT_TRUE(sw_.SetCount(slot_, count));
    ASSERT_TRUE(sw_.SendInputReport(slot_));
    ASSERT_TRUE(test::PumpUntil([&] { return sw_.Status(slot_).reports_read > read_before; }));
  }
  // Waits for the reader to finish the pass that took the last report (the next pass begins after
  // its pause).
  void SettlePass() {
    const auto passes = reader_.Passes();
    ASSERT_TRUE(test::PumpUntil([&] { return reader_.Passes() >= passes + 1; }));
  }

  int slot_ = -1;
  Recorder recorder_;
  SensorReader reader_{recorder_.Display(), recorder_.Withdrawn()};
};

TEST_F(SensorReaderTest, ShowsAcceptedReadingsAndKeepsThemRounded) {
  EXPECT_EQ(reader_.RoundedTemperature(), 0);
  EXPECT_EQ(reader_.LastAcceptedTick(), 0u);
  AttachDevice();
  const ULONGLONG before = GetTickCount64();
  Deliver(368);
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 1; }));
  EXPECT_EQ(recorder_.Last(), "23.0" + kDegrees);
  EXPECT_EQ(reader_.RoundedTemperature(), 23);
  EXPECT_GE(reader_.LastAcceptedTick(), before);

  Deliver(2040);  // 127.5 degrees
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 2; }));
  EXPECT_EQ(recorder_.Last(), "127.5" + kDegrees);
  EXPECT_EQ(reader_.RoundedTemperature(), 128);
}

TEST_F(SensorReaderTest, RejectedReadingsChangeNothing) {
  AttachDevice();
  Deliver(376);
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 1; }));
  ASSERT_TRUE(test::PumpUntil([&] { return reader_.LastAcceptedTick() != 0; }));
  const std::uint64_t accepted = reader_.LastAcceptedTick();
  for (int count : {3, -3, 0, 2400, -928}) {
    Deliver(count);
    SettlePass();
  }
  EXPECT_EQ(recorder_.Count(), 1u);
  EXPECT_EQ(reader_.RoundedTemperature(), 24);
  EXPECT_EQ(reader_.LastAcceptedTick(), accepted);
}

TEST_F(SensorReaderTest, AShortReportKeepsTheHighByteOfTheLastOne) {
  AttachDevice();
  Deliver(368);  // 70 01
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 1; }));
  ASSERT_TRUE(test::PumpUntil([&] { return reader_.LastAcceptedTick() != 0; }));
  const std::uint64_t accepted = reader_.LastAcceptedTick();
  ASSERT_TRUE(sw_.SetRawReport(slot_, {0x00, 0x80}));
  ASSERT_TRUE(sw_.SendInputReport(slot_));
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 2; }));
  EXPECT_EQ(recorder_.Last(), "24.0" + kDegrees);  // 80 01 = 384
  EXPECT_EQ(reader_.LastAcceptedTick(), accepted) << "half a report measured nothing";
}

TEST_F(SensorReaderTest, ASpanHoldsTheLowestAndHighestReadingAcceptedSinceTheLastTaking) {
  int lowest = 0;
  int highest = 0;
  EXPECT_FALSE(reader_.TakeReadingSpan(&lowest, &highest));
  AttachDevice();
  for (int count : {290, 288, 300, 289, 2400, 296}) {  // 150 degrees is rejected
    Deliver(count);
    SettlePass();
  }
  ASSERT_TRUE(sw_.SetRawReport(slot_, {0x00, 0x80}));  // half a report: 384 shown, nothing measured
  ASSERT_TRUE(sw_.SendInputReport(slot_));
  ASSERT_TRUE(test::PumpUntil([&] { return reader_.TemperatureSixteenths() == 384; }));
  ASSERT_TRUE(reader_.TakeReadingSpan(&lowest, &highest));
  EXPECT_EQ(lowest, 288);
  EXPECT_EQ(highest, 300);
  EXPECT_FALSE(reader_.TakeReadingSpan(&lowest, &highest)) << "taken means begun anew";
  Deliver(-40);
  SettlePass();
  ASSERT_TRUE(reader_.TakeReadingSpan(&lowest, &highest));
  EXPECT_EQ(lowest, -40);
  EXPECT_EQ(highest, -40);
}

TEST_F(SensorReaderTest, WithoutAHandleNothingIsReadOrShown) {
  const auto passes = reader_.Passes();
  ASSERT_TRUE(test::PumpUntil([&] { return reader_.Passes() >= passes + 3; }));
  EXPECT_EQ(recorder_.Count(), 0u);
  EXPECT_EQ(sw_.Status(slot_).opens, 0);
}

// The monitor takes the handle away while the read waits for a report that never comes.
TEST_F(SensorReaderTest, DetachWhileAReadIsBlockedReturnsAtOnceAndFreesTheDevice) {
  AttachDevice();
  ASSERT_TRUE(WaitForOpenHandles(slot_, 1));
  test::PumpFor(150);  // the reader is now inside its read
  const ULONGLONG before = GetTickCount64();
  reader_.Detach();
  EXPECT_LT(GetTickCount64() - before, 50u);
  EXPECT_TRUE(test::PumpUntil([&] { return !reader_.HoldsHandle(); }, 2000));
  EXPECT_TRUE(WaitForOpenHandles(slot_, 0, 2000)) << "the reader closed its handle";
  // Reports now reach nobody, and nothing is shown.
  ASSERT_TRUE(sw_.SetCount(slot_, 368));
  ASSERT_TRUE(sw_.SendInputReport(slot_));
  SettlePass();
  EXPECT_EQ(recorder_.Count(), 0u);
  EXPECT_EQ(recorder_.WithdrawnCount(), 0) << "nothing was on its way to the display";
}

TEST_F(SensorReaderTest, UnplugWhileAReadIsBlockedEndsTheRead) {
  AttachDevice();
  Deliver(368);
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 1; }));
  ASSERT_TRUE(test::PumpUntil([&] { return reader_.LastAcceptedTick() != 0; }));
  const std::uint64_t accepted = reader_.LastAcceptedTick();
  test::PumpFor(150);
  ASSERT_TRUE(sw_.Unplug(slot_));
  // The read fails, and the last good reading is shown again until the monitor notices; it is
  // no new measurement.
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() >= 3; }, 3000));
  for (const std::string& text : recorder_.Texts()) EXPECT_EQ(text, "23.0" + kDegrees);
  EXPECT_EQ(reader_.RoundedTemperature(), 23);
  EXPECT_EQ(reader_.LastAcceptedTick(), accepted);
  reader_.Detach();
  EXPECT_TRUE(test::PumpUntil([&] { return !reader_.HoldsHandle(); }, 2000));
  // After removal the reading the thermostat uses is kept.
  EXPECT_EQ(reader_.RoundedTemperature(), 23);
}

// The reader busy in its display (the user-interface thread late with the text): the monitor's
// requests still return at once, and since the reading may land after the monitor's "OFF", the
// reader puts the monitor's texts back once.
TEST_F(SensorReaderTest, RequestsNeverWaitForTheReader) {
  AttachDevice();
  recorder_.Hold(true);
  Deliver(368);
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 1; }));
  ULONGLONG before = GetTickCount64();
  reader_.Detach();
  DeviceHandle next = OpenDevice(kSwitchUnitVendorId, kSwitchUnitProductId, DeviceIo::kOverlapped);
  ASSERT_TRUE(next);
  reader_.Attach(std::move(next));
  reader_.Detach();
  EXPECT_LT(GetTickCount64() - before, 50u);
  EXPECT_TRUE(WaitForOpenHandles(slot_, 1)) << "the handle posted and replaced before the reader took it is closed";
  recorder_.Hold(false);
  EXPECT_TRUE(test::PumpUntil([&] { return !reader_.HoldsHandle(); }, 2000));
  EXPECT_TRUE(WaitForOpenHandles(slot_, 0, 2000));
  EXPECT_EQ(recorder_.Count(), 1u);
  EXPECT_EQ(recorder_.WithdrawnCount(), 1);
}

TEST_F(SensorReaderTest, AttachReplacesTheHandle) {
  AttachDevice();
  ASSERT_TRUE(WaitForOpenHandles(slot_, 1));
  DeviceHandle second = OpenDevice(kSwitchUnitVendorId, kSwitchUnitProductId, DeviceIo::kOverlapped);
  ASSERT_TRUE(second);
  ASSERT_TRUE(WaitForOpenHandles(slot_, 2));
  reader_.Attach(std::move(second));
  EXPECT_TRUE(WaitForOpenHandles(slot_, 1)) << "the old handle is closed by the reader";
  Deliver(-160);
  ASSERT_TRUE(test::PumpUntil([&] { return recorder_.Count() == 1; }));
  EXPECT_EQ(recorder_.Last(), "-10.0" + kDegrees);
  EXPECT_EQ(reader_.RoundedTemperature(), -10);
}

TEST_F(SensorReaderTest, StopEndsABlockedReader) {
  AttachDevice();
  test::PumpFor(150);
  const ULONGLONG before = GetTickCount64();
  reader_.Stop();
  EXPECT_LT(GetTickCount64() - before, 1000u);
  EXPECT_FALSE(reader_.HoldsHandle());
  EXPECT_TRUE(WaitForOpenHandles(slot_, 0));
}

}  // namespace
}  // namespace qx
