// The bridge's timing rules, fed with a clock the test controls: the temperature's cadence, the
// renaming pause, the reconnection waits; and the status line that tells the user about them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mqtt/connection_status.h"
#include "mqtt/publish_cadence.h"
#include "mqtt/reconnect_backoff.h"

namespace qx {
namespace {

using std::chrono::milliseconds;

SteadyTime At(double seconds) {
  return SteadyTime{} + milliseconds(static_cast<long long>(seconds * 1000));
}

TEST(TemperatureCadence, PublishesEvery30SecondsAndAtOnceOnAMoveOfHalfADegree) {
  const struct {
    double at;
    bool fresh;
    float value;
    bool publish;
    const char* why;
  } steps[] = {
      {0, false, 0, false, "no reading yet"},
      {1, true, 15.8f, true, "the first reading"},
      {2, true, 15.8f, false, "nothing new"},
      {4, true, 16.6f, false, "a move, but within 5 s of the last"},
      {6, true, 16.2f, false, "back within 0.5 of the last published"},
      // As floats, 16.3 - 15.8 is a little less than 0.5; as shown, it is half a degree.
      {7, true, 16.3f, true, "15.8 -> 16.3 is half a degree"},
      {12, true, 15.9f, false, "0.4 down"},
      {12.5, true, 15.8f, true, "0.5 down, 5.5 s later"},
      {42, true, 15.8f, false, "29.5 s after the last"},
      {42.5, true, 15.8f, true, "30 s after the last"},
      {50, false, 15.8f, false, "stale: never published"},
      {51, true, 15.8f, true, "fresh again: at once, 8.5 s after the last"},
      {52, false, 15.8f, false, "stale again"},
      {53, true, 15.8f, false, "fresh again, but within 5 s"},
      {56, true, 15.8f, true, "5 s after the last"},
      {57, true, -0.4f, false, "below zero, within 5 s"},
      {61, true, -0.4f, true, "a 16.2 degree fall"},
  };
  TemperatureCadence cadence;
  for (const auto& step : steps) {
    EXPECT_EQ(cadence.PublishNow(At(step.at), step.fresh, step.value), step.publish) << step.at << " s: " << step.why;
  }
  cadence.Restart();
  EXPECT_TRUE(cadence.PublishNow(At(62), true, -0.4f)) << "a new connection publishes at once";
}

TEST(OutletNameDebounce, AConfigGoesOutOnceTheNameHasBeenStillFor2Seconds) {
  OutletNameDebounce debounce;
  debounce.Published({"a", "b", "c", "d"});
  const struct {
    double at;
    int outlet;  // 0: nothing typed
    const char* name;
    unsigned due;
  } steps[] = {
      {0, 2, "b", 0},                            // the same name: nothing to do
      {1, 1, "P", 0},                            // typing starts
      {2, 1, "Pu", 0},      {3.9, 1, "Pum", 0},  // still typing: the pause restarts
      {5.8, 0, "", 0},                           // 1.9 s after the last key
      {5.9, 0, "", 0b0001},                      // 2 s: published
      {6, 0, "", 0},                             // once
      {7, 3, "x", 0},       {7.5, 4, "y", 0},   {9, 0, "", 0b0100},
      {9.5, 0, "", 0b1000}, {10, 2, "b2", 0},   {11, 2, "b", 0},  // typed back to what was published
      {20, 0, "", 0},
  };
  for (const auto& step : steps) {
    if (step.outlet) debounce.Observe(At(step.at), step.outlet, step.name);
    EXPECT_EQ(debounce.TakeDueOutlets(At(step.at)), step.due) << step.at << " s";
  }
}

TEST(ReconnectBackoff, DoublesFromOneSecondToAMinuteWithJitterAndStartsOverAfterAConnection) {
  double fraction = 0;
  ReconnectBackoff backoff([&fraction] { return fraction; });
  const long long expected[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000};
  for (long long delay : expected) EXPECT_EQ(backoff.NextDelay(false), milliseconds(delay));
  backoff.Reset();
  EXPECT_EQ(backoff.NextDelay(false), milliseconds(1000)) << "after a connection";
  EXPECT_EQ(backoff.NextDelay(true), milliseconds(60000)) << "refused credentials wait the longest at once";
  backoff.Reset();
  // The jitter takes less than a quarter off, never adds: the longest wait stays a minute.
  fraction = 0.999999;
  EXPECT_EQ(backoff.NextDelay(false), milliseconds(751));
  EXPECT_EQ(backoff.NextDelay(true), milliseconds(45001));
  fraction = 0.5;
  EXPECT_EQ(backoff.NextDelay(false), milliseconds(52500));
  // A source out of its range is taken as no jitter rather than a negative or overlong wait.
  fraction = 7;
  EXPECT_EQ(backoff.NextDelay(false), milliseconds(60000));
  fraction = -1;
  EXPECT_EQ(backoff.NextDelay(false), milliseconds(60000));
}

TEST(ReconnectBackoff, HomeAssistantsStartIsMetAfter1To5Seconds) {
  const struct {
    double fraction;
    long long delay;
  } cases[] = {{0, 1000}, {0.5, 3000}, {0.99999, 4999}, {1.0, 1000}};
  for (const auto& c : cases) {
    EXPECT_EQ(HomeAssistantOnlineDelay([&c] { return c.fraction; }), milliseconds(c.delay)) << c.fraction;
  }
}

TEST(ConnectionStatusLine, SaysWhereItIsAndWhyNot) {
  using State = ConnectionStatus::State;
  const struct {
    ConnectionStatus status;
    std::string text;  // Windows-1251
    const char* word;  // status --json's error, nullptr for null
  } cases[] = {
      {{State::kOff, "", 0, ConnectionError::kNone, 0},
       "\xC2\xFB\xEA\xEB\xFE\xF7\xE5\xED\xEE" /* Выключено */,
       nullptr},
      {{State::kConnecting, "broker.lan", 1883, ConnectionError::kNone, 0},
       "\xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 \xEA broker.lan:1883\x85" /* Подключение к broker.lan:1883… */,
       nullptr},
      {{State::kConnected, "10.0.0.2", 8883, ConnectionError::kNone, 0},
       "\xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xEE \xEA 10.0.0.2:8883" /* Подключено к 10.0.0.2:8883 */,
       nullptr},
      {{State::kConnected, "fd00::1", 1883, ConnectionError::kNone, 0},
       "\xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xEE \xEA [fd00::1]:1883" /* Подключено к [fd00::1]:1883 */,
       nullptr},
      {{State::kWaiting, "h", 1, ConnectionError::kAuth, 60},
       "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xED\xE5\xE2\xE5\xF0\xED\xFB\xE9 "
       "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC \xE8\xEB\xE8 \xEF\xE0\xF0\xEE\xEB\xFC, "
       "\xEF\xEE\xE2\xF2\xEE\xF0 \xF7\xE5\xF0\xE5\xE7 60 \xF1" /* Нет связи: неверный пользователь или пароль, повтор
                                                                  через 60 с */
       ,
       "auth"},
      {{State::kWaiting, "h", 1, ConnectionError::kRefused, 2},
       "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xF1\xE5\xF0\xE2\xE5\xF0 \xEE\xF2\xEA\xE0\xE7\xE0\xEB \xE2 "
       "\xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xE8, \xEF\xEE\xE2\xF2\xEE\xF0 \xF7\xE5\xF0\xE5\xE7 2 \xF1" /* Нет связи:
                                                                                                           сервер
                                                                                                           отказал в
                                                                                                           соединении,
                                                                                                           повтор через
                                                                                                           2 с */
       ,
       "refused"},
      {{State::kWaiting, "h", 1, ConnectionError::kDns, 4},
       "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xF1\xE5\xF0\xE2\xE5\xF0 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED, "
       "\xEF\xEE\xE2\xF2\xEE\xF0 \xF7\xE5\xF0\xE5\xE7 4 \xF1" /* Нет связи: сервер не найден, повтор через 4 с */,
       "dns"},
      {{State::kWaiting, "h", 1, ConnectionError::kTimeout, 8},
       "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xED\xE5\xF2 \xEE\xF2\xE2\xE5\xF2\xE0, \xEF\xEE\xE2\xF2\xEE\xF0 "
       "\xF7\xE5\xF0\xE5\xE7 8 \xF1" /* Нет связи: нет ответа, повтор через 8 с */,
       "timeout"},
      {{State::kWaiting, "h", 1, ConnectionError::kLost, 1},
       "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xF1\xE2\xFF\xE7\xFC \xEF\xEE\xF2\xE5\xF0\xFF\xED\xE0, "
       "\xEF\xEE\xE2\xF2\xEE\xF0 \xF7\xE5\xF0\xE5\xE7 1 \xF1" /* Нет связи: связь потеряна, повтор через 1 с */,
       "lost"},
      {{State::kWaiting, "h", 1, ConnectionError::kPassword, 0},
       "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xEF\xE0\xF0\xEE\xEB\xFC \xED\xF3\xE6\xED\xEE \xE2\xE2\xE5\xF1\xF2\xE8 "
       "\xE7\xE0\xED\xEE\xE2\xEE" /* Нет связи: пароль нужно ввести заново */,
       "password"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectionStatusText(c.status), c.text);
    EXPECT_EQ(ConnectionErrorWord(c.status.error), c.word ? std::optional<std::string>(c.word) : std::nullopt);
  }
  // The ellipsis is the code page's one character, not three dots.
  const std::string connecting = ConnectionStatusText({State::kConnecting, "h", 1, ConnectionError::kNone, 0});
  EXPECT_EQ(connecting.back(), '\x85');
}

}  // namespace
}  // namespace qx
