// SPDX-License-Identifier: MIT
// What reaches the gateway's main loop from other threads: the MQTT client's
// connection events and messages, and the stop signal. The loop sleeps on it
// until something arrives or its next poll is due.
#ifndef BRIMTALLY_GATEWAY_MAILBOX_H
#define BRIMTALLY_GATEWAY_MAILBOX_H

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

namespace gateway {

using Clock = std::chrono::steady_clock;

struct Letter {
  enum class Kind { kConnected, kConnectFailed, kConnectionLost, kMessage, kStop };
  Kind kind;
  std::string topic{};  // kMessage
  std::string payload{};
  bool retained = false;
  std::string response_topic{};  // MQTT 5 request/response, when given
  std::string correlation{};
  bool has_response_topic = false;  // given, even if empty
  // MQTT 5 message expiry: when the message stops being valid; none when
  // the publisher gave no expiry.
  bool expires = false;
  Clock::time_point expires_at{};
  // kConnectFailed: the broker's reason code or the client's code;
  // kConnectionLost: the reason code of the broker's DISCONNECT, 0 when the
  // connection just broke; kConnected: 1 when the broker kept our session.
  int code = 0;
  bool login_refused = false;  // kConnectFailed: bad user, password or certificate
  std::string text{};          // what failed, in words
};

class Mailbox {
 public:
  void post(Letter letter) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      letters_.push_back(std::move(letter));
    }
    wake_.notify_one();
  }

  // Everything posted, waiting until `deadline` when nothing is.
  std::deque<Letter> collect(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_until(lock, deadline, [this] { return !letters_.empty(); });
    return std::exchange(letters_, {});
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Letter> letters_;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_MAILBOX_H
