// The real Quellarotix.exe with MQTT switched on in its settings file, the virtual SwitchUnit, and
// Debian's broker started by the test fixture. Home Assistant's part is played by Debian's
// mosquitto_sub and mosquitto_pub run on the host: a client that is not the program's library.
// The password in the file is a blob the test makes with the program's own store, which works
// because the test and the program run as the same user.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "model/widget_numbers.h"
#include "mqtt/password_store.h"
#include "tests/e2e/program_fixture.h"
#include "tests/support/json_reader.h"
#include "tests/support/mqtt_broker.h"
#include "tests/support/settings_groups.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// Outlet n's bit in the outlet report.
constexpr int OutletBit(int outlet) {
  return 1 << outlet;
}

// A listener on 127.0.0.1 whose queue of one place a first connection fills: the system drops the
// SYN of every later connection, so connecting to it hangs for a minute and more, as a connection
// to a server gone from the network does, instead of failing at once.
class HangingListener {
 public:
  HangingListener() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 0) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    address_ = address;
    filler_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connect(filler_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0) port_ = ntohs(address.sin_port);
  }
  ~HangingListener() {
    closesocket(filler_);
    closesocket(listener_);
    WSACleanup();
  }
  HangingListener(const HangingListener&) = delete;
  HangingListener& operator=(const HangingListener&) = delete;

  int port() const { return port_; }

  // Whether a connection tried now is still unanswered after `wait_ms`.
  bool ConnectionHangs(int wait_ms) {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonblocking = 1;
    ioctlsocket(probe, FIONBIO, &nonblocking);
    connect(probe, reinterpret_cast<sockaddr*>(&address_), sizeof address_);
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(probe, &writable);
    FD_SET(probe, &failed);
    timeval wait{wait_ms / 1000, (wait_ms % 1000) * 1000};
    const int ready = select(0, nullptr, &writable, &failed, &wait);
    closesocket(probe);
    return ready == 0;
  }

 private:
  SOCKET listener_ = INVALID_SOCKET, filler_ = INVALID_SOCKET;
  sockaddr_in address_{};
  int port_ = 0;
};

class MqttEndToEndTest : public ProgramFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ReadMqttBroker(broker_)) << "no broker: run this test through CTest (fixture mqtt_broker)";
    ServeSwitch("mqtt");
    UseNewNode();
  }

  // A node of its own and a folder named after it, with the program and the setupapi stand-in.
  void UseNewNode() {
    static int counter = 0;
    node_ = "e2e" + std::to_string(GetCurrentProcessId()) + "n" + std::to_string(++counter);
    base_ = "quellarotix/" + node_;
    folder_ = fs::current_path() / node_;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(BuiltProgramAt(QX_PROGRAM_PATH), folder_ / "Quellarotix.exe");
    fs::copy_file(ThisProgramFolder() / "setupapi.dll", folder_ / "setupapi.dll");
  }

  void TearDown() override {
    ProgramFixture::TearDown();
    // What this test's node left on the broker goes, so it cannot mislead a later test.
    RunHostCommand(broker_,
                   "mosquitto_sub " + CheckerConnection(broker_) + " -t '" + base_ + "/#' -t 'homeassistant/+/" +
                       node_ + "/+/config' --remove-retained --retained-only -W 1",
                   10000);
  }

  // A settings file with MQTT on for this test's node: the broker's account, with `password_blob`.
  void WriteSettings(const std::string& password_blob, int port = 0) {
    const std::string text = kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kMqttGroup +
                             "\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1\r\n"  // Включено
                             "\xD1\xE5\xF0\xE2\xE5\xF0 = 127.0.0.1\r\n"  // Сервер
                             "\xCF\xEE\xF0\xF2 = " +
                             std::to_string(port != 0 ? port : broker_.port) + "\r\n" +  // Порт
                             "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC = " + broker_.user +
                             "\r\n" +                                                  // Пользователь
                             "\xCF\xE0\xF0\xEE\xEB\xFC = " + password_blob + "\r\n" +  // Пароль
                             "\xD3\xE7\xE5\xEB = " + node_ + "\r\n";                   // Узел
    Put(folder_ / "Quellarotix.ini", text);
  }

  void Start() {
    process_ = Launch();
    ASSERT_TRUE(WaitForMainWindow());
    ASSERT_TRUE(WaitFor([&] { return TrayIconShown(main_); }, 15000));
    EXPECT_TRUE(NoMessageBox());
  }

  // Ends the program as its window's close box does; the exit code, or 0xDEAD.
  DWORD Close(double* took_ms = nullptr) {
    const auto started = Clock::now();
    PostMessageW(main_, WM_CLOSE, 0, 0);
    const DWORD code = ExitCode(15000);
    if (took_ms) *took_ms = MsSince(started);
    return code;
  }

  std::string Host(const std::string& command, int timeout_ms = 15000) {
    const HostCommandResult result = RunHostCommand(broker_, command, timeout_ms);
    EXPECT_TRUE(result.finished) << command;
    return result.output;
  }

  void Publish(const std::string& topic, const std::string& payload, bool retain = false) {
    Host("mosquitto_pub " + CheckerConnection(broker_) + (retain ? " -r" : "") + " -t '" + topic + "' -m '" + payload +
         "'");
  }

  // The retained payload on `topic` now ("" when there is none).
  std::string RetainedPayload(const std::string& topic) {
    return Host("mosquitto_sub " + CheckerConnection(broker_) + " -t '" + topic +
                "' --retained-only -C 1 -W 1 -F '%p' 2>/dev/null");
  }

  bool WaitForRetained(const std::string& topic, const std::string& payload, int timeout_ms = 15000) {
    std::string last;
    const bool seen = WaitFor([&] { return (last = RetainedPayload(topic)) == payload + "\n"; }, timeout_ms);
    EXPECT_TRUE(seen) << topic << " holds '" << last << "', not '" << payload << "'";
    return seen;
  }

  // Every retained message of this node, as a later subscriber gets them: "topic payload" lines.
  std::string RetainedSnapshot() {
    return Host("mosquitto_sub " + CheckerConnection(broker_) + " -t '" + base_ + "/#' -t 'homeassistant/+/" + node_ +
                "/+/config' --retained-only -W 2 -F '%t %p' 2>/dev/null");
  }

  // A subscriber left running in the background, its lines "R topic payload" into a file.
  void StartWatching(const std::string& name) {
    watch_file_ = broker_.folder + "/" + name;
    Host("(mosquitto_sub " + CheckerConnection(broker_) + " -t '" + base_ + "/#' -t 'homeassistant/+/" + node_ +
         "/+/config' -W 120 -F '%r %t %p' > '" + watch_file_ + "' 2>&1 &) ; sleep 0.3");
  }
  std::string Watched() { return ReadWholeFile("Z:" + watch_file_); }

  std::vector<std::string> ConfigTopics() const {
    std::vector<std::string> topics;
    for (int outlet = 1; outlet <= 4; ++outlet) {
      topics.push_back("homeassistant/switch/" + node_ + "/outlet" + std::to_string(outlet) + "/config");
    }
    topics.push_back("homeassistant/sensor/" + node_ + "/temperature/config");
    for (const char* object : {"usb", "below", "above", "sensor_silent"}) {
      topics.push_back("homeassistant/binary_sensor/" + node_ + "/" + object + "/config");
    }
    return topics;
  }

  // The broker's log from `from` on: the lines that hold `containing`. The broker does not name a
  // client it refused, so the cases that count connections run no checking client meanwhile.
  std::size_t BrokerLogSize() { return ReadWholeFile("Z:" + broker_.folder + "/broker.out").size(); }
  int BrokerLogLines(std::size_t from, const std::string& containing) {
    const std::string log = ReadWholeFile("Z:" + broker_.folder + "/broker.out");
    int count = 0;
    for (std::size_t at = from; (at = log.find(containing, at)) != std::string::npos; at += containing.size()) ++count;
    return count;
  }

  bool NoMessageBox() { return VisibleWindowsOf(process_.dwProcessId, L"#32770").empty(); }

  MqttBroker broker_;
  std::string node_, base_, watch_file_;
};

// Everything a Home Assistant sees of one run: the announcement at connection in its order, the
// retained configs and states a later subscriber gets, a command from the broker carried out at
// the SwitchUnit and the state after it, a retained command ignored, the tray's switch and the
// unplugged SwitchUnit published, and at exit `offline` and the password kept as a blob.
TEST_F(MqttEndToEndTest, AnnouncesSwitchesFollowsEveryPathAndSaysOfflineAtExit) {
  const std::string blob = ProtectMqttPassword(broker_.password);
  ASSERT_FALSE(blob.empty());
  WriteSettings(blob);
  // A command left on the broker while the program was away must switch nothing when it subscribes.
  Publish(base_ + "/outlet/3/set", "ON", true);
  StartWatching("watch-" + node_);
  const auto started = Clock::now();
  Start();

  std::vector<std::string> expected = ConfigTopics();
  for (int outlet = 1; outlet <= 4; ++outlet)
    expected.push_back(base_ + "/outlet/" + std::to_string(outlet) + "/state");
  for (const char* state : {"/device", "/temperature", "/alarm/below", "/alarm/above", "/alarm/sensor_silent"}) {
    expected.push_back(base_ + state);
  }
  const auto all_arrived = [&] {
    const std::string seen = Watched();
    for (const std::string& topic : expected) {
      if (seen.find(" " + topic + " ") == std::string::npos) return false;
    }
    return true;
  };
  ASSERT_TRUE(WaitFor(all_arrived, 20000)) << Watched();
  const double arrival_ms = MsSince(started);
  std::printf("program start to every config and state on the broker: %.0f ms\n", arrival_ms);
  EXPECT_LT(arrival_ms, 3000 + 5000) << "the program's own start is in it (up to 5 s under a loaded Wine)";
  // In their order: online, then the configs, then the states.
  const std::string seen = Watched();
  const std::size_t online = seen.find("0 " + base_ + "/availability online\n");
  ASSERT_NE(online, std::string::npos) << seen;
  std::size_t last_config = 0, first_state = std::string::npos;
  for (const std::string& topic : ConfigTopics()) last_config = std::max(last_config, seen.find(" " + topic + " "));
  for (std::size_t i = ConfigTopics().size(); i < expected.size(); ++i) {
    first_state = std::min(first_state, seen.find(" " + expected[i] + " "));
  }
  EXPECT_LT(online, seen.find(" " + ConfigTopics().front() + " "));
  EXPECT_LT(last_config, first_state) << seen;

  // A later subscriber gets it all retained; one config read field by field.
  const std::string snapshot = RetainedSnapshot();
  for (const std::string& topic : expected) EXPECT_NE(snapshot.find(topic + " "), std::string::npos) << topic;
  EXPECT_NE(snapshot.find(base_ + "/availability online\n"), std::string::npos) << snapshot;
  EXPECT_NE(snapshot.find(base_ + "/device ON\n"), std::string::npos) << snapshot;
  EXPECT_NE(snapshot.find(base_ + "/temperature 23.5\n"), std::string::npos) << snapshot;
  EXPECT_NE(snapshot.find(base_ + "/outlet/2/state OFF\n"), std::string::npos) << snapshot;
  const std::string config_topic = ConfigTopics()[1];
  const std::size_t config_at = snapshot.find(config_topic + " ");
  ASSERT_NE(config_at, std::string::npos);
  const std::size_t json_at = config_at + config_topic.size() + 1;
  const auto config = JsonReader::Read(snapshot.substr(json_at, snapshot.find('\n', json_at) - json_at));
  ASSERT_TRUE(config) << snapshot;
  EXPECT_EQ((*config)["name"].text, "Pump");
  EXPECT_EQ((*config)["unique_id"].text, "quellarotix_" + node_ + "_outlet2");
  EXPECT_EQ((*config)["device_class"].text, "outlet");
  EXPECT_EQ((*config)["state_topic"].text, base_ + "/outlet/2/state");
  EXPECT_EQ((*config)["command_topic"].text, base_ + "/outlet/2/set");
  EXPECT_EQ((*config)["device"]["identifiers"][0].text, "quellarotix_" + node_);
  EXPECT_EQ((*config)["availability"][0]["topic"].text, base_ + "/availability");
  EXPECT_EQ((*config)["availability"][1]["topic"].text, base_ + "/device");
  EXPECT_EQ((*config)["availability_mode"].text, "all");

  // A command switches the SwitchUnit, and the state follows the report.
  const std::size_t reports_before = switch_->OutputReports(0).size();
  Publish(base_ + "/outlet/2/set", "on");
  ASSERT_TRUE(switch_->WaitForOutputReports(0, reports_before + 1, 10000));
  EXPECT_EQ(ReportBytes().back() & OutletBit(2), OutletBit(2));
  EXPECT_TRUE(WaitForRetained(base_ + "/outlet/2/state", "ON"));
  // The retained command waiting on outlet 3 was there before the subscription; it switched nothing.
  for (const int byte : ReportBytes()) EXPECT_EQ(byte & OutletBit(3), 0);
  EXPECT_EQ(RetainedPayload(base_ + "/outlet/3/state"), "OFF\n");
  Publish(base_ + "/outlet/3/set", "", true);  // cleared (-m '' with -r)

  // Outlet 2 renamed in its field: its config goes out again once the name has been still.
  HWND name_field = ControlOf(main_, NameField(2));
  ASSERT_NE(name_field, nullptr);
  // Typed at its end, as keys (posted: nothing that points into this process crosses over).
  PostMessageW(name_field, EM_SETSEL, 4, 4);  // after "Pump"
  for (const wchar_t key : {L' ', L'2'}) PostMessageW(name_field, WM_CHAR, key, 0);
  EXPECT_TRUE(
      WaitFor([&] { return RetainedPayload(config_topic).find("\"name\":\"Pump 2\"") != std::string::npos; }, 15000))
      << RetainedPayload(config_topic);

  // The tray menu's "1. Lamp": the state goes out from the program's own switching too.
  ChooseFromTrayMenu(1);
  EXPECT_TRUE(WaitForRetained(base_ + "/outlet/1/state", "ON"));

  // Unplugged: the device is OFF, and a command now changes nothing and opens no box, but the
  // state goes out again with the real value.
  ASSERT_TRUE(switch_->Unplug(0));
  EXPECT_TRUE(WaitForRetained(base_ + "/device", "OFF"));
  const std::size_t watched_before = Watched().size();
  Publish(base_ + "/outlet/4/set", "TOGGLE");
  EXPECT_TRUE(WaitFor(
      [&] { return Watched().find("0 " + base_ + "/outlet/4/state OFF", watched_before) != std::string::npos; }, 10000))
      << Watched().substr(watched_before);
  EXPECT_TRUE(NoMessageBox());

  // Plugged in again, so the exit's report finds its device rather than a box.
  ASSERT_TRUE(switch_->Plug(0));
  EXPECT_TRUE(WaitForRetained(base_ + "/device", "ON"));
  double exit_ms = 0;
  EXPECT_EQ(Close(&exit_ms), 0u);
  std::printf("close to process end with MQTT connected: %.0f ms\n", exit_ms);
  EXPECT_EQ(RetainedPayload(base_ + "/availability"), "offline\n");
  // The exit policy's report (every outlet off here) went out before `offline`.
  EXPECT_EQ(RetainedPayload(base_ + "/outlet/1/state"), "OFF\n");
  EXPECT_EQ(RetainedPayload(base_ + "/outlet/2/state"), "OFF\n");
  const std::string file = Slurp(folder_ / "Quellarotix.ini");
  EXPECT_NE(file.find(blob), std::string::npos) << "the blob is kept as it was";
  EXPECT_EQ(file.find(broker_.password), std::string::npos) << "never the password in clear";

  // A new start with the file it left connects again (its SwitchUnit served anew, as each test's).
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  switch_.reset();
  ServeSwitch("mqtt-again");
  Start();
  EXPECT_TRUE(WaitForRetained(base_ + "/availability", "online"));
  // Ended as a user would: a program killed leaves its icon behind in Wine's tray.
  EXPECT_EQ(Close(), 0u);
}

// The broker restarted without its store, and Home Assistant restarted while the broker ran: both
// times everything is published again, with nothing done at the program.
TEST_F(MqttEndToEndTest, PublishesEverythingAgainAfterTheBrokerOrHomeAssistantRestarts) {
  WriteSettings(ProtectMqttPassword(broker_.password));
  Start();
  ASSERT_TRUE(WaitForRetained(base_ + "/outlet/4/state", "OFF"));

  ASSERT_TRUE(RestartMqttBroker(broker_));
  EXPECT_TRUE(WaitForRetained(base_ + "/availability", "online", 20000));
  EXPECT_TRUE(WaitForRetained(base_ + "/outlet/4/state", "OFF"));
  EXPECT_NE(RetainedPayload(ConfigTopics()[0]).find("\"unique_id\""), std::string::npos);

  // Home Assistant's birth message, after its configs were lost: they come back within 1-5 s.
  Publish(ConfigTopics()[0], "", true);
  Publish(base_ + "/device", "", true);
  ASSERT_EQ(RetainedPayload(base_ + "/device"), "");
  Publish("homeassistant/status", "online");
  EXPECT_TRUE(WaitForRetained(base_ + "/device", "ON", 15000));
  EXPECT_NE(RetainedPayload(ConfigTopics()[0]).find("\"unique_id\""), std::string::npos);
  EXPECT_EQ(Close(), 0u);
}

// A password the broker refuses, and a blob this user cannot decrypt: no box, the program runs
// and ends as without MQTT. The refused one is tried once and then waits the longest; the blob
// that does not decrypt is never sent at all.
TEST_F(MqttEndToEndTest, ABadPasswordNeverStopsTheProgram) {
  struct Case {
    const char* what;
    std::string blob;
    bool tried;
  };
  std::string tampered = ProtectMqttPassword(broker_.password);
  tampered[tampered.size() - 8] = tampered[tampered.size() - 8] == 'A' ? 'B' : 'A';
  const Case cases[] = {{"refused password", ProtectMqttPassword("not-" + broker_.password), true},
                        {"blob that does not decrypt", tampered, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseNewNode();
    switch_.reset();
    ServeSwitch(std::string("mqtt-") + (c.tried ? "refused" : "blob"));
    WriteSettings(c.blob);
    const std::size_t log_from = BrokerLogSize();
    Start();
    if (c.tried) {
      ASSERT_TRUE(WaitFor([&] { return BrokerLogLines(log_from, "not authorised") >= 1; }, 10000));
    }
    // Long enough for several tries at the shortest delays.
    Sleep(4000);
    EXPECT_EQ(BrokerLogLines(log_from, "New connection from"), c.tried ? 1 : 0) << "tries in 4 s";
    EXPECT_EQ(BrokerLogLines(log_from, "not authorised"), c.tried ? 1 : 0);
    EXPECT_TRUE(NoMessageBox());
    // The program still switches, and ends as usual, keeping the blob it was given.
    const std::size_t reports_before = switch_->OutputReports(0).size();
    ChooseFromTrayMenu(1);
    EXPECT_TRUE(switch_->WaitForOutputReports(0, reports_before + 1, 10000));
    EXPECT_EQ(Close(), 0u);
    EXPECT_NE(Slurp(folder_ / "Quellarotix.ini").find(c.blob), std::string::npos);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
  }
}

// The MQTT thread blocked in connecting to a server that never answers (a name look-up that hangs
// blocks the same call): the exit gives it a second, saves all the same, and ends.
TEST_F(MqttEndToEndTest, AConnectionThatHangsHoldsUpNeitherTheExitNorTheSave) {
  HangingListener listener;
  ASSERT_NE(listener.port(), 0);
  ASSERT_TRUE(listener.ConnectionHangs(1500)) << "this system answers a full queue: nothing here would hang";
  WriteSettings(ProtectMqttPassword(broker_.password), listener.port());
  Start();
  // Long enough for the thread to be inside the connection attempt, and short of the system's
  // own give-up, a minute and more away.
  Sleep(2000);
  const auto written_before = fs::last_write_time(folder_ / "Quellarotix.ini");
  double took_ms = 0;
  EXPECT_EQ(Close(&took_ms), 0u) << "the exit waited for the connection";
  std::printf("exit with the connection hanging: %.0f ms\n", took_ms);
  EXPECT_GT(fs::last_write_time(folder_ / "Quellarotix.ini"), written_before) << "the exit saved the settings";
  EXPECT_NE(Slurp(folder_ / "Quellarotix.ini").find("1 = Lamp\r\n2 = Pump\r\n"), std::string::npos);
}

}  // namespace
}  // namespace qx::test
