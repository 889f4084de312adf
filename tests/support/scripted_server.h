// SPDX-License-Identifier: MIT
// An RFC 2217 device server in a thread of the test, for what ser2net cannot
// be made to do: it answers COM-PORT-OPTION commands as the test says (or not
// at all), records them, and sends what the test gives it, down to half a
// telnet sequence in a segment of its own.
#ifndef BRIMTALLY_TESTS_SUPPORT_SCRIPTED_SERVER_H
#define BRIMTALLY_TESTS_SUPPORT_SCRIPTED_SERVER_H

#include <libtelnet.h>
#include <netinet/tcp.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ser2net_process.h"

namespace bt_test {

class ScriptedServer {
 public:
  // Sees each command's code and value; false withholds the answer, else the
  // value (as it may change it) goes back under code + 100.
  using Answer = std::function<bool(uint8_t code, std::string& value)>;
  static constexpr unsigned char kComPort = 44;

  ScriptedServer() : url_("rfc2217://127.0.0.1:" + std::to_string(free_port(&listener_))) {
    thread_ = std::thread([this] { run(); });
  }
  ~ScriptedServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      shutdown(listener_, SHUT_RDWR);  // wakes the thread in accept, or in recv
      if (client_ >= 0) shutdown(client_, SHUT_RDWR);
    }
    thread_.join();
    if (client_ >= 0) close(client_);
    close(listener_);
    telnet_free(telnet_);
  }
  const std::string& url() const { return url_; }
  void set_answer(Answer answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
  }
  // Bytes exactly as given, in a segment of their own, once a client is in.
  void send_raw(const std::string& bytes) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(5), [this] { return client_ >= 0; })) {
      throw std::runtime_error("scripted server: no client to send to");
    }
    ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  // IAC SB COM-PORT-OPTION code value IAC SE, 0xFF doubled.
  static std::string com_port(uint8_t code, const std::string& value) {
    std::string bytes{'\xFF', '\xFA', char(kComPort), char(code)};
    for (char c : value) bytes.append(c == '\xFF' ? 2 : 1, c);
    return bytes + "\xFF\xF0";
  }
  // Waits at most 5 s for done(commands, data) over what the client has sent:
  // each command as its code and value, and the line data. Whether it held.
  using Heard = std::function<bool(const std::vector<std::string>&, const std::string&)>;
  bool wait(const Heard& done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return done(commands_, data_); });
  }

 private:
  void run() {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    const int on = 1;  // every send a segment of its own
    if (fd >= 0) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::unique_lock lock(mutex_);
    if (fd < 0 || stopping_) {
      if (fd >= 0) close(fd);
      return;
    }
    client_ = fd;
    for (char chunk[512];;) {
      changed_.notify_all();
      lock.unlock();
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      lock.lock();
      if (n <= 0) break;
      telnet_recv(telnet_, chunk, static_cast<size_t>(n));
    }
  }
  // Called with the mutex held, from telnet_recv.
  static void event(telnet_t*, telnet_event_t* ev, void* user) {
    auto& self = *static_cast<ScriptedServer*>(user);
    if (ev->type == TELNET_EV_SEND) {
      ::send(self.client_, ev->data.buffer, ev->data.size, MSG_NOSIGNAL);
    } else if (ev->type == TELNET_EV_DATA) {
      self.data_.append(ev->data.buffer, ev->data.size);
    } else if (ev->type == TELNET_EV_SUBNEGOTIATION && ev->sub.telopt == kComPort &&
               ev->sub.size > 0) {
      std::string command(ev->sub.buffer, ev->sub.size), value = command.substr(1);
      self.commands_.push_back(command);
      if (!self.answer_ || self.answer_(uint8_t(command[0]), value)) {
        const std::string answer = char(command[0] + 100) + value;
        telnet_subnegotiation(self.telnet_, kComPort, answer.data(), answer.size());
      }
    }
  }

  // BINARY and SUPPRESS-GO-AHEAD, the client's other requests, are agreed.
  static constexpr telnet_telopt_t kOptions[] = {{TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
                                                 {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
                                                 {kComPort, TELNET_WONT, TELNET_DO},
                                                 {-1, 0, 0}};
  telnet_t* telnet_ = telnet_init(kOptions, event, 0, this);
  Answer answer_;
  int listener_ = -1, client_ = -1;
  bool stopping_ = false;
  std::string url_, data_;
  std::vector<std::string> commands_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_SUPPORT_SCRIPTED_SERVER_H
