// The console companion (Quellarotix.com) against the real Quellarotix.exe and the virtual
// SwitchUnit: what scripts read agrees with the window, what they switch reaches the device as the
// tray menu's clicks do, and the pipe between them holds up against clients that misbehave and
// against a process that took the pipe's name first.
#include <windows.h>

#include <aclapi.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/reply.h"
#include "qx_version.h"
#include "tests/e2e/program_fixture.h"
#include "tests/support/json_reader.h"
#include "tests/support/mqtt_broker.h"
#include "tests/support/settings_groups.h"

namespace {

namespace fs = std::filesystem;
using qx::test::Clock;
using qx::test::JsonReader;
using qx::test::JsonValue;
using qx::test::MsSince;
using qx::test::WaitFor;

// "Насос" in the settings file's Windows-1251 and in the companion's UTF-8.
constexpr char kPumpCp1251[] = "\xCD\xE0\xF1\xEE\xF1";
constexpr char kPumpUtf8[] = "\xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81";
// "USB отключен" in UTF-8.
constexpr char kUnpluggedUtf8[] = "USB \xD0\xBE\xD1\x82\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB5\xD0\xBD";

std::string Utf8(const std::wstring& wide) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
  return text;
}

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &length);
  return std::wstring(text, length);
}

std::wstring PipeName() {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return L"\\\\.\\pipe\\Quellarotix-" + std::to_wstring(session);
}

HANDLE OpenPipe(DWORD extra_access = 0) {
  return CreateFileW(PipeName().c_str(), GENERIC_READ | GENERIC_WRITE | extra_access, 0, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

// Sends `bytes` as they are (no line feed added) and reads until they make a whole reply, or the
// program closes its end.
std::string Exchange(HANDLE pipe, const std::string& bytes) {
  DWORD done = 0;
  WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  std::string reply;
  char buffer[512];
  while (!qx::ParseReply(reply) && ReadFile(pipe, buffer, sizeof buffer, &done, nullptr) && done > 0)
    reply.append(buffer, done);
  return reply;
}

struct Outcome {
  DWORD code = 0xDEAD;
  std::string out;
  std::string err;
  double ms = 0;
};

class ConsoleTest : public qx::test::ProgramFixture {
 protected:
  void SetUp() override {
    ServeSwitch("console");
    folder_ = fs::current_path() / "user";
    // The last test's program may still be letting go of its files.
    std::error_code error;
    ASSERT_TRUE(WaitFor([&] { return fs::remove_all(folder_, error) != static_cast<std::uintmax_t>(-1); }, 10000))
        << error.message();
    fs::create_directories(folder_);
    fs::copy_file(qx::test::BuiltProgramAt(QX_PROGRAM_PATH), folder_ / "Quellarotix.exe");
    fs::copy_file(qx::test::BuiltProgramAt(QX_COMPANION_PATH), folder_ / "Quellarotix.com");
    fs::copy_file(qx::test::ThisProgramFolder() / "setupapi.dll", folder_ / "setupapi.dll");
    qx::test::Put(folder_ / "Quellarotix.ini",
                  qx::test::kNamesGroup + "1 = Lamp\r\n2 = " + kPumpCp1251 + "\r\n3 = Heater\r\n4 = Fan\r\n" +
                      qx::test::kStartupGroup + "Lamp = 1\r\n" + qx::test::kExitGroup + "Fan = 1\r\n" +
                      qx::test::kScheduleGroup + "41 = 8\r\n42 = 31\r\n51 = 24\r\n52 = 1\r\n" +
                      qx::test::kThermostatGroup + "71 = 20\r\n72 = 25\r\n73 = 30\r\n74 = 18\r\n");
  }

  void StartProgram() {
    process_ = Launch();
    ASSERT_NE(process_.hProcess, nullptr);
    ASSERT_TRUE(WaitForMainWindow());
    ASSERT_TRUE(switch_->WaitForOutputReports(0, 1, 15000));
    // The channel starts right after the start-up report.
    ASSERT_TRUE(WaitFor([] { return WaitNamedPipeW(PipeName().c_str(), 1) != FALSE; }, 5000));
  }

  // Runs the companion with `arguments`, its output redirected to files (so it writes UTF-8, and a
  // program it starts cannot hold the test up by holding the output open); from the program's
  // folder, or from another one where it was copied alone.
  // With `input`, that is its standard input (a file), as a script's pipe would give it.
  Outcome Companion(const std::wstring& arguments, const fs::path& companion_folder = {},
                    const std::optional<std::string>& input = std::nullopt) {
    const fs::path& from = companion_folder.empty() ? folder_ : companion_folder;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE in = nullptr;
    if (input) {
      const fs::path in_file = fs::current_path() / "companion.in";
      qx::test::Put(in_file, *input);
      in = CreateFileW(in_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING, 0,
                       nullptr);
    }
    const fs::path out_file = fs::current_path() / "companion.out";
    const fs::path err_file = fs::current_path() / "companion.err";
    auto create = [&](const fs::path& name) {
      return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                         CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE out = create(out_file);
    HANDLE err = create(err_file);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"\"" + (from / "Quellarotix.com").wstring() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    Outcome outcome;
    const auto started = Clock::now();
    const bool ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   from.c_str(), &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (in) CloseHandle(in);
    EXPECT_TRUE(ok);
    if (!ok) return outcome;
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    outcome.ms = MsSince(started);
    GetExitCodeProcess(process.hProcess, &outcome.code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    outcome.out = qx::test::Slurp(out_file);
    outcome.err = qx::test::Slurp(err_file);
    return outcome;
  }

  HWND Control(int widget) { return qx::test::ControlOf(main_, widget); }

  bool Checked(int widget) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(Control(widget), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
  }

  // The status bar's first field: a status bar's window text is that field's text.
  std::wstring ConnectionField() {
    std::wstring text = WindowText(FindWindowExW(main_, nullptr, STATUSCLASSNAMEW, nullptr));
    while (!text.empty() && text.front() == L'\t') text.erase(0, 1);
    return text;
  }

  // The program's boxes that are open now.
  int OpenBoxes() { return static_cast<int>(qx::test::VisibleWindowsOf(process_.dwProcessId, L"#32770").size()); }
};

TEST_F(ConsoleTest, StatusAgreesWithTheWindow) {
  StartProgram();
  // The temperature reaches the window a moment after the start.
  ASSERT_TRUE(WaitFor([&] { return WindowText(Control(9)) == L"23.5 \u00B0C"; }, 10000));

  const Outcome text = Companion(L"STATUS");
  ASSERT_EQ(text.code, 0u) << text.err;
  const std::string first_line = text.out.substr(0, text.out.find('\n'));
  EXPECT_EQ(first_line, Utf8(ConnectionField() + L"  " + WindowText(Control(9))));
  EXPECT_EQ(first_line,
            "USB \xD0\xBF\xD0\xBE\xD0\xB4\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB5\xD0\xBD  23.5 \xC2\xB0"
            "C");
  EXPECT_NE(text.out.find(std::string("\n2. ") + kPumpUtf8 + "  \xD0\xB2\xD1\x8B\xD0\xBA\xD0\xBB\n"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\n1. Lamp  \xD0\xB2\xD0\xBA\xD0\xBB\n"), std::string::npos) << text.out;

  const Outcome json = Companion(L"status --json");
  ASSERT_EQ(json.code, 0u) << json.err;
  const std::optional<JsonValue> parsed = JsonReader::Read(json.out);
  ASSERT_TRUE(parsed) << json.out;
  const JsonValue& status = *parsed;
  EXPECT_TRUE(status["device"].boolean);
  EXPECT_EQ(status["temperature"].text, "23.5");
  EXPECT_TRUE(status["reading_fresh"].boolean);
  ASSERT_EQ(status["outlets"].items.size(), 4u);
  for (int outlet = 1; outlet <= 4; ++outlet) {
    SCOPED_TRACE(outlet);
    const JsonValue& o = status["outlets"][static_cast<std::size_t>(outlet - 1)];
    EXPECT_EQ(o["outlet"].number, outlet);
    EXPECT_EQ(o["name"].text, Utf8(WindowText(Control(4 + outlet))));
    EXPECT_EQ(o["on"].boolean, Checked(outlet));
    EXPECT_EQ(o["on_at_start"].boolean, Checked(10 + outlet));
    EXPECT_EQ(o["on_at_exit"].boolean, Checked(14 + outlet));
    EXPECT_EQ(o["thermostat"]["enabled"].boolean, Checked(30 + outlet));
    ASSERT_EQ(o["thermostat"]["fields"].items.size(), 2u);
    EXPECT_EQ(o["thermostat"]["fields"][0].text, Utf8(WindowText(Control(65 + 2 * outlet))));
    EXPECT_EQ(o["thermostat"]["fields"][1].text, Utf8(WindowText(Control(66 + 2 * outlet))));
    for (const char* key : {"on", "off"}) EXPECT_TRUE(o["schedule"].Has(key)) << key;
  }
  const JsonValue& outlets = status["outlets"];
  EXPECT_EQ(outlets[1]["name"].text, kPumpUtf8);
  EXPECT_TRUE(outlets[0]["on"].boolean && outlets[0]["on_at_start"].boolean);
  EXPECT_TRUE(outlets[3]["on_at_exit"].boolean);
  // Rule boxes hold item h + 1 and m + 1: outlet 1 on at 07:30, outlet 2 off at 23:00.
  EXPECT_EQ(outlets[0]["schedule"]["on"].text, Utf8(WindowText(Control(41)) + L":" + WindowText(Control(42))));
  EXPECT_EQ(outlets[0]["schedule"]["on"].text, "07:30");
  EXPECT_EQ(outlets[0]["schedule"]["off"].kind, JsonValue::Kind::kNull);
  EXPECT_EQ(outlets[1]["schedule"]["off"].text, "23:00");
  // Outlet 4's band is given upside down; the thermostat uses the lower value to switch on.
  EXPECT_EQ(outlets[3]["thermostat"]["on_at_or_below"].number, 18);
  EXPECT_EQ(outlets[3]["thermostat"]["off_at_or_above"].number, 30);
  EXPECT_EQ(outlets[2]["thermostat"]["on_at_or_below"].number, 20);

  const Outcome temperature = Companion(L"temperature");
  EXPECT_EQ(temperature.code, 0u);
  EXPECT_EQ(temperature.out, "23.5\n");

  // Copied alone into a folder on the PATH, it finds the running program all the same.
  const fs::path alone = folder_ / "on-path";
  fs::create_directories(alone);
  fs::copy_file(folder_ / "Quellarotix.com", alone / "Quellarotix.com");
  const Outcome elsewhere = Companion(L"temperature", alone);
  EXPECT_EQ(elsewhere.code, 0u) << elsewhere.err;
  EXPECT_EQ(elsewhere.out, "23.5\n");
}

// The tray menu's item for outlet 2 and the companion's commands, against the same device.
TEST_F(ConsoleTest, SwitchingReachesTheDeviceAsTheTrayMenuDoes) {
  StartProgram();
  ASSERT_EQ(ReportBytes(), std::vector<int>{0x02});
  struct Step {
    const wchar_t* command;
    int report;
  } steps[] = {
      {L"on 2", 0x06},      // as the menu's item 2 on a switched-off outlet
      {L"toggle 2", 0x02},  // and on a switched-on one
      {L"ON 3 4 3", 0x1A},  // several outlets: one report, a number given twice counts once
      {L"off 1 4", 0x08},  {L"Toggle 1 3", 0x02},
  };
  std::size_t expected = 1;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << std::string(step.command, step.command + wcslen(step.command)));
    const Outcome outcome = Companion(step.command);
    EXPECT_EQ(outcome.code, 0u) << outcome.err;
    ++expected;
    ASSERT_TRUE(switch_->WaitForOutputReports(0, expected, 5000));
    EXPECT_EQ(ReportBytes().back(), step.report);
    for (int outlet = 1; outlet <= 4; ++outlet) {
      EXPECT_EQ(Checked(outlet), ((step.report >> outlet) & 1) != 0) << "check box " << outlet;
    }
  }
  Sleep(300);
  EXPECT_EQ(ReportBytes().size(), expected) << "one report per command";
}

TEST_F(ConsoleTest, WrongRequestsAreRefusedBeforeAnythingHappens) {
  StartProgram();
  for (const wchar_t* command : {L"on", L"on 5", L"off 0", L"jump", L"status --xml", L"quit now"}) {
    const Outcome outcome = Companion(command);
    EXPECT_EQ(outcome.code, 2u) << Utf8(command);
    EXPECT_NE(outcome.err.find("Usage:"), std::string::npos) << Utf8(command);
    EXPECT_TRUE(outcome.out.empty());
  }
  const Outcome help = Companion(L"--help");
  EXPECT_EQ(help.code, 0u);
  EXPECT_NE(help.out.find("next tick"), std::string::npos);
  EXPECT_EQ(Companion(L"--version").out, "Quellarotix " QX_VERSION_TEXT "\n");
  EXPECT_EQ(ReportBytes(), std::vector<int>{0x02});
}

// Bytes no companion would send, straight into the pipe: each gets an error and acts on nothing.
TEST_F(ConsoleTest, ThePipeAnswersBadInputWithAnError) {
  StartProgram();
  const std::string long_line(5000, 'x');
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"unknown verb", "QX/1 explode\n"},
      {"outlet out of range", "QX/1 on 9\n"},
      {"another protocol version", "QX/2 status\n"},
      {"no version", "status\n"},
      {"not UTF-8", "QX/1 status \xC0\xAF\n"},
      {"NUL inside", std::string("QX/1 on 1\0 2\n", 13)},
      {"over 4 KB, no line feed yet", "QX/1 status " + long_line},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE pipe = OpenPipe();
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const std::string reply = Exchange(pipe, c.bytes);
    CloseHandle(pipe);
    const std::optional<qx::Reply> parsed = qx::ParseReply(reply);
    ASSERT_TRUE(parsed) << reply;
    EXPECT_EQ(parsed->status, 2) << parsed->body;
  }
  // A client that goes away half-way through its line.
  HANDLE pipe = OpenPipe();
  DWORD done = 0;
  WriteFile(pipe, "QX/1 on", 7, &done, nullptr);
  CloseHandle(pipe);

  EXPECT_EQ(ReportBytes(), std::vector<int>{0x02}) << "nothing was switched";
  const Outcome after = Companion(L"status");
  EXPECT_EQ(after.code, 0u) << "the channel still serves";
}

// More clients at once than the program serves side by side: the rest wait their turn in the
// pipe's queue, and every one gets its answer.
TEST_F(ConsoleTest, ManyClientsAtOnceAreAllAnswered) {
  StartProgram();
  constexpr int kClients = 20;
  std::vector<int> statuses(kClients, -1);
  std::vector<std::thread> clients;
  for (int k = 0; k < kClients; ++k) {
    clients.emplace_back([&, k] {
      HANDLE pipe = INVALID_HANDLE_VALUE;
      WaitFor(
          [&] {
            if ((pipe = OpenPipe()) != INVALID_HANDLE_VALUE) return true;
            if (GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeW(PipeName().c_str(), 1000);
            return false;
          },
          10000);
      if (pipe == INVALID_HANDLE_VALUE) return;
      const std::optional<qx::Reply> reply = qx::ParseReply(Exchange(pipe, "QX/1 status --json\n"));
      CloseHandle(pipe);
      if (reply && JsonReader::Read(reply->body)) statuses[static_cast<std::size_t>(k)] = reply->status;
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(statuses, std::vector<int>(kClients, 0));
}

TEST_F(ConsoleTest, WithoutADeviceNothingChangesAndNoBoxOpens) {
  StartProgram();
  ASSERT_TRUE(switch_->Unplug(0));
  ASSERT_TRUE(WaitFor([&] { return Utf8(ConnectionField()) == kUnpluggedUtf8; }, 10000));
  for (const wchar_t* command : {L"on 2", L"off 1", L"toggle 3"}) {
    const Outcome outcome = Companion(command);
    EXPECT_EQ(outcome.code, 4u) << Utf8(command);
    EXPECT_EQ(outcome.err, std::string(kUnpluggedUtf8) + "\n");
  }
  EXPECT_TRUE(Checked(1));
  EXPECT_FALSE(Checked(2));
  EXPECT_FALSE(Checked(3));
  EXPECT_EQ(ReportBytes(), std::vector<int>{0x02});
  EXPECT_EQ(OpenBoxes(), 0);
  const Outcome temperature = Companion(L"temperature");
  EXPECT_EQ(temperature.code, 4u);
  const std::optional<JsonValue> status = JsonReader::Read(Companion(L"status --json").out);
  ASSERT_TRUE(status);
  EXPECT_FALSE((*status)["device"].boolean);
  EXPECT_EQ((*status)["temperature"].kind, JsonValue::Kind::kNull);
}

// Typed without a command, the companion starts the program beside it and returns at once; typed
// again, the running one's window comes up, as with `show`.
TEST_F(ConsoleTest, WithoutACommandTheProgramStartsOrShowsItself) {
  const Outcome first = Companion(L"");
  EXPECT_EQ(first.code, 0u);
  HWND window = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (window = FindWindowW(L"QuellarotixWindow", L"USB Quellarotix")) != nullptr; }, 15000));
  EXPECT_LT(first.ms, 3000.0) << "it did not wait for the program";
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  process_.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  ASSERT_NE(process_.hProcess, nullptr);
  main_ = window;
  ASSERT_TRUE(switch_->WaitForOutputReports(0, 1, 15000));
  ASSERT_TRUE(WaitFor([] { return WaitNamedPipeW(PipeName().c_str(), 1) != FALSE; }, 5000));
  EXPECT_FALSE(IsWindowVisible(main_));

  const Outcome again = Companion(L"");
  EXPECT_EQ(again.code, 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main_) != FALSE; }, 10000)) << "a second start shows the window";
  ShowWindowAsync(main_, SW_HIDE);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main_) == FALSE; }, 5000));
  EXPECT_EQ(Companion(L"show").code, 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main_) != FALSE; }, 5000)) << "show";
  EXPECT_EQ(Companion(L"quit").code, 0u);
  EXPECT_EQ(ExitCode(10000), 0u);
}

TEST_F(ConsoleTest, NotRunningIsToldAtOnce) {
  const Outcome outcome = Companion(L"status");
  EXPECT_EQ(outcome.code, 3u);
  EXPECT_TRUE(outcome.out.empty());
  EXPECT_FALSE(outcome.err.empty());
  EXPECT_LT(outcome.ms, 3000.0);
}

// A client that connects and says nothing holds up nobody, and is let go after 2 s.
TEST_F(ConsoleTest, ASilentClientDelaysNeitherScriptsNorTheMenu) {
  StartProgram();
  const Outcome baseline = Companion(L"status");
  std::printf("companion alone: %.0f ms\n", baseline.ms);
  HANDLE silent = OpenPipe();
  ASSERT_NE(silent, INVALID_HANDLE_VALUE);
  const auto opened = Clock::now();
  const Outcome outcome = Companion(L"status");
  EXPECT_EQ(outcome.code, 0u);
  std::printf("companion beside a silent client: %.0f ms\n", outcome.ms);
  EXPECT_LT(MsSince(opened), 1500.0) << "the other client waited for the silent one";

  // The tray menu's own item 2, while the silent client still holds its instance.
  HWND tray = FindWindowW(nullptr, L"Wine System Tray");
  ASSERT_NE(tray, nullptr);
  const auto clicked = Clock::now();
  PostMessageW(main_, WM_APP + 0x101, 1, WM_RBUTTONDOWN);  // the tray icon's callback, as the shell sends it
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr)
          if (IsWindowVisible(menu)) return true;
        return false;
      },
      5000));
  PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(switch_->WaitForOutputReports(0, 2, 5000));
  EXPECT_EQ(ReportBytes().back(), 0x06);
  EXPECT_LT(MsSince(clicked), 1500.0);

  // Dropped: the program closes its end, which the silent client sees as a broken pipe.
  char byte = 0;
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(silent, &byte, 1, &got, nullptr));
  const double dropped = MsSince(opened);
  EXPECT_GE(dropped, 1800.0);
  EXPECT_LT(dropped, 4000.0);
  CloseHandle(silent);
}

// A script is answered while a message box waits for the user, and `quit` ends the program
// through the session-end path once the box is closed: exit policy, save, no further box.
TEST_F(ConsoleTest, AnsweredWhileABoxIsOpenAndQuitWaitsForIt) {
  StartProgram();
  ASSERT_TRUE(switch_->Unplug(0));
  ASSERT_TRUE(WaitFor([&] { return Utf8(ConnectionField()) == kUnpluggedUtf8; }, 10000));
  // A click on outlet 1's check box without a device opens the no-device box.
  PostMessageW(Control(1), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return OpenBoxes() == 1; }, 5000));
  const Outcome status = Companion(L"status");
  EXPECT_EQ(status.code, 0u);
  EXPECT_LT(status.ms, 3000.0);
  const Outcome quit = Companion(L"quit");
  EXPECT_EQ(quit.code, 0u);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "ended behind the box";
  ASSERT_TRUE(switch_->Plug(0));
  HWND box = FindWindowExW(nullptr, nullptr, L"#32770", nullptr);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(OpenBoxes(), 0);
  // Saved: the policy of the file, the outlet states as they were.
  EXPECT_NE(qx::test::Slurp(folder_ / "Quellarotix.ini").find(qx::test::kExitGroup + "Lamp = 0\r\n"),
            std::string::npos);
}

TEST_F(ConsoleTest, QuitRunsTheExitPolicyAndAnswersFirst) {
  StartProgram();
  const Outcome quit = Companion(L"quit");
  EXPECT_EQ(quit.code, 0u) << quit.err;
  EXPECT_EQ(ExitCode(10000), 0u);
  ASSERT_TRUE(switch_->WaitForOutputReports(0, 2, 5000));
  EXPECT_EQ(ReportBytes(), (std::vector<int>{0x02, 0x10})) << "the exit policy: only the fan is left on";
  EXPECT_EQ(OpenBoxes(), 0);
  const Outcome after = Companion(L"status");
  EXPECT_EQ(after.code, 3u);
}

// The pipe's DACL as the system keeps it: one entry, the user the program runs as. (Wine keeps
// and returns it; whether the system then refuses another user is Windows' own part.)
TEST_F(ConsoleTest, OnlyTheCurrentUserMayOpenThePipe) {
  StartProgram();
  HANDLE pipe = OpenPipe(READ_CONTROL);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(
      GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &descriptor),
      static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr) << "a missing DACL would let everyone in";
  ASSERT_EQ(dacl->AceCount, 1);
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, &ace));
  auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
  EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE user[256];
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &size));
  CloseHandle(token);
  EXPECT_TRUE(EqualSid(&allowed->SidStart, reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
  LocalFree(descriptor);
  CloseHandle(pipe);
}

// Someone else made a pipe of that name before the program started: the program serves nothing
// on it, and the companion, finding it served by another process, sends nothing.
TEST_F(ConsoleTest, ASquattedPipeIsNeverServedNorSpokenTo) {
  HANDLE squatter = CreateNamedPipeW(PipeName().c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
  StartProgram();
  const Outcome outcome = Companion(L"on 3");
  EXPECT_EQ(outcome.code, 3u);
  EXPECT_NE(outcome.err.find("not served by the running Quellarotix"), std::string::npos) << outcome.err;
  // The companion connected to the squatter's instance, and left without a word.
  char byte = 0;
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(squatter, &byte, 1, &got, nullptr));
  EXPECT_EQ(got, 0u);
  // Every instance of the name is still the squatter's: a second one made by it is what answers.
  HANDLE second = CreateNamedPipeW(PipeName().c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  HANDLE client = OpenPipe();
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  ULONG server = 0;
  ASSERT_TRUE(GetNamedPipeServerProcessId(client, &server));
  EXPECT_EQ(server, GetCurrentProcessId());
  CloseHandle(client);
  CloseHandle(second);
  CloseHandle(squatter);
  EXPECT_EQ(ReportBytes(), std::vector<int>{0x02}) << "only the start-up report: nothing of the companion's";
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "it runs on";
}

// A program slow to take the command, or to answer it: the companion gives it 5 s for the whole
// exchange, from its first try to connect, and ends with 5 then.
TEST_F(ConsoleTest, NoAnswerIsToldWithinFiveSecondsOfConnecting) {
  const fs::path stand_in = folder_ / "stand-in";
  fs::create_directories(stand_in);
  fs::copy_file(qx::test::BuiltProgramAt(QX_SLOW_PROGRAM_PATH), stand_in / "Quellarotix.exe");
  const struct {
    const char* what;
    int accept_ms;
    int answer_ms;  // after the request came; below 0: never
    DWORD code;
    double least_ms;
    double most_ms;
  } cases[] = {
      {"taken at once, never answered", 0, -1, 5, 4500, 7000},
      // The pipe busy for 4 s, then taken and never answered: 5 s in all, not 4 + 5.
      {"taken late, never answered", 4000, -1, 5, 4500, 7000},
      {"taken late, answered in time", 2000, 1500, 0, 0, 4900},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring command = L"\"" + (stand_in / "Quellarotix.exe").wstring() + L"\" " + std::to_wstring(c.accept_ms) +
                           L" " + std::to_wstring(c.answer_ms);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, stand_in.c_str(), &startup,
                               &process_));
    // Up once its pipe is there: busy while it holds its one instance, else free.
    ASSERT_TRUE(WaitFor(
        [&] {
          const bool free = WaitNamedPipeW(PipeName().c_str(), 1) != FALSE;
          return c.accept_ms > 0 ? !free && GetLastError() == ERROR_SEM_TIMEOUT : free;
        },
        10000));
    const Outcome outcome = Companion(L"status");
    EXPECT_EQ(outcome.code, c.code) << outcome.err;
    EXPECT_GE(outcome.ms, c.least_ms);
    EXPECT_LT(outcome.ms, c.most_ms);
    if (c.code == 0) {
      EXPECT_EQ(outcome.out, "slow\n");
    }
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
  }
}

// MQTT from a script: `mqtt connect` with the password on standard input switches the link on
// against the test's broker and saves the settings at once, the password only as its blob; the
// status and the JSON say how the link stands; a wrong password is told there and in no box.
TEST_F(ConsoleTest, MqttConnectSavesAtOnceAndTheStatusFollowsTheLink) {
  qx::test::MqttBroker broker;
  ASSERT_TRUE(qx::test::ReadMqttBroker(broker)) << "the test needs the broker fixture";
  StartProgram();
  const fs::path settings = folder_ / "Quellarotix.ini";
  const std::wstring server = L"127.0.0.1:" + std::to_wstring(broker.port);
  const std::string server_utf8 = "127.0.0.1:" + std::to_string(broker.port);
  const std::wstring connect = L"mqtt connect " + server + L" --user " +
                               std::wstring(broker.user.begin(), broker.user.end()) + L" --password-stdin";

  const Outcome on = Companion(connect, {}, broker.password + "\r\n");
  ASSERT_EQ(on.code, 0u) << on.err;
  // Within 3 s of the answer every discovery config and outlet state is on the broker: a checking
  // client that subscribes then gets them retained, and its -W gives up 3 s after it started.
  const qx::test::HostCommandResult announced = qx::test::RunHostCommand(
      broker,
      "mosquitto_sub " + qx::test::CheckerConnection(broker) +
          " -t 'homeassistant/+/+/+/config' -t 'quellarotix/+/outlet/+/state' -C 13 -W 3 -F %t",
      15000);
  ASSERT_TRUE(announced.finished);
  EXPECT_EQ(announced.exit_code, 0) << "not all 9 configs and 4 states within 3 s:\n" << announced.output;
  // Saved before the answer came: the group with the blob, never the password.
  const std::string saved = qx::test::Slurp(settings);
  EXPECT_NE(saved.find("[MQTT]"), std::string::npos) << saved;
  EXPECT_NE(saved.find(server_utf8.substr(0, 9)), std::string::npos) << saved;
  EXPECT_EQ(saved.find(broker.password), std::string::npos) << "the password is in the file in clear";
  EXPECT_NE(saved.find("\r\n\xCF\xE0\xF0\xEE\xEB\xFC = "), std::string::npos) << "no password key: " << saved;

  std::optional<JsonValue> json;
  ASSERT_TRUE(WaitFor(
      [&] {
        json = JsonReader::Read(Companion(L"status --json").out);
        return json && (*json)["mqtt"]["connected"].boolean;
      },
      10000));
  const JsonValue& link = (*json)["mqtt"];
  EXPECT_TRUE(link["enabled"].boolean);
  EXPECT_EQ(link["server"].text, server_utf8);
  EXPECT_FALSE(link["node"].text.empty());
  EXPECT_EQ(link["error"].kind, JsonValue::Kind::kNull);
  // "MQTT: Подключено к 127.0.0.1:PORT", before the alarms' line (none stands here).
  const Outcome status = Companion(L"status");
  EXPECT_NE(status.out.find("\nMQTT: \xD0\x9F\xD0\xBE\xD0\xB4\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB5\xD0\xBD\xD0\xBE "
                            "\xD0\xBA " +
                            server_utf8 + "\n"),
            std::string::npos)
      << status.out;
  // `mqtt`: "Пароль: задан", and the password nowhere.
  const Outcome shown = Companion(L"mqtt");
  ASSERT_EQ(shown.code, 0u) << shown.err;
  EXPECT_NE(
      shown.out.find("\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C: \xD0\xB7\xD0\xB0\xD0\xB4\xD0\xB0\xD0\xBD\n"),
      std::string::npos)
      << shown.out;
  EXPECT_EQ(shown.out.find(broker.password), std::string::npos);

  // A wrong password: said in the status ("неверный пользователь или пароль"), no box.
  ASSERT_EQ(Companion(connect, {}, "wrong-" + broker.password + "\n").code, 0u);
  const std::string wrong = "\xD0\xBD\xD0\xB5\xD0\xB2\xD0\xB5\xD1\x80\xD0\xBD\xD1\x8B\xD0\xB9 ";
  ASSERT_TRUE(WaitFor([&] { return Companion(L"status").out.find(wrong) != std::string::npos; }, 10000))
      << Companion(L"status").out;
  json = JsonReader::Read(Companion(L"status --json").out);
  ASSERT_TRUE(json);
  EXPECT_EQ((*json)["mqtt"]["error"].text, "auth");
  EXPECT_EQ(OpenBoxes(), 0);

  // Off: "Выключено", the line gone from `status`, the file saved again.
  const Outcome off = Companion(L"mqtt off");
  ASSERT_EQ(off.code, 0u) << off.err;
  EXPECT_NE(
      Companion(L"mqtt").out.find("MQTT: \xD0\x92\xD1\x8B\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB5\xD0\xBD\xD0\xBE\n"),
      std::string::npos);
  EXPECT_EQ(Companion(L"status").out.find("MQTT"), std::string::npos);
  json = JsonReader::Read(Companion(L"status --json").out);
  ASSERT_TRUE(json);
  EXPECT_FALSE((*json)["mqtt"]["enabled"].boolean);
  EXPECT_EQ(qx::test::Slurp(settings).find("[MQTT]\r\n\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1"), std::string::npos)
      << "still switched on in the file";
}

// Refused arguments change nothing: exit 2 with the reason, the settings file untouched; and with
// MQTT never switched on, `status` has no MQTT line and the file none of it at exit.
TEST_F(ConsoleTest, BadMqttArgumentsChangeNothing) {
  StartProgram();
  const fs::path settings = folder_ / "Quellarotix.ini";
  const std::string before = qx::test::Slurp(settings);
  // Once the temperature is shown, the status holds still for the comparison at the end.
  ASSERT_TRUE(WaitFor([&] { return WindowText(Control(9)) == L"23.5 \u00B0C"; }, 10000));
  const std::string status_before = Companion(L"status").out;
  EXPECT_EQ(status_before.find("MQTT"), std::string::npos) << status_before;
  for (const wchar_t* command :
       {L"mqtt connect", L"mqtt connect :1883", L"mqtt connect h:0", L"mqtt connect h:01883", L"mqtt connect fe80::1",
        L"mqtt connect h --prefix a/+", L"mqtt connect h --prefix /a", L"mqtt connect h --node pc.home",
        L"mqtt connect h --user", L"mqtt connect h --user a --user b", L"mqtt connect h --secret x", L"mqtt off now"}) {
    SCOPED_TRACE(testing::Message() << std::string(command, command + wcslen(command)));
    const Outcome outcome = Companion(command, {}, "secret\n");
    EXPECT_EQ(outcome.code, 2u);
    EXPECT_FALSE(outcome.err.empty());
    EXPECT_EQ(qx::test::Slurp(settings), before);
  }
  EXPECT_EQ(Companion(L"status").out, status_before);
  ASSERT_EQ(Companion(L"quit").code, 0u);
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(qx::test::Slurp(settings).find("MQTT"), std::string::npos);
}

}  // namespace
