// The long run: the real Quellarotix.exe left running with schedule rules coming due and the
// thermostat working two outlets while the temperature swings across its band, and the virtual
// SwitchUnit pulled out and plugged back at random. No crash, never more than one error box at a
// time, a handle count that does not grow, and every report the SwitchUnit received matching what
// the rules and the band asked for at that moment.
//
// It lasts QX_LONG_RUN_SECONDS (600 by default), so the test suite runs it only when the build is
// configured with -DQX_LONG_RUN=ON.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/support/settings_groups.h"
#include "tools/vswitch/virtual_switch.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const wchar_t kErrorBoxTitle[] = L"USB Quelarotix";

using qx::test::kNamesGroup;
using qx::test::kScheduleGroup;
using qx::test::kThermostatGroup;

using qx::test::ControlOf;
using qx::test::Slurp;
using qx::test::ThisProgramFolder;
using qx::test::TopLevelWindowOf;

fs::path BuiltProgram() { return qx::test::BuiltProgramAt(QX_PROGRAM_PATH); }

std::int64_t Qpc() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double QpcSeconds(std::int64_t ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// Local wall-clock minute count (minutes since midnight, running on past 24 h) and the QPC value
// at which a given one starts, so reports (timed by QPC) can be placed in the program's minutes.
struct WallClock {
  std::int64_t qpc_at_midnight = 0;
  static WallClock Now() {
    SYSTEMTIME now;
    const std::int64_t qpc = Qpc();
    GetLocalTime(&now);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double since_midnight = now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
    return {qpc - static_cast<std::int64_t>(since_midnight * static_cast<double>(frequency.QuadPart))};
  }
  std::int64_t MinuteStart(int minute) const {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return qpc_at_midnight + static_cast<std::int64_t>(minute) * 60 * frequency.QuadPart;
  }
  int MinuteNow() const { return static_cast<int>(QpcSeconds(Qpc() - qpc_at_midnight) / 60.0); }
};

// Open handles of another process, found by probing its table (GetProcessHandleCount is a stub
// under Wine).
int HandleCountOf(HANDLE process) {
  int count = 0;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      ++count;
      CloseHandle(copy);
    }
  }
  return count;
}

// Answers the program's error boxes as a patient user would (after a moment), and keeps count of
// how many were ever open at once.
class BoxWatcher {
 public:
  explicit BoxWatcher(DWORD pid) : pid_(pid), thread_([this] { Run(); }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  int most_open() const { return most_open_; }
  int answered() const { return answered_; }

 private:
  void Run() {
    std::mt19937 random(7);
    std::map<HWND, Clock::time_point> due;
    while (!stop_) {
      const std::vector<HWND> open = qx::test::VisibleWindowsOf(pid_, nullptr, kErrorBoxTitle);
      if (static_cast<int>(open.size()) > most_open_) most_open_ = static_cast<int>(open.size());
      for (HWND box : open) {
        if (!due.count(box)) due[box] = Clock::now() + std::chrono::milliseconds(300 + random() % 1700);
        if (Clock::now() >= due[box]) {
          PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          due[box] = Clock::now() + std::chrono::seconds(2);  // pressed; do not press again at once
          ++answered_;
        }
      }
      for (auto it = due.begin(); it != due.end();) it = IsWindow(it->first) ? std::next(it) : due.erase(it);
      Sleep(40);
    }
  }

  DWORD pid_;
  std::atomic<bool> stop_{false};
  std::atomic<int> most_open_{0};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

// A stretch of time in which the SwitchUnit was plugged in and the temperature was one value.
struct Stretch {
  std::int64_t from = 0, to = 0;
  int degrees = 0;
};

TEST(LongRun, ScheduleAndThermostatWithTheDeviceComingAndGoing) {
  const char* seconds_text = std::getenv("QX_LONG_RUN_SECONDS");
  const int seconds = seconds_text ? std::atoi(seconds_text) : 600;
  const std::string session = "long-" + std::to_string(GetCurrentProcessId());
  SetEnvironmentVariableA(qx::vswitch::kSessionVariable, session.c_str());
  qx::vswitch::VirtualSwitch sw(session);
  ASSERT_TRUE(sw.Start());
  ASSERT_EQ(sw.AddDevice(), 0);
  sw.SetCount(0, 15 * 16);
  sw.SetRate(0, 5);

  const fs::path folder = fs::current_path() / "user";
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(BuiltProgram(), folder / "Quellarotix.exe");
  // hid.dll comes from the prefix's system folder, where the rig keeps the stand-in.
  fs::copy_file(ThisProgramFolder() / "setupapi.dll", folder / "setupapi.dll");

  // Schedule: outlet 1 on for two minutes from the first whole minute after start-up, outlet 2 on
  // for two minutes a minute later. Thermostat bands 20/25 on outlets 3 and 4.
  const WallClock wall = WallClock::Now();
  const int base = wall.MinuteNow() + 2;
  auto rule_time = [](int minute) { return std::pair{(minute / 60) % 24, minute % 60}; };
  std::map<int, int> schedule;  // widget -> item
  auto set_rule = [&](int hour_box, int minute) {
    schedule[hour_box] = rule_time(minute).first + 1;
    schedule[hour_box + 1] = rule_time(minute).second + 1;
  };
  set_rule(41, base);      // outlet 1 on
  set_rule(49, base + 2);  // outlet 1 off
  set_rule(43, base + 3);  // outlet 2 on
  set_rule(51, base + 5);  // outlet 2 off
  std::string settings = kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kScheduleGroup;
  for (int id = 41; id <= 56; ++id) settings += std::to_string(id) + " = " + std::to_string(schedule[id]) + "\r\n";
  settings += kThermostatGroup + "71 = 20\r\n72 = 25\r\n73 = 25\r\n74 = 20\r\n";
  std::ofstream(folder / "Quellarotix.ini", std::ios::binary) << settings;

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + (folder / "Quellarotix.exe").wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                             &process));
  HWND main = nullptr;
  for (int i = 0; i < 300 && !main; ++i, Sleep(50)) main = TopLevelWindowOf(process.dwProcessId, L"USB Quellarotix");
  ASSERT_NE(main, nullptr);
  // The user presses the thermostat buttons of outlets 3 and 4.
  for (int id : {33, 34}) {
    HWND button = nullptr;
    for (int i = 0; i < 100 && !button; ++i, Sleep(50)) button = ControlOf(main, id);
    ASSERT_NE(button, nullptr) << id;
    SendMessageTimeoutW(button, BM_SETCHECK, BST_CHECKED, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  }

  BoxWatcher boxes(process.dwProcessId);
  Sleep(3000);
  std::vector<int> handle_counts = {HandleCountOf(process.hProcess)};

  // The run: the temperature steps through cold (15), inside the band (22) and hot (30) every
  // 30 s; the SwitchUnit stays in for 3-20 s, then is out for 1-6 s.
  std::mt19937 random(2026);
  std::vector<Stretch> stretches;
  const int phases[] = {15, 22, 30};
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  auto degrees_now = [&] {
    return phases[(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count() / 30) % 3];
  };
  int pulls = 0;
  auto last_sample = Clock::now();
  while (Clock::now() < end && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    const auto plugged_until = std::min(end, Clock::now() + std::chrono::milliseconds(3000 + random() % 17000));
    Stretch stretch{Qpc(), 0, degrees_now()};
    sw.SetCount(0, stretch.degrees * 16);
    while (Clock::now() < plugged_until) {
      if (degrees_now() != stretch.degrees) {
        stretch.to = Qpc();
        stretches.push_back(stretch);
        stretch = {Qpc(), 0, degrees_now()};
        sw.SetCount(0, stretch.degrees * 16);
      }
      Sleep(50);
    }
    stretch.to = Qpc();
    stretches.push_back(stretch);
    if (Clock::now() - last_sample > std::chrono::seconds(60)) {
      handle_counts.push_back(HandleCountOf(process.hProcess));
      last_sample = Clock::now();
    }
    if (Clock::now() >= end) break;
    sw.Unplug(0);
    ++pulls;
    Sleep(1000 + random() % 5000);
    sw.Plug(0);
  }
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the program ended";
  Sleep(3000);  // plugged again, boxes answered
  handle_counts.push_back(HandleCountOf(process.hProcess));
  const std::int64_t run_end = Qpc();

  // Log-off ends the program through its own shutdown.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
  SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exit_code = 0xDEAD;
  GetExitCodeProcess(process.hProcess, &exit_code);
  EXPECT_EQ(exit_code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  // What the SwitchUnit received.
  const auto reports = sw.OutputReports(0);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const std::int64_t settle = frequency.QuadPart * 3 / 2;
  auto near_boundary = [&](std::int64_t qpc) {
    for (int minute : {base, base + 2, base + 3, base + 5}) {
      if (qpc > wall.MinuteStart(minute) - settle && qpc < wall.MinuteStart(minute) + settle) return true;
    }
    return false;
  };
  int checked_schedule = 0, checked_cold = 0, checked_hot = 0, malformed = 0;
  for (const auto& report : reports) {
    if (report.bytes.size() != 2 || report.bytes[0] != 0 || (report.bytes[1] & ~0x1E) != 0) {
      ++malformed;
      continue;
    }
    const int bits = report.bytes[1];
    if (report.qpc > run_end) continue;  // the exit report, checked below
    if (!near_boundary(report.qpc)) {
      const bool outlet1 = report.qpc >= wall.MinuteStart(base) && report.qpc < wall.MinuteStart(base + 2);
      const bool outlet2 = report.qpc >= wall.MinuteStart(base + 3) && report.qpc < wall.MinuteStart(base + 5);
      EXPECT_EQ((bits & 0x02) != 0, outlet1) << "outlet 1 at " << QpcSeconds(report.qpc - wall.MinuteStart(base));
      EXPECT_EQ((bits & 0x04) != 0, outlet2) << "outlet 2 at " << QpcSeconds(report.qpc - wall.MinuteStart(base));
      ++checked_schedule;
    }
    for (const Stretch& s : stretches) {
      if (report.qpc < s.from + settle || report.qpc > s.to || s.degrees == 22) continue;
      const int expected = s.degrees < 20 ? 0x18 : 0x00;
      EXPECT_EQ(bits & 0x18, expected) << s.degrees << " degrees, " << QpcSeconds(report.qpc - s.from) << " s in";
      ++(s.degrees < 20 ? checked_cold : checked_hot);
    }
  }
  const std::string saved = Slurp(folder / "Quellarotix.ini");
  std::printf("long run: %d s, %d pulls, %zu reports (%d schedule-checked, %d cold, %d hot), %d boxes answered, "
              "most open at once %d, handle counts:",
              seconds, pulls, reports.size(), checked_schedule, checked_cold, checked_hot, boxes.answered(),
              boxes.most_open());
  for (int count : handle_counts) std::printf(" %d", count);
  std::printf("\n");

  EXPECT_EQ(malformed, 0);
  EXPECT_LE(boxes.most_open(), 1);
  EXPECT_GT(boxes.answered(), 0) << "the device was never missed";
  EXPECT_GT(checked_cold, 0);
  EXPECT_GT(checked_hot, 0);
  ASSERT_GE(handle_counts.size(), 2u);
  EXPECT_LE(handle_counts.back(), handle_counts.front() + 4) << "handles grew over the run";
  // The last report is the exit policy's (nothing chosen: everything off), and the rules are saved.
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().bytes, (std::vector<std::uint8_t>{0x00, 0x00}));
  EXPECT_NE(saved.find("41 = " + std::to_string(schedule[41]) + "\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("71 = 20\r\n72 = 25\r\n73 = 25\r\n74 = 20\r\n"), std::string::npos) << saved;
}

}  // namespace
