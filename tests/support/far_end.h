// SPDX-License-Identifier: MIT
// The far end of a pseudo-terminal: the test holds the master side and names
// the slave in BRIMTALLY_COM1 (or COM2), which the library opens as its device.
// A thread of its own collects what arrives and, given a responder, plays the
// module by answering each received line.
#ifndef BRIMTALLY_TESTS_SUPPORT_FAR_END_H
#define BRIMTALLY_TESTS_SUPPORT_FAR_END_H

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace bt_test {

class FarEnd {
 public:
  // Given each received line (up to and including its CR), the bytes to send
  // back, if any.
  using Responder = std::function<std::string(const std::string& line)>;

  explicit FarEnd(const char* variable = "BRIMTALLY_COM1") {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slave_path_ = ptsname(master_);
    setenv(variable, slave_path_.c_str(), 1);
    reader_ = std::thread([this] { run(); });
  }
  ~FarEnd() { hang_up(); }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  const std::string& slave_path() const { return slave_path_; }
  void respond_with(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
  }
  // Writes bytes as the module would, e.g. stale or unsolicited lines.
  void send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("far end write failed");
      done += static_cast<size_t>(n);
    }
  }
  std::string received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  void clear_received() {
    std::lock_guard lock(mutex_);
    received_.clear();
  }
  // Waits until at least `count` bytes have arrived (generous bound) and
  // returns all of them.
  std::string wait_for_bytes(size_t count,
                             std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, bound, [&] { return received_.size() >= count; });
    return received_;
  }
  // Takes the first `count` bytes, or what arrived of them within `limit`.
  std::string receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, limit, [&] { return received_.size() >= count; });
    std::string taken = received_.substr(0, count);
    received_.erase(0, taken.size());
    return taken;
  }
  // When the first byte after the last clear_received arrived.
  std::chrono::steady_clock::time_point first_byte_time() {
    std::lock_guard lock(mutex_);
    return first_byte_;
  }
  // Closes the master side: the device hangs up.
  void hang_up() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  void run() {
    std::string line;
    while (!stop_) {
      pollfd pfd{master_, POLLIN, 0};
      if (poll(&pfd, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t n = (pfd.revents & POLLIN) ? ::read(master_, buffer, sizeof buffer) : -1;
      if (n <= 0) {  // no slave open at the moment
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      std::string reply;
      {
        std::lock_guard lock(mutex_);
        if (received_.empty()) first_byte_ = std::chrono::steady_clock::now();
        received_.append(buffer, static_cast<size_t>(n));
        for (ssize_t i = 0; i < n; ++i) {
          line += buffer[i];
          if (buffer[i] != '\r') continue;
          if (responder_) reply += responder_(line);
          line.clear();
        }
      }
      arrived_.notify_all();
      if (!reply.empty()) send(reply);
    }
  }

  int master_ = -1;
  std::string slave_path_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::string received_;
  std::chrono::steady_clock::time_point first_byte_;
  Responder responder_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_SUPPORT_FAR_END_H
