// The real Quellarotix.exe, started and ended as a user would, with the virtual SwitchUnit plugged
// in: the tray icon clicked with the mouse, the menu worked with the keyboard, and what the
// SwitchUnit received and the settings file it left checked from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "history/history_writer.h"
#include "history/minute_record.h"
#include "tests/e2e/program_fixture.h"
#include "tests/support/settings_groups.h"

namespace {

namespace fs = std::filesystem;
using qx::test::Clock;

using qx::test::kExitGroup;
using qx::test::kNamesGroup;
using qx::test::kScheduleGroup;
using qx::test::kStartupGroup;
using qx::test::kThermostatGroup;

using qx::test::MsSince;
using qx::test::Slurp;
using qx::test::ThisProgramFolder;
using qx::test::TrayIconShown;
using qx::test::WaitFor;

fs::path BuiltProgram() { return qx::test::BuiltProgramAt(QX_PROGRAM_PATH); }

class EndToEndTest : public qx::test::ProgramFixture {
 protected:
  void SetUp() override {
    ServeSwitch("e2e");
    UseFolder(L"user");
  }

  // The user's folder: the program, the setupapi stand-in, its settings file, and a foreign
  // hid.dll planted beside it (the stand-in that lacks HidD_GetAttributes, with which no device
  // would ever be found). The program must take hid.dll from the system folder, where the rig
  // keeps the working stand-in, so every test here also shows that the planted one is ignored.
  void UseFolder(const std::wstring& name) {
    folder_ = fs::current_path() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(BuiltProgram(), folder_ / "Quellarotix.exe");
    fs::copy_file(ThisProgramFolder() / "setupapi.dll", folder_ / "setupapi.dll");
    wchar_t system_folder[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system_folder, MAX_PATH), 0u);
    fs::copy_file(fs::path(system_folder) / "hid_noattributes.dll", folder_ / "hid.dll");
  }

  // Starts the program; returns once its tray icon is there, with the time that took.
  double StartProgram(const fs::path& working_folder = {}) {
    const auto started = Clock::now();
    process_ = Launch(0, working_folder);
    EXPECT_TRUE(WaitForMainWindow());
    window_ms_ = MsSince(started);
    EXPECT_TRUE(WaitFor([&] { return main_ && TrayIconShown(main_); }, 15000));
    return MsSince(started);
  }

  // Presses a button of the main window as a click would leave it (the thermostat's enable
  // buttons are not stored in the settings).
  void Press(int widget) {
    HWND button = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (button = qx::test::ControlOf(main_, widget)) != nullptr; }, 5000));
    SendMessageTimeoutW(button, BM_SETCHECK, BST_CHECKED, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  }

  // Waits for an outlet report from index `from` on that `matches`; returns its index, or -1.
  int WaitForReport(std::size_t from, const std::function<bool(int)>& matches, int timeout_ms) {
    int found = -1;
    WaitFor(
        [&] {
          const auto reports = switch_->OutputReports(0);
          for (std::size_t i = from; i < reports.size(); ++i) {
            if (reports[i].bytes.size() == 2 && matches(reports[i].bytes[1])) {
              found = static_cast<int>(i);
              return true;
            }
          }
          return false;
        },
        timeout_ms);
    return found;
  }

  std::vector<int> Reports(std::size_t expected) {
    switch_->WaitForOutputReports(0, expected, 5000);
    return ReportBytes();
  }

  // The records of the history the run left, oldest month first; every file must start with the
  // header and every line after it must be a whole record.
  std::vector<qx::MinuteRecord> HistoryRecords() const {
    std::vector<fs::path> months;
    for (const auto& entry : fs::directory_iterator(folder_ / qx::kHistoryFolderName)) months.push_back(entry.path());
    std::sort(months.begin(), months.end());
    std::vector<qx::MinuteRecord> records;
    for (const fs::path& month : months) {
      const std::string text = Slurp(month);
      EXPECT_EQ(text.rfind(std::string(qx::kHistoryHeader) + "\r\n", 0), 0u) << month;
      std::size_t at = text.find('\n') + 1;
      while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
        const auto record = qx::ParseMinuteLine(line);
        EXPECT_TRUE(record && line.size() > 2 && line.substr(line.size() - 2) == "\r\n") << line;
        if (record) records.push_back(*record);
        at += line.size();
      }
    }
    return records;
  }

  double window_ms_ = 0;
};

std::string ExpectedFile(const std::string& startup, const std::string& exit) {
  std::string text = kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup + startup +
                     kExitGroup + exit + kScheduleGroup;
  for (int id = 41; id <= 56; ++id) text += std::to_string(id) + " = 0\r\n";
  text += kThermostatGroup;
  for (int id = 67; id <= 82; ++id) text += std::to_string(id) + " = 0\r\n";
  return text;
}

TEST_F(EndToEndTest, SwitchThroughTheTrayMenuAndExit) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup + "Lamp = 1\r\n" +
             kExitGroup + "Fan = 1\r\n";
  // Saves killed half way left their temporary files behind: one of a process that has ended
  // since (its handle is kept, so its id is not given to another), one of a process still running.
  PROCESS_INFORMATION ended = Launch(CREATE_SUSPENDED);
  TerminateProcess(ended.hProcess, 1);
  WaitForSingleObject(ended.hProcess, 5000);
  const fs::path ended_save = folder_ / ("Quellarotix.ini." + std::to_string(ended.dwProcessId) + ".tmp");
  const fs::path running_save = folder_ / ("Quellarotix.ini." + std::to_string(GetCurrentProcessId()) + ".tmp");
  qx::test::Put(ended_save, "[half");
  qx::test::Put(running_save, "[half");
  const double to_tray_ms = StartProgram();
  ASSERT_NE(main_, nullptr);
  std::printf("process start to main window: %.0f ms, to tray icon: %.0f ms\n", window_ms_, to_tray_ms);
  EXPECT_FALSE(IsWindowVisible(main_)) << "only the tray icon is shown";
  ASSERT_EQ(Reports(1), std::vector<int>{0x02})
      << "outlet 1 is switched on at start-up (the SwitchUnit found despite the hid.dll beside the program)";

  ChooseFromTrayMenu(2);  // "2. Pump"
  EXPECT_EQ(Reports(2), (std::vector<int>{0x02, 0x06}));

  ChooseFromTrayMenu(1, VK_UP);  // "Выход"
  EXPECT_EQ(ExitCode(10000), 0u);
  // The exit policy: only the fan is left on.
  EXPECT_EQ(Reports(3), (std::vector<int>{0x02, 0x06, 0x10}));
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), ExpectedFile("Lamp = 1\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n",
                                                             "Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 1\r\n"));
  EXPECT_FALSE(fs::exists(ended_save));
  EXPECT_TRUE(fs::exists(running_save));
  // The history beside the settings: the minute under way at exit is written, the outlets as the
  // exit policy left them, the SwitchUnit there.
  const auto records = HistoryRecords();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().outlets, (std::array<bool, 4>{false, false, false, true}));
  EXPECT_TRUE(records.back().device);
  CloseHandle(ended.hThread);
  CloseHandle(ended.hProcess);
}

TEST_F(EndToEndTest, EndOfSessionRunsTheShutdown) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kExitGroup + "Lamp = 1\r\nHeater = 1\r\n";
  const double to_tray_ms = StartProgram();
  ASSERT_NE(main_, nullptr);
  std::printf("process start to main window: %.0f ms, to tray icon: %.0f ms\n", window_ms_, to_tray_ms);
  ASSERT_EQ(Reports(1), std::vector<int>{0x00});
  // What Windows sends every top-level window at log-off.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(Reports(2), (std::vector<int>{0x00, 0x0A}));
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), ExpectedFile("Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n",
                                                             "Lamp = 1\r\nPump = 0\r\nHeater = 1\r\nFan = 0\r\n"));
  // The session's end writes the minute under way too.
  const auto records = HistoryRecords();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().outlets, (std::array<bool, 4>{true, false, true, false}));
}

// The program started again while it runs, as a user does who saw nothing happen: the second
// start only brings up the first one's window.
TEST_F(EndToEndTest, SecondStartShowsTheFirstAndLeavesItAlone) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup + "Lamp = 1\r\n";
  StartProgram();
  ASSERT_NE(main_, nullptr);
  ASSERT_EQ(Reports(1), std::vector<int>{0x02});
  ASSERT_FALSE(IsWindowVisible(main_));
  const std::string settings = Slurp(folder_ / "Quellarotix.ini");

  PROCESS_INFORMATION second = Launch();
  ASSERT_EQ(WaitForSingleObject(second.hProcess, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0xDEAD;
  GetExitCodeProcess(second.hProcess, &code);
  CloseHandle(second.hThread);
  CloseHandle(second.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main_) != FALSE; }, 5000)) << "the first one's window is shown";
  EXPECT_FALSE(IsIconic(main_));
  Sleep(1000);  // time for a start-up report, had the second sent one
  EXPECT_EQ(Reports(1), std::vector<int>{0x02}) << "the outlets are as the first one set them";
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), settings);

  // The first one still drives the device, and ends as always when its window is closed.
  PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(Reports(2), (std::vector<int>{0x02, 0x00}));
}

// A heater on outlet 3 (band 20/25) under a sensor that gives nothing, then only readings the
// window rejects, then 15 degrees, then rejected readings again: without a fresh reading the
// heater is kept off.
TEST_F(EndToEndTest, ThermostatKeepsTheHeaterOffWithoutAFreshReading) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kThermostatGroup +
             "71 = 20\r\n72 = 25\r\n";
  switch_->SetRate(0, 0);
  StartProgram();
  ASSERT_NE(main_, nullptr);
  ASSERT_EQ(Reports(1), std::vector<int>{0x00});
  ASSERT_EQ(switch_->Status(0).reports_read, 0);
  Press(33);
  auto heater_on = [](int bits) { return (bits & 0x08) != 0; };
  auto heater_off = [](int bits) { return (bits & 0x08) == 0; };

  // No reading ever: the 0 degrees that were never measured switch nothing on; off at every tick.
  ASSERT_GE(Reports(5).size(), 5u);
  EXPECT_EQ(WaitForReport(1, heater_on, 500), -1);
  // A broken sensor: counts of 0 and beyond the window.
  for (int count : {0, 3000}) {
    switch_->SetCount(0, count);
    switch_->SetRate(0, 5);
    const std::size_t from = switch_->OutputReports(0).size();
    ASSERT_GE(Reports(from + 3).size(), from + 3) << count;
    EXPECT_EQ(WaitForReport(1, heater_on, 300), -1) << count;
  }
  // It measures again: cold, so the heater goes on.
  switch_->SetCount(0, 15 * 16);
  const int on = WaitForReport(0, heater_on, 5000);
  ASSERT_GE(on, 0);
  // It breaks again: the last reading stands for 10 s, then the heater goes off.
  const std::int64_t broke = qx::vswitch::PerformanceCounter();
  switch_->SetCount(0, 0);
  const int off = WaitForReport(static_cast<std::size_t>(on), heater_off, 20000);
  ASSERT_GE(off, 0);
  const auto reports = switch_->OutputReports(0);
  const double after =
      static_cast<double>(reports[static_cast<std::size_t>(off)].qpc - broke) / qx::vswitch::PerformanceFrequency();
  std::printf("heater off %.2f s after the sensor broke\n", after);
  EXPECT_GT(after, 9.0);
  EXPECT_LT(after, 14.0);
  EXPECT_EQ(WaitForReport(static_cast<std::size_t>(off), heater_on, 1500), -1);
}

// The settings file cannot be written at exit (another program holds it): the user is told in one
// box, with the file's path as it is even where Windows-1251 has no letters for it, and no rule
// switches an outlet behind the box, after the exit report.
TEST_F(EndToEndTest, SettingsThatCannotBeSavedAreToldWithTheirPath) {
  UseFolder(L"Gr\u00FC\u00DFe \u03A9");
  const std::string settings =
      kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kThermostatGroup + "71 = 20\r\n72 = 25\r\n";
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary) << settings;
  switch_->SetCount(0, 15 * 16);
  StartProgram();
  ASSERT_NE(main_, nullptr);
  Press(33);  // the heater follows the thermostat, on at 15 degrees every half second
  auto only_the_heater = [](int bits) { return bits == 0x08; };
  ASSERT_GE(WaitForReport(0, only_the_heater, 5000), 0);

  const HANDLE held =
      CreateFileW((folder_ / "Quellarotix.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ChooseFromTrayMenu(1, VK_UP);  // "Выход"
  auto boxes = [&] { return qx::test::VisibleWindowsOf(process_.dwProcessId, L"#32770", L"USB Quellarotix"); };
  ASSERT_TRUE(WaitFor([&] { return !boxes().empty(); }, 5000)) << "no box";
  const HWND box = boxes().front();
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  EXPECT_EQ(std::wstring(text),
            L"\u041D\u0435 \u0443\u0434\u0430\u043B\u043E\u0441\u044C "
            L"\u0441\u043E\u0445\u0440\u0430\u043D\u0438\u0442\u044C "
            L"\u043D\u0430\u0441\u0442\u0440\u043E\u0439\u043A\u0438:\n" +
                (folder_ / "Quellarotix.ini").wstring());
  const std::size_t at_box = switch_->OutputReports(0).size();
  Sleep(1500);  // three thermostat periods
  const auto reports = switch_->OutputReports(0);
  EXPECT_EQ(reports.size(), at_box) << "an outlet was switched after the exit report";
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().bytes, (std::vector<std::uint8_t>{0x00, 0x00})) << "the exit report";
  EXPECT_EQ(boxes().size(), 1u);

  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(ExitCode(10000), 0u);
  CloseHandle(held);
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), settings);
}

// --- Start at log-on ------------------------------------------------------------------------

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t kLogonValue[] = L"Quellarotix";

using Bytes = std::vector<BYTE>;

// A value of the user's key as its bytes; none if it is missing.
std::optional<Bytes> ReadUserValue(const wchar_t* key, DWORD& type) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, kLogonValue, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  Bytes bytes(size);
  if (RegGetValueW(HKEY_CURRENT_USER, key, kLogonValue, RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  bytes.resize(size);
  return bytes;
}

void WriteUserValue(const wchar_t* key, DWORD type, const std::optional<Bytes>& bytes) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  if (bytes) {
    EXPECT_EQ(RegSetValueExW(handle, kLogonValue, 0, type, bytes->data(), static_cast<DWORD>(bytes->size())),
              ERROR_SUCCESS);
  } else {
    RegDeleteValueW(handle, kLogonValue);
  }
  RegCloseKey(handle);
}

// The Run value's command; none if there is no such value (or it is not text).
std::optional<std::wstring> RunCommand() {
  DWORD type = 0;
  const std::optional<Bytes> bytes = ReadUserValue(kRunKey, type);
  if (!bytes || type != REG_SZ) return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes->data()), bytes->size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

void SetRunCommand(const std::optional<std::wstring>& command) {
  if (!command) return WriteUserValue(kRunKey, REG_SZ, std::nullopt);
  const auto* first = reinterpret_cast<const BYTE*>(command->c_str());
  WriteUserValue(kRunKey, REG_SZ, Bytes(first, first + (command->size() + 1) * sizeof(wchar_t)));
}

std::optional<Bytes> Approval() {
  DWORD type = 0;
  return ReadUserValue(kApprovedKey, type);
}

class LogonStartTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    Forget();
  }
  void TearDown() override {
    EndToEndTest::TearDown();
    Forget();
  }
  static void Forget() {
    SetRunCommand(std::nullopt);
    WriteUserValue(kApprovedKey, REG_BINARY, std::nullopt);
  }
};

// The item's mark is worked out as the menu opens, and choosing the item turns that mark over;
// so what each choice below writes shows what the mark was. The registry is changed behind the
// running program between the openings, as the user would with Task Manager or another copy.
TEST_F(LogonStartTest, ChoosingTheItemTurnsOverTheMarkTheRegistryGives) {
  StartProgram();
  ASSERT_NE(main_, nullptr);
  ASSERT_EQ(Reports(1), std::vector<int>{0x00});
  const std::wstring path = (folder_ / "Quellarotix.exe").wstring();
  const std::wstring ours = L"\"" + path + L"\"";
  std::wstring shouted = path;
  CharUpperBuffW(shouted.data(), static_cast<DWORD>(shouted.size()));
  // Task Manager's records: switched off (with the time of it after the first byte), switched on.
  const Bytes off = {0x03, 0x00, 0x00, 0x00, 0x5A, 0x1C, 0x7B, 0x33, 0x01, 0xD9, 0x01, 0x00};
  const Bytes on_again = {0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes on_long_ago = {0x06, 0x00, 0x00, 0x00, 0x5A, 0x1C, 0x7B, 0x33, 0x01, 0xD9, 0x01, 0x00};
  struct Case {
    const char* what;
    std::optional<std::wstring> run;
    std::optional<Bytes> approval;
    std::optional<std::wstring> run_after;
    std::optional<Bytes> approval_after;
  };
  const Case cases[] = {
      {"no value: unticked; ticking writes the quoted full path", std::nullopt, std::nullopt, ours, std::nullopt},
      {"this program's value: ticked; unticking removes it", ours, std::nullopt, std::nullopt, std::nullopt},
      {"another copy's value: unticked; ticking names this one", L"\"C:\\Tools\\Quellarotix.exe\"", std::nullopt, ours,
       std::nullopt},
      {"switched off in Task Manager: unticked; ticking switches it on there too", ours, off, ours, on_again},
      {"unquoted, in capitals, approved with the lowest bit clear: ticked", shouted, on_long_ago, std::nullopt,
       on_long_ago},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetRunCommand(c.run);
    WriteUserValue(kApprovedKey, REG_BINARY, c.approval);
    ChooseFromTrayMenu(2, VK_UP);  // the item just above "Выход"
    EXPECT_TRUE(WaitFor([&] { return RunCommand() == c.run_after && Approval() == c.approval_after; }, 5000));
    EXPECT_EQ(RunCommand().value_or(L"(none)"), c.run_after.value_or(L"(none)"));
    EXPECT_EQ(Approval().has_value(), c.approval_after.has_value());
  }
  Sleep(500);  // time for a report, had the item sent one
  EXPECT_EQ(Reports(1), std::vector<int>{0x00}) << "the item switches no outlet and sends no report";
  ChooseFromTrayMenu(1, VK_UP);  // "Выход"
  EXPECT_EQ(ExitCode(10000), 0u);
}

// --- Where the settings are ------------------------------------------------------------------

enum class WorkingFolder { kSystem, kWindows, kOther };

class SettingsFolderTest : public EndToEndTest, public ::testing::WithParamInterface<WorkingFolder> {
 protected:
  void TearDown() override {
    EndToEndTest::TearDown();
    // Never leave a file of ours in the prefix's system folders.
    if (GetParam() != WorkingFolder::kOther) fs::remove(working_ / "Quellarotix.ini");
  }

  fs::path working_;
};

// Two settings files, one in the working folder and one beside the program, with different
// start-up outlets: the start-up report shows which was read, the files after exit which was
// written. Started in the system's own folders (written in letter cases of their own, as a launcher
// may), the program keeps to the file beside it; from any other folder it keeps to that folder's.
TEST_P(SettingsFolderTest, ReadsAndSavesTheFileOfTheRightFolder) {
  wchar_t system_folder[MAX_PATH] = {};
  switch (GetParam()) {
    case WorkingFolder::kSystem:
      ASSERT_GT(GetSystemDirectoryW(system_folder, MAX_PATH), 0u);
      CharUpperBuffW(system_folder, static_cast<DWORD>(wcslen(system_folder)));
      working_ = system_folder;
      break;
    case WorkingFolder::kWindows:
      ASSERT_GT(GetWindowsDirectoryW(system_folder, MAX_PATH), 0u);
      working_ = std::wstring(system_folder) + L"\\";
      break;
    case WorkingFolder::kOther:
      working_ = fs::current_path() / "elsewhere";
      fs::remove_all(working_);
      fs::create_directories(working_);
      break;
  }
  const bool beside = GetParam() != WorkingFolder::kOther;
  const fs::path chosen = (beside ? folder_ : working_) / "Quellarotix.ini";
  const fs::path ignored = (beside ? working_ : folder_) / "Quellarotix.ini";
  std::ofstream(chosen, std::ios::binary) << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" +
                                                 kStartupGroup + "Lamp = 1\r\n" + kExitGroup + "Fan = 1\r\n";
  const std::string decoy = kNamesGroup + "1 = A\r\n2 = B\r\n3 = C\r\n4 = D\r\n" + kStartupGroup + "B = 1\r\n";
  qx::test::Put(ignored, decoy);

  StartProgram(working_);
  ASSERT_NE(main_, nullptr);
  EXPECT_EQ(Reports(1), std::vector<int>{0x02}) << "outlet 1 on, as the file of " << chosen.string() << " says";
  ChooseFromTrayMenu(1, VK_UP);  // "Выход"
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(Slurp(chosen), ExpectedFile("Lamp = 1\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n",
                                        "Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 1\r\n"));
  EXPECT_EQ(Slurp(ignored), decoy);
}

std::string WorkingFolderName(const ::testing::TestParamInfo<WorkingFolder>& info) {
  switch (info.param) {
    case WorkingFolder::kSystem:
      return "InTheSystemFolder";
    case WorkingFolder::kWindows:
      return "InTheWindowsFolder";
    case WorkingFolder::kOther:
      break;
  }
  return "InAnotherFolder";
}

INSTANTIATE_TEST_SUITE_P(Starts, SettingsFolderTest,
                         ::testing::Values(WorkingFolder::kSystem, WorkingFolder::kWindows, WorkingFolder::kOther),
                         WorkingFolderName);

}  // namespace
