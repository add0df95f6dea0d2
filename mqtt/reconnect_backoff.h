#pragma once
// How long the bridge waits before it tries the broker again: 1 s after the first failure,
// doubling to at most 60 s, forever; refused credentials wait the longest at once (a wrong
// password does not get better by asking every second). Each wait is cut by up to a quarter at
// random, so PCs that lost the same broker do not come back all in the same second.

#include <chrono>
#include <functional>

namespace qx {

// A random fraction in [0, 1); the program passes a real source, tests a fixed one.
using RandomFraction = std::function<double()>;

class ReconnectBackoff {
 public:
  static constexpr std::chrono::milliseconds kFirst{1000};
  static constexpr std::chrono::milliseconds kLongest{60000};

  explicit ReconnectBackoff(RandomFraction random) : random_(std::move(random)) {}

  // The wait before the next try, after a failed one.
  [[nodiscard]] std::chrono::milliseconds NextDelay(bool credentials_refused);
  // After a connection that succeeded: the next failure starts again at 1 s.
  void Reset() { nominal_ = kFirst; }

 private:
  RandomFraction random_;
  std::chrono::milliseconds nominal_ = kFirst;
};

// How long to wait after Home Assistant said it came online before everything is published
// again: 1..5 s at random, so its start is not met by every PC at once.
[[nodiscard]] std::chrono::milliseconds HomeAssistantOnlineDelay(const RandomFraction& random);

}  // namespace qx
