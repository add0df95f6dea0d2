// The bridge's thread under Wine against Debian's broker, seen through what the window and the
// console show of it (Status) and through the checking client on the host: the status line for
// each way a connection goes wrong, and `offline` when switched off and at the end.

#include "mqtt/mqtt_bridge.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "tests/support/mqtt_broker.h"

namespace qx {
namespace {

using Clock = std::chrono::steady_clock;
using test::MqttBroker;

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    Sleep(10);
  }
  return true;
}

class MqttBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::ReadMqttBroker(broker_)) << "no broker: run this test through CTest (fixture mqtt_broker)";
  }

  MqttSettings Settings(const std::string& server, int port) const {
    MqttSettings settings;
    settings.enabled = true;
    settings.server = server;
    settings.port = port;
    settings.user = broker_.user;
    settings.node = "bridge" + std::to_string(GetCurrentProcessId());
    return settings;
  }

  MqttBroker broker_;
};

TEST_F(MqttBridgeTest, StatusSaysWhyThereIsNoConnection) {
  struct Case {
    const char* what;
    std::string server;
    int port;
    std::optional<std::string> password;
    ConnectionStatus::State state;
    ConnectionError error;
  };
  const Case cases[] = {
      {"connected", "127.0.0.1", broker_.port, broker_.password, ConnectionStatus::State::kConnected,
       ConnectionError::kNone},
      {"wrong password", "127.0.0.1", broker_.port, "wrong", ConnectionStatus::State::kWaiting, ConnectionError::kAuth},
      {"nobody listening", "127.0.0.1", 1, broker_.password, ConnectionStatus::State::kWaiting,
       ConnectionError::kRefused},
      {"no such host", "no-such-host.invalid", broker_.port, broker_.password, ConnectionStatus::State::kWaiting,
       ConnectionError::kDns},
      {"blob not decrypted", "127.0.0.1", broker_.port, std::nullopt, ConnectionStatus::State::kWaiting,
       ConnectionError::kPassword},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MqttBridge bridge([](int, OutletSetCommand) {});
    bridge.UpdateState(MqttProgramState{});
    bridge.Configure(Settings(c.server, c.port), c.password);
    EXPECT_TRUE(WaitFor([&] { return bridge.Status().state == c.state && bridge.Status().error == c.error; }, 10000))
        << ConnectionStatusText(bridge.Status());
    const ConnectionStatus status = bridge.Status();
    EXPECT_EQ(status.host, c.server);
    EXPECT_EQ(status.port, c.port);
    if (c.error == ConnectionError::kAuth) {
      // Refused credentials wait the longest: 60 s, less at most a quarter.
      EXPECT_GE(status.retry_seconds, 44);
    } else if (c.error == ConnectionError::kRefused || c.error == ConnectionError::kDns) {
      EXPECT_GE(status.retry_seconds, 0);
      EXPECT_LE(status.retry_seconds, 2);
    }
  }
}

TEST_F(MqttBridgeTest, SwitchingOffAndTheEndSayOffline) {
  MqttBridge bridge([](int, OutletSetCommand) {});
  bridge.UpdateState(MqttProgramState{});
  MqttSettings settings = Settings("127.0.0.1", broker_.port);
  bridge.Configure(settings, broker_.password);
  ASSERT_TRUE(WaitFor([&] { return bridge.Status().state == ConnectionStatus::State::kConnected; }, 10000));
  const std::string availability = "quellarotix/" + settings.node + "/availability";
  const auto retained = [&] {
    return test::RunHostCommand(broker_,
                                "mosquitto_sub " + test::CheckerConnection(broker_) + " -t '" + availability +
                                    "' --retained-only -C 1 -W 1 -F '%p' 2>/dev/null",
                                10000)
        .output;
  };
  EXPECT_TRUE(WaitFor([&] { return retained() == "online\n"; }, 10000));
  // A new node: the old one's entities are taken out of Home Assistant on the old connection.
  const std::string old_config = "homeassistant/sensor/" + settings.node + "/temperature/config";
  const auto retained_at = [&](const std::string& topic) {
    return test::RunHostCommand(broker_,
                                "mosquitto_sub " + test::CheckerConnection(broker_) + " -t '" + topic +
                                    "' --retained-only -C 1 -W 1 -F '%p' 2>/dev/null",
                                10000)
        .output;
  };
  ASSERT_NE(retained_at(old_config), "");
  settings.node += "b";
  bridge.Configure(settings, broker_.password);
  EXPECT_TRUE(WaitFor([&] { return retained_at(old_config).empty() && retained().empty(); }, 10000));
  const std::string new_availability = "quellarotix/" + settings.node + "/availability";
  EXPECT_TRUE(WaitFor([&] { return retained_at(new_availability) == "online\n"; }, 10000));

  settings.enabled = false;
  bridge.Configure(settings, broker_.password);
  EXPECT_TRUE(WaitFor([&] { return bridge.Status().state == ConnectionStatus::State::kOff; }, 5000));
  EXPECT_EQ(retained_at(new_availability), "offline\n");

  // Connected again, the end says `offline` and disconnects within the second.
  settings.enabled = true;
  bridge.Configure(settings, broker_.password);
  ASSERT_TRUE(WaitFor([&] { return retained_at(new_availability) == "online\n"; }, 10000));
  const auto started = Clock::now();
  bridge.Shutdown();
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(1000));
  EXPECT_EQ(retained_at(new_availability), "offline\n");
  test::RunHostCommand(
      broker_, "mosquitto_pub " + test::CheckerConnection(broker_) + " -r -n -t '" + new_availability + "'", 10000);
}

}  // namespace
}  // namespace qx
