// libmosquitto as the program builds it (static, no TLS, no threads of its own), under Wine, against
// Debian's broker: the connection with a will, retained messages, the will after an abrupt end, and
// refused credentials. The library is driven as the program's MQTT thread drives it: its socket,
// select(), and the read, write and misc steps. What reached the broker is checked by Debian's
// mosquitto_sub on the host, a client that is not our library.

#include <winsock2.h>

#include <gtest/gtest.h>
#include <mosquitto.h>

#include <chrono>
#include <functional>
#include <string>

#include "tests/support/mqtt_broker.h"

namespace qx::test {
namespace {

constexpr int kNoReply = -1;

struct Session {
  int connack = kNoReply;  // the CONNACK's return code, once it came
  int acknowledged = 0;    // publications of QoS 1 the broker has acknowledged
};

void OnConnect(mosquitto*, void* user_data, int rc) {
  static_cast<Session*>(user_data)->connack = rc;
}
void OnPublish(mosquitto*, void* user_data, int) {
  ++static_cast<Session*>(user_data)->acknowledged;
}

// Runs the library's loop steps until `done` holds, the connection is gone or the time is up.
bool Pump(mosquitto* client, const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    const int socket_number = mosquitto_socket(client);
    if (socket_number == -1) return false;
    const SOCKET socket = static_cast<SOCKET>(socket_number);
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_SET(socket, &readable);
    if (mosquitto_want_write(client)) FD_SET(socket, &writable);
    timeval wait{0, 50 * 1000};
    if (select(0, &readable, &writable, nullptr, &wait) == SOCKET_ERROR) return false;
    if (FD_ISSET(socket, &readable) && mosquitto_loop_read(client, 1) != MOSQ_ERR_SUCCESS) return false;
    if (FD_ISSET(socket, &writable) && mosquitto_loop_write(client, 1) != MOSQ_ERR_SUCCESS) return false;
    mosquitto_loop_misc(client);
  }
  return true;
}

class LibmosquittoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { mosquitto_lib_init(); }
  static void TearDownTestSuite() { mosquitto_lib_cleanup(); }

  void SetUp() override {
    ASSERT_TRUE(ReadMqttBroker(broker_)) << "no broker: run this test through CTest (fixture mqtt_broker)";
    base_ = "qxtest/" + std::to_string(GetCurrentProcessId());
  }

  // A client of the library with the session's callbacks, not yet connected.
  mosquitto* NewClient(Session& session) {
    mosquitto* client = mosquitto_new(("qxtest_" + std::to_string(GetCurrentProcessId())).c_str(), true, &session);
    if (client != nullptr) {
      mosquitto_connect_callback_set(client, OnConnect);
      mosquitto_publish_callback_set(client, OnPublish);
    }
    return client;
  }

  // The retained messages under the test's topics, one "RETAIN TOPIC PAYLOAD" line each, as a new
  // subscriber of the checking client gets them.
  std::string RetainedSeenByChecker(int count) {
    const HostCommandResult result = RunHostCommand(broker_,
                                                    "mosquitto_sub " + CheckerConnection(broker_) + " -t '" + base_ +
                                                        "/#' -C " + std::to_string(count) + " -W 3 -F '%r %t %p'",
                                                    10000);
    EXPECT_TRUE(result.finished);
    return result.output;
  }

  MqttBroker broker_;
  std::string base_;
};

TEST_F(LibmosquittoTest, RetainedMessagesReachTheBrokerAndTheWillFollowsAnAbruptEnd) {
  Session session;
  mosquitto* client = NewClient(session);
  ASSERT_NE(client, nullptr);
  const std::string availability = base_ + "/availability";
  ASSERT_EQ(mosquitto_username_pw_set(client, broker_.user.c_str(), broker_.password.c_str()), MOSQ_ERR_SUCCESS);
  ASSERT_EQ(mosquitto_will_set(client, availability.c_str(), 7, "offline", 1, true), MOSQ_ERR_SUCCESS);
  ASSERT_EQ(mosquitto_connect(client, "127.0.0.1", broker_.port, 30), MOSQ_ERR_SUCCESS);
  ASSERT_TRUE(Pump(
      client, [&] { return session.connack != kNoReply; }, 5000));
  ASSERT_EQ(session.connack, 0) << mosquitto_connack_string(session.connack);

  // QoS 1, so that the broker's acknowledgements say when it holds both messages.
  ASSERT_EQ(mosquitto_publish(client, nullptr, availability.c_str(), 6, "online", 1, true), MOSQ_ERR_SUCCESS);
  const std::string temperature = base_ + "/temperature";
  ASSERT_EQ(mosquitto_publish(client, nullptr, temperature.c_str(), 4, "23.5", 1, true), MOSQ_ERR_SUCCESS);
  ASSERT_TRUE(Pump(
      client, [&] { return session.acknowledged == 2; }, 5000));
  const std::string retained = RetainedSeenByChecker(2);
  EXPECT_NE(retained.find("1 " + availability + " online\n"), std::string::npos) << retained;
  EXPECT_NE(retained.find("1 " + temperature + " 23.5\n"), std::string::npos) << retained;

  // Destroying a connected client closes its socket without a DISCONNECT, as a crash or a lost
  // network would: the broker publishes the will.
  mosquitto_destroy(client);
  std::string after;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (after.find(" offline\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    after = RetainedSeenByChecker(2);
  }
  EXPECT_NE(after.find("1 " + availability + " offline\n"), std::string::npos) << after;
  EXPECT_NE(after.find("1 " + temperature + " 23.5\n"), std::string::npos) << after;
  RunHostCommand(broker_,
                 "mosquitto_pub " + CheckerConnection(broker_) + " -r -n -t '" + availability + "' && mosquitto_pub " +
                     CheckerConnection(broker_) + " -r -n -t '" + temperature + "'",
                 10000);
}

// A broker that goes away and comes back: the client sees the connection lost, and a reconnection
// with the same client object connects again.
TEST_F(LibmosquittoTest, ReconnectsAfterTheBrokerRestarts) {
  Session session;
  mosquitto* client = NewClient(session);
  ASSERT_NE(client, nullptr);
  ASSERT_EQ(mosquitto_username_pw_set(client, broker_.user.c_str(), broker_.password.c_str()), MOSQ_ERR_SUCCESS);
  ASSERT_EQ(mosquitto_connect(client, "127.0.0.1", broker_.port, 30), MOSQ_ERR_SUCCESS);
  ASSERT_TRUE(Pump(
      client, [&] { return session.connack != kNoReply; }, 5000));
  ASSERT_EQ(session.connack, 0);

  ASSERT_TRUE(RestartMqttBroker(broker_));
  EXPECT_FALSE(Pump(
      client, [] { return false; }, 5000))
      << "the connection outlived its broker";
  session.connack = kNoReply;
  ASSERT_EQ(mosquitto_reconnect(client), MOSQ_ERR_SUCCESS);
  ASSERT_TRUE(Pump(
      client, [&] { return session.connack != kNoReply; }, 5000));
  EXPECT_EQ(session.connack, 0) << mosquitto_connack_string(session.connack);
  mosquitto_destroy(client);
}

// Mosquitto answers an MQTT 3.1.1 client whose credentials it refuses with CONNACK 5, "not
// authorised", whichever part was wrong.
TEST_F(LibmosquittoTest, RefusedCredentialsGiveTheAuthorisationError) {
  struct Case {
    const char* what;
    std::string user, password;
  } cases[] = {
      {"wrong password", broker_.user, broker_.password + "x"},
      {"unknown user", "nobody", broker_.password},
      {"anonymous", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session session;
    mosquitto* client = NewClient(session);
    ASSERT_NE(client, nullptr);
    if (!c.user.empty()) {
      ASSERT_EQ(mosquitto_username_pw_set(client, c.user.c_str(), c.password.c_str()), MOSQ_ERR_SUCCESS);
    }
    ASSERT_EQ(mosquitto_connect(client, "127.0.0.1", broker_.port, 30), MOSQ_ERR_SUCCESS);
    Pump(
        client, [&] { return session.connack != kNoReply; }, 5000);
    EXPECT_EQ(session.connack, 5) << mosquitto_connack_string(session.connack);
    mosquitto_destroy(client);
  }
}

}  // namespace
}  // namespace qx::test
