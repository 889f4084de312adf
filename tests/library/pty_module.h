// The test's side of a pseudo-terminal: it holds the master and plays the
// module, answering each received command line from a thread of its own.
#ifndef BRIMTALLY_TESTS_LIBRARY_PTY_MODULE_H
#define BRIMTALLY_TESTS_LIBRARY_PTY_MODULE_H

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

class PtyModule {
 public:
  // Given each received line (up to and including its CR), returns the bytes
  // to send back, if any.
  using Responder = std::function<std::string(const std::string& line)>;

  // Names the slave in the environment variable the library reads for COM1
  // (or COM2).
  explicit PtyModule(const char* variable = "BRIMTALLY_COM1") {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    setenv(variable, ptsname(master_), 1);
    reader_ = std::thread([this] { run(); });
  }
  ~PtyModule() {
    stop_ = true;
    reader_.join();
    close(master_);
  }
  PtyModule(const PtyModule&) = delete;
  PtyModule& operator=(const PtyModule&) = delete;

  void respond_with(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
  }
  // Writes bytes as the module would, e.g. stale or unsolicited lines.
  void send(const std::string& bytes) {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("pty write failed");
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
  // Waits until at least `count` bytes have arrived; generous bound.
  std::string wait_for_bytes(size_t count,
                             std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, bound, [&] { return received_.size() >= count; });
    return received_;
  }
  // When the first byte after the last clear_received arrived.
  std::chrono::steady_clock::time_point first_byte_time() {
    std::lock_guard lock(mutex_);
    return first_byte_;
  }

 private:
  void run() {
    std::string line;
    while (!stop_) {
      pollfd pfd{master_, POLLIN, 0};
      if (poll(&pfd, 1, 20) <= 0) continue;
      char buffer[256];
      const ssize_t n = (pfd.revents & POLLIN) ? read(master_, buffer, sizeof buffer) : -1;
      if (n <= 0) {  // no slave open at the moment
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      std::string reply;
      {
        std::lock_guard lock(mutex_);
        if (received_.empty()) first_byte_ = std::chrono::steady_clock::now();
        received_.append(buffer, n);
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
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::string received_;
  std::chrono::steady_clock::time_point first_byte_;
  Responder responder_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_LIBRARY_PTY_MODULE_H
