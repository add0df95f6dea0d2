// The MQTT thread. Everything of libmosquitto happens here, driven without the library's own
// threads: the thread sleeps in WaitForMultipleObjects on two events, the bridge's wake event
// (a new configuration, a new snapshot, the end) and the socket's event (WSAEventSelect: data to
// read, room to write, the connection closed), with a timeout that is the next thing due (the
// keepalive, a reconnection, the temperature's cadence, a renamed outlet's config, Home
// Assistant's restart). An idle connection wakes it about twice a minute.
//
// Name look-up and connecting block (mosquitto_connect). They may hang longer than the program is
// willing to wait at exit, so the thread and the bridge share their state through a shared_ptr:
// Shutdown waits a second at most and then leaves the thread to the process's end, holding its
// own reference; from then on the thread calls nothing of the program's.

#include "mqtt/mqtt_bridge.h"

#include <winsock2.h>

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "control/reply.h"
#include "mqtt/host_name.h"
#include "mqtt/mqtt_names.h"
#include "mqtt/publish_cadence.h"
#include "mqtt/reconnect_backoff.h"
#include "mqtt/topics.h"
#include "qx_version.h"
#include "runtime/platform/lock.h"
#include "runtime/win32/shell_services.h"

namespace qx {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// The steady clock from the performance counter. The library's own now() goes through the POSIX
// thread layer's clock, which brings that layer's threads and locks into the exe (some 25 KB).
Clock::time_point Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  const long long seconds = count.QuadPart / frequency.QuadPart;
  const long long rest = count.QuadPart % frequency.QuadPart;
  return Clock::time_point(std::chrono::seconds(seconds) +
                           std::chrono::nanoseconds(rest * 1000000000 / frequency.QuadPart));
}

constexpr int kKeepaliveSeconds = 30;
// From the TCP connection to the broker's CONNACK.
constexpr milliseconds kConnackTimeout{10000};
// What the exit gives `offline` and the DISCONNECT, inside the second Shutdown waits.
constexpr milliseconds kGoodbyeTime{700};
// The CONNACK codes of refused credentials (MQTT 3.1.1): bad user name or password, not authorised.
constexpr int kConnackBadCredentials = 4;
constexpr int kConnackNotAuthorised = 5;

struct Configuration {
  MqttSettings settings;
  std::optional<std::string> password;
};

}  // namespace

struct MqttBridge::Shared {
  Shared()
      : wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)), finished(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Shared() {
    if (wake) CloseHandle(wake);
    if (finished) CloseHandle(finished);
  }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;

  HANDLE wake;
  HANDLE finished;
  std::function<void(int outlet, OutletSetCommand)> post_switch;

  Lock mutex;  // guards what follows
  bool stop = false;
  bool abandoned = false;  // Shutdown gave up waiting: the program is ending
  std::optional<Configuration> configuration;
  std::optional<MqttProgramState> state;
  bool republish_outlets = false;
  ConnectionStatus status;
  std::optional<Clock::time_point> retry_at;
};

namespace {

// The number of the shown temperature ("23.5", "-0.5", "24"), for the cadence. By hand: the
// library's from_chars for floats alone would add some 70 KB to the exe.
std::optional<float> TemperatureValue(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  long tenths = 0;
  bool digits = false, point = false;
  int decimals = 0;
  for (const char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9' && decimals == 0 && tenths < 100000) {
      tenths = tenths * 10 + (c - '0');
      digits = true;
      decimals += point ? 1 : 0;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  if (!point || decimals == 0) tenths *= 10;
  return static_cast<float>(negative ? -tenths : tenths) / 10.0f;
}

const char* OnOff(bool on) {
  return on ? kPayloadOn : kPayloadOff;
}

class BridgeThread {
 public:
  explicit BridgeThread(std::shared_ptr<MqttBridge::Shared> shared)
      : shared_(std::move(shared)), backoff_([this] { return Random(); }) {}

  void Run();

 private:
  enum class Phase { kOff, kPasswordNeeded, kWaiting, kConnecting, kConnected };

  // xorshift64: the jitter needs no better randomness, and the library's engines cost kilobytes.
  double Random() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 7;
    random_ ^= random_ << 17;
    return static_cast<double>(random_ >> 11) * (1.0 / 9007199254740992.0);
  }

  // The inbox; false once the thread is to end.
  bool TakeInbox();
  void Apply(Configuration configuration);
  void TryConnect();
  void ServeSocket();
  void OnConnack(int code);
  void ConnectionFailed(ConnectionError error);
  void PublishEverything();
  void PublishStates(bool all);
  void PublishTemperature(bool all);
  void PublishDueNames();
  void Publish(const std::string& topic, const std::string& payload, bool retain);
  void PublishIfChanged(const std::string& topic, const std::string& payload, bool all);
  // Sends what is queued and waits for the socket to take it, until `deadline`.
  void Flush(Clock::time_point deadline);
  // `offline` (unless the entities were just removed) and a clean DISCONNECT, then the client
  // goes; bounded by `deadline`.
  void Leave(bool removed, Clock::time_point deadline);
  void DropClient();
  void FollowSocket();
  DWORD WaitTime() const;
  void SetStatus(ConnectionStatus::State state, ConnectionError error = ConnectionError::kNone,
                 std::optional<Clock::time_point> retry_at = std::nullopt);

  // Called inside the library's read: the CONNACK is kept and taken when the read returns.
  static void OnConnect(mosquitto*, void* self, int code) { static_cast<BridgeThread*>(self)->connack_ = code; }
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    static_cast<BridgeThread*>(self)->Received(*message);
  }
  void Received(const mosquitto_message& message);

  std::shared_ptr<MqttBridge::Shared> shared_;
  std::uint64_t random_ = (GetTickCount64() << 20) ^ GetCurrentThreadId() ^ 0x9E3779B97F4A7C15ull;
  ReconnectBackoff backoff_;
  HANDLE socket_event_ = WSACreateEvent();
  int selected_socket_ = -1;

  Phase phase_ = Phase::kOff;
  Configuration active_;
  TopicNames names_;
  DiscoveryDevice device_;
  mosquitto* client_ = nullptr;
  Clock::time_point retry_at_{};
  Clock::time_point connack_deadline_{};
  std::optional<int> connack_;
  Clock::time_point last_in_{}, last_out_{}, misc_not_before_{};

  std::optional<MqttProgramState> state_;
  bool republish_outlets_ = false;
  bool everything_pending_ = false;  // connected before the first snapshot came
  // What each state topic last got on this connection: a handful, so a list.
  std::vector<std::pair<std::string, std::string>> published_;
  TemperatureCadence temperature_;
  std::optional<Clock::time_point> temperature_check_at_;
  std::string temperature_published_;
  Clock::time_point temperature_published_at_{};
  OutletNameDebounce outlet_names_;
  std::optional<Clock::time_point> names_due_;
  std::optional<Clock::time_point> republish_at_;
};

void BridgeThread::Run() {
  mosquitto_lib_init();  // Winsock's start, on this thread: with MQTT off nothing starts it
  device_.computer_name = ComputerDnsHostName();
  device_.version = QX_VERSION_TEXT;
  while (TakeInbox()) {
    const Clock::time_point now = Now();
    if (phase_ == Phase::kWaiting && now >= retry_at_) TryConnect();
    if (client_ != nullptr) ServeSocket();
    if (phase_ == Phase::kConnected) {
      if (republish_at_ && Now() >= *republish_at_) PublishEverything();
      PublishStates(false);
      PublishDueNames();
      Flush(Now());
    }
    FollowSocket();
    HANDLE events[2] = {shared_->wake, socket_event_};
    WaitForMultipleObjects(selected_socket_ == -1 ? 1 : 2, events, FALSE, WaitTime());
  }
  // The outlets as the exit left them, then `offline`.
  if (phase_ == Phase::kConnected) PublishStates(false);
  Leave(false, Now() + kGoodbyeTime);
  SetEvent(shared_->finished);
}

bool BridgeThread::TakeInbox() {
  std::optional<Configuration> configuration;
  bool stopping = false;
  {
    std::lock_guard<Lock> lock(shared_->mutex);
    // At the end only the last snapshot counts: a new configuration is no longer applied.
    if (shared_->stop) stopping = true;
    if (!stopping) configuration = std::move(shared_->configuration);
    shared_->configuration.reset();
    if (shared_->state) {
      const Clock::time_point now = Now();
      for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
        const std::string& name = shared_->state->outlet_names[static_cast<std::size_t>(outlet - 1)];
        outlet_names_.Observe(now, outlet, name);
        if (!state_ || state_->outlet_names[static_cast<std::size_t>(outlet - 1)] != name) {
          names_due_ = now + OutletNameDebounce::kStill + milliseconds(50);
        }
      }
      state_ = std::move(shared_->state);
      shared_->state.reset();
    }
    republish_outlets_ = republish_outlets_ || shared_->republish_outlets;
    shared_->republish_outlets = false;
  }
  if (configuration) Apply(std::move(*configuration));
  if (state_ && everything_pending_ && phase_ == Phase::kConnected) PublishEverything();
  return !stopping;
}

void BridgeThread::Apply(Configuration configuration) {
  const MqttSettings& next = configuration.settings;
  const TopicNames next_names =
      TopicNamesOf(next, next.node.empty() ? NodeIdForHostName(device_.computer_name) : next.node);
  // Entities left under old names would stay in Home Assistant for ever, unavailable: they go
  // while the old connection can still say so. Switching off only says `offline`.
  const bool moved = next.enabled && (next_names.node != names_.node || next_names.prefix != names_.prefix ||
                                      next.server != active_.settings.server || next.port != active_.settings.port);
  if (phase_ == Phase::kConnected && moved) {
    for (const RetainedMessage& message : RemovalMessages(names_)) Publish(message.topic, message.payload, true);
  }
  Leave(phase_ == Phase::kConnected && moved, Now() + kGoodbyeTime);
  active_ = std::move(configuration);
  names_ = next_names;
  backoff_.Reset();
  republish_at_.reset();
  if (!active_.settings.enabled || active_.settings.server.empty()) {
    phase_ = Phase::kOff;
    SetStatus(ConnectionStatus::State::kOff);
  } else if (!active_.password) {
    // Never retried by itself: only a password entered again helps.
    phase_ = Phase::kPasswordNeeded;
    SetStatus(ConnectionStatus::State::kWaiting, ConnectionError::kPassword);
  } else {
    phase_ = Phase::kWaiting;
    retry_at_ = Now();
  }
}

void BridgeThread::TryConnect() {
  DropClient();
  SetStatus(ConnectionStatus::State::kConnecting);
  client_ = mosquitto_new(ClientId(names_).c_str(), true, this);
  if (client_ == nullptr) return ConnectionFailed(ConnectionError::kRefused);
  mosquitto_connect_callback_set(client_, OnConnect);
  mosquitto_message_callback_set(client_, OnMessage);
  const std::string availability = AvailabilityTopic(names_);
  mosquitto_will_set(client_, availability.c_str(), static_cast<int>(sizeof kPayloadOffline - 1), kPayloadOffline, 0,
                     true);
  const std::string user = Cp1251ToUtf8(active_.settings.user);
  mosquitto_username_pw_set(client_, user.empty() ? nullptr : user.c_str(),
                            user.empty() || active_.password->empty() ? nullptr : active_.password->c_str());
  connack_.reset();
  // Blocks for the look-up and the TCP connection; the CONNACK comes through the socket.
  const int result =
      mosquitto_connect(client_, active_.settings.server.c_str(), active_.settings.port, kKeepaliveSeconds);
  const int error_number = errno;
  if (result == MOSQ_ERR_EAI) return ConnectionFailed(ConnectionError::kDns);
  if (result != MOSQ_ERR_SUCCESS) {
    const bool no_answer =
        result == MOSQ_ERR_ERRNO &&
        (error_number == WSAETIMEDOUT || error_number == WSAEHOSTUNREACH || error_number == WSAENETUNREACH);
    return ConnectionFailed(no_answer ? ConnectionError::kTimeout : ConnectionError::kRefused);
  }
  const Clock::time_point now = Now();
  phase_ = Phase::kConnecting;
  connack_deadline_ = now + kConnackTimeout;
  last_in_ = last_out_ = now;
}

void BridgeThread::ServeSocket() {
  WSANETWORKEVENTS events{};
  if (selected_socket_ != -1) WSAEnumNetworkEvents(static_cast<SOCKET>(selected_socket_), socket_event_, &events);
  if (events.lNetworkEvents & (FD_READ | FD_CLOSE)) {
    // More than one packet may wait; Winsock signals again for what a read leaves.
    mosquitto_loop_read(client_, 10);
    last_in_ = Now();
  }
  if (connack_) {
    const int code = *connack_;
    connack_.reset();
    OnConnack(code);
  }
  if (client_ == nullptr) return;
  if (mosquitto_want_write(client_)) {
    mosquitto_loop_write(client_, 10);
    last_out_ = Now();
  }
  const Clock::time_point now = Now();
  const Clock::time_point keepalive_due = std::min(last_in_, last_out_) + std::chrono::seconds(kKeepaliveSeconds);
  if (phase_ == Phase::kConnected && now >= keepalive_due && now >= misc_not_before_) {
    mosquitto_loop_misc(client_);
    last_out_ = now;
    // The library counts whole seconds: never ask it twice in one.
    misc_not_before_ = now + std::chrono::seconds(1);
  }
  if (mosquitto_socket(client_) == -1) {
    ConnectionFailed(phase_ == Phase::kConnected ? ConnectionError::kLost : ConnectionError::kRefused);
  } else if (phase_ == Phase::kConnecting && now >= connack_deadline_) {
    ConnectionFailed(ConnectionError::kTimeout);
  }
}

void BridgeThread::OnConnack(int code) {
  if (phase_ != Phase::kConnecting) return;
  if (code != 0) {
    const bool credentials = code == kConnackBadCredentials || code == kConnackNotAuthorised;
    return ConnectionFailed(credentials ? ConnectionError::kAuth : ConnectionError::kRefused);
  }
  phase_ = Phase::kConnected;
  backoff_.Reset();
  SetStatus(ConnectionStatus::State::kConnected);
  published_.clear();
  for (const std::string& topic : SubscriptionTopics(names_)) mosquitto_subscribe(client_, nullptr, topic.c_str(), 1);
  PublishEverything();
}

void BridgeThread::ConnectionFailed(ConnectionError error) {
  DropClient();
  const milliseconds delay = backoff_.NextDelay(error == ConnectionError::kAuth);
  phase_ = Phase::kWaiting;
  retry_at_ = Now() + delay;
  SetStatus(ConnectionStatus::State::kWaiting, error, retry_at_);
}

void BridgeThread::PublishEverything() {
  republish_at_.reset();
  if (!state_) {
    everything_pending_ = true;
    return;
  }
  everything_pending_ = false;
  Publish(AvailabilityTopic(names_), kPayloadOnline, true);
  for (const RetainedMessage& config : DiscoveryConfigs(names_, device_, state_->outlet_names)) {
    Publish(config.topic, config.payload, true);
  }
  outlet_names_.Published(state_->outlet_names);
  names_due_.reset();
  PublishStates(true);
}

void BridgeThread::PublishStates(bool all) {
  if (!state_ || everything_pending_) return;
  all = all || republish_outlets_;
  PublishIfChanged(DeviceTopic(names_), OnOff(state_->device), all);
  PublishTemperature(all);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    PublishIfChanged(OutletStateTopic(names_, outlet), OnOff(state_->outlets[static_cast<std::size_t>(outlet - 1)]),
                     all);
  }
  republish_outlets_ = false;
  PublishIfChanged(AlarmTopicName(names_, AlarmTopic::kBelow), OnOff(state_->below), all);
  PublishIfChanged(AlarmTopicName(names_, AlarmTopic::kAbove), OnOff(state_->above), all);
  PublishIfChanged(AlarmTopicName(names_, AlarmTopic::kSensorSilent), OnOff(state_->sensor_silent), all);
}

void BridgeThread::PublishTemperature(bool all) {
  if (all) temperature_.Restart();
  const Clock::time_point now = Now();
  const std::optional<float> value = state_->reading_fresh ? TemperatureValue(state_->temperature_text) : std::nullopt;
  if (!value) {
    (void)temperature_.PublishNow(now, false, 0);  // the cadence learns of the gap
    temperature_check_at_.reset();
    return;
  }
  if (temperature_.PublishNow(now, true, *value)) {
    Publish(TemperatureTopic(names_), state_->temperature_text, true);
    temperature_published_ = state_->temperature_text;
    temperature_published_at_ = now;
  }
  // A new reading comes with a snapshot, which wakes the thread anyway; by the clock there is only
  // the refresh, and a move held back by the minimum gap, which is looked at again once it passed.
  temperature_check_at_ = temperature_published_at_ + TemperatureCadence::kRefresh;
  const Clock::time_point gap_over = temperature_published_at_ + TemperatureCadence::kMinimumGap;
  if (now < gap_over && state_->temperature_text != temperature_published_) temperature_check_at_ = gap_over;
}

void BridgeThread::PublishDueNames() {
  if (!names_due_ || Now() < *names_due_ || !state_) return;
  names_due_.reset();
  const unsigned due = outlet_names_.TakeDueOutlets(Now());
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if ((due & (1u << (outlet - 1))) == 0) continue;
    const RetainedMessage config =
        OutletDiscoveryConfig(names_, device_, outlet, state_->outlet_names[static_cast<std::size_t>(outlet - 1)]);
    Publish(config.topic, config.payload, true);
  }
}

void BridgeThread::Publish(const std::string& topic, const std::string& payload, bool retain) {
  if (client_ == nullptr) return;
  mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 0, retain);
  last_out_ = Now();
}

void BridgeThread::PublishIfChanged(const std::string& topic, const std::string& payload, bool all) {
  auto last = std::find_if(published_.begin(), published_.end(), [&](const auto& p) { return p.first == topic; });
  if (last == published_.end()) {
    published_.emplace_back(topic, payload);
  } else if (!all && last->second == payload) {
    return;
  } else {
    last->second = payload;
  }
  Publish(topic, payload, true);
}

void BridgeThread::Flush(Clock::time_point deadline) {
  while (client_ != nullptr && mosquitto_socket(client_) != -1 && mosquitto_want_write(client_)) {
    mosquitto_loop_write(client_, 10);
    last_out_ = Now();
    const Clock::time_point now = Now();
    if (!mosquitto_want_write(client_) || now >= deadline) break;
    const int socket = mosquitto_socket(client_);
    if (socket == -1) break;
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(static_cast<SOCKET>(socket), &writable);
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
    timeval wait{static_cast<long>(left / 1000000), static_cast<long>(left % 1000000)};
    if (select(0, nullptr, &writable, nullptr, &wait) <= 0) break;
  }
}

void BridgeThread::Leave(bool removed, Clock::time_point deadline) {
  if (client_ != nullptr && phase_ == Phase::kConnected) {
    if (!removed) Publish(AvailabilityTopic(names_), kPayloadOffline, true);
    Flush(deadline);
    // Written at once when the socket has room; the library closes the socket after it.
    mosquitto_disconnect(client_);
    Flush(deadline);
  }
  DropClient();
}

void BridgeThread::DropClient() {
  if (client_ == nullptr) return;
  FollowSocket();
  mosquitto_destroy(client_);
  client_ = nullptr;
  selected_socket_ = -1;
  WSAResetEvent(socket_event_);
}

// Keeps the socket event on the client's current socket (a reconnection makes a new one).
void BridgeThread::FollowSocket() {
  const int socket = client_ == nullptr ? -1 : mosquitto_socket(client_);
  if (socket == selected_socket_) return;
  selected_socket_ = socket;
  WSAResetEvent(socket_event_);
  if (socket != -1) WSAEventSelect(static_cast<SOCKET>(socket), socket_event_, FD_READ | FD_WRITE | FD_CLOSE);
}

DWORD BridgeThread::WaitTime() const {
  std::optional<Clock::time_point> due;
  const auto consider = [&due](std::optional<Clock::time_point> at) {
    if (at && (!due || *at < *due)) due = at;
  };
  if (phase_ == Phase::kWaiting) consider(retry_at_);
  if (phase_ == Phase::kConnecting) consider(connack_deadline_);
  if (phase_ == Phase::kConnected) {
    consider(std::max(std::min(last_in_, last_out_) + std::chrono::seconds(kKeepaliveSeconds), misc_not_before_));
    consider(temperature_check_at_);
    consider(names_due_);
    consider(republish_at_);
  }
  if (!due) return INFINITE;
  const auto left = std::chrono::duration_cast<milliseconds>(*due - Now()).count();
  return left <= 0 ? 0 : static_cast<DWORD>(left + 1);
}

void BridgeThread::SetStatus(ConnectionStatus::State state, ConnectionError error,
                             std::optional<Clock::time_point> retry_at) {
  ConnectionStatus status;
  status.state = state;
  if (state != ConnectionStatus::State::kOff) {
    status.host = active_.settings.server;
    status.port = active_.settings.port;
  }
  status.error = error;
  std::lock_guard<Lock> lock(shared_->mutex);
  shared_->status = status;
  shared_->retry_at = retry_at;
}

void BridgeThread::Received(const mosquitto_message& message) {
  const std::string_view payload(static_cast<const char*>(message.payload),
                                 message.payload == nullptr ? 0 : static_cast<std::size_t>(message.payloadlen));
  const IncomingMessage incoming = ParseIncomingMessage(names_, message.topic, payload, message.retain);
  if (incoming.kind == IncomingMessage::Kind::kHomeAssistantOnline) {
    // Not on top of every other device's answer to the same start.
    republish_at_ = Now() + HomeAssistantOnlineDelay([this] { return Random(); });
  } else if (incoming.kind == IncomingMessage::Kind::kSwitchOutlet) {
    const OutletSetCommand command = incoming.command == OutletCommand::kOn    ? OutletSetCommand::kOn
                                     : incoming.command == OutletCommand::kOff ? OutletSetCommand::kOff
                                                                               : OutletSetCommand::kToggle;
    std::lock_guard<Lock> lock(shared_->mutex);
    if (!shared_->abandoned && !shared_->stop && shared_->post_switch) shared_->post_switch(incoming.outlet, command);
  }
}

}  // namespace

MqttBridge::MqttBridge(std::function<void(int outlet, OutletSetCommand)> post_switch)
    : shared_(std::make_shared<Shared>()) {
  shared_->post_switch = std::move(post_switch);
  // Without its thread the bridge stays off; the program runs on without MQTT.
  const int thread = StartThread(
      [shared = shared_](int) {
        BridgeThread thread(shared);
        thread.Run();
      },
      0);
  if (thread == 0) SetEvent(shared_->finished);
}

MqttBridge::~MqttBridge() {
  Shutdown();
}

void MqttBridge::Configure(const MqttSettings& settings, std::optional<std::string> password) {
  if (shut_down_) return;
  {
    std::lock_guard<Lock> lock(shared_->mutex);
    shared_->configuration = Configuration{settings, std::move(password)};
  }
  SetEvent(shared_->wake);
}

void MqttBridge::UpdateState(const MqttProgramState& state) {
  if (shut_down_ || (has_state_ && state == last_state_)) return;
  last_state_ = state;
  has_state_ = true;
  {
    std::lock_guard<Lock> lock(shared_->mutex);
    shared_->state = state;
  }
  SetEvent(shared_->wake);
}

void MqttBridge::RepublishOutlets(const MqttProgramState& state) {
  if (shut_down_) return;
  last_state_ = state;
  has_state_ = true;
  {
    std::lock_guard<Lock> lock(shared_->mutex);
    shared_->state = state;
    shared_->republish_outlets = true;
  }
  SetEvent(shared_->wake);
}

ConnectionStatus MqttBridge::Status() const {
  std::lock_guard<Lock> lock(shared_->mutex);
  ConnectionStatus status = shared_->status;
  if (status.state == ConnectionStatus::State::kWaiting && shared_->retry_at) {
    const auto left = std::chrono::duration_cast<milliseconds>(*shared_->retry_at - Now()).count();
    status.retry_seconds = static_cast<int>(std::max<long long>(0, (left + 999) / 1000));
  }
  return status;
}

void MqttBridge::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  {
    std::lock_guard<Lock> lock(shared_->mutex);
    shared_->stop = true;
  }
  SetEvent(shared_->wake);
  if (WaitForSingleObject(shared_->finished, 1000) == WAIT_OBJECT_0) return;
  // A look-up or a connection that hangs: the thread keeps its own reference to what it uses and
  // ends with the process, calling nothing of the program's from here on.
  std::lock_guard<Lock> lock(shared_->mutex);
  shared_->abandoned = true;
}

}  // namespace qx
