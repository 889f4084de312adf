// SPDX-License-Identifier: MIT
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gwtest {

// Just enough of an MQTT 5 broker to end a client's connection with a
// DISCONNECT of a chosen reason code, which mosquitto will not send on
// demand: it answers CONNECT, SUBSCRIBE and PUBLISH (QoS 1), and records
// what it was sent (a test ends before the first keep-alive ping). One client at a time, on
// 127.0.0.1.
class ScriptedBroker {
 public:
  ScriptedBroker();
  ~ScriptedBroker();
  ScriptedBroker(const ScriptedBroker&) = delete;
  ScriptedBroker& operator=(const ScriptedBroker&) = delete;

  std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
  // Sends DISCONNECT with `reason` to the connected client and closes.
  void disconnect(int reason);
  int connects() const { return connects_; }
  // Topics of the PUBLISH packets received, in order.
  std::vector<std::string> published() const;

 private:
  void serve();
  void session(int fd);

  int listen_ = -1;
  int port_ = 0;
  std::atomic<int> client_{-1};
  std::atomic<int> connects_{0};
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> published_;
  std::thread thread_;
};

}  // namespace gwtest
