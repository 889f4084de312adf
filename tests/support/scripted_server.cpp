// SPDX-License-Identifier: MIT
// The scripted RFC 2217 server: one client, a telnet parser for what it sends.
#include "scripted_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace bt_test {

namespace {

constexpr char kSe = '\xF0', kSb = '\xFA', kWill = '\xFB', kDo = '\xFD', kDont = '\xFE',
               kIac = '\xFF', kComPort = 44;
constexpr auto kPatience = std::chrono::seconds(5);

}  // namespace

ScriptedServer::ScriptedServer(Option option, Answer answer)
    : option_(option), answer_(std::move(answer)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t size = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listener_, 1) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("scripted server: no listening socket");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    shutdown(listener_, SHUT_RDWR);  // wakes the thread in accept, or in recv
    if (client_ >= 0) shutdown(client_, SHUT_RDWR);
  }
  thread_.join();
  if (client_ >= 0) close(client_);
  close(listener_);
}

void ScriptedServer::set_answer(Answer answer) {
  std::lock_guard lock(mutex_);
  answer_ = std::move(answer);
}

void ScriptedServer::send(const std::string& bytes) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, kPatience, [this] { return client_ >= 0; })) {
    throw std::runtime_error("scripted server: no client to send to");
  }
  write_locked(bytes);
}

bool ScriptedServer::wait(const std::function<bool(const Heard&)>& done) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, kPatience, [&] { return done(heard_); });
}

Heard ScriptedServer::heard() {
  std::lock_guard lock(mutex_);
  return heard_;
}

std::string ScriptedServer::com_port(uint8_t code, const std::string& value) {
  std::string bytes{kIac, kSb, kComPort, char(code)};
  for (char c : value) bytes.append(c == kIac ? 2 : 1, c);
  return bytes + kIac + kSe;
}

void ScriptedServer::run() {
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
    for (ssize_t i = 0; i < n; ++i) take(static_cast<uint8_t>(chunk[i]));
  }
  heard_.closed = true;
  changed_.notify_all();
}

void ScriptedServer::take(uint8_t byte) {
  const char c = char(byte);
  switch (state_) {
    case State::kData:
      if (c != kIac) heard_.data += c;
      state_ = c == kIac ? State::kIac : State::kData;
      break;
    case State::kIac:
      if (c == kIac) heard_.data += c;
      state_ = c == kSb ? State::kSub : byte >= 251 && c != kIac ? State::kVerb : State::kData;
      sub_.assign(c == kSb ? 0 : 1, c);
      break;
    case State::kVerb:
      state_ = State::kData;
      if (c == kComPort && sub_[0] == kWill && option_ != Option::kSilent) {
        write_locked({kIac, option_ == Option::kAccept ? kDo : kDont, c});
      } else if (c != kComPort && (sub_[0] == kWill || sub_[0] == kDo)) {
        // BINARY and SUPPRESS-GO-AHEAD, the client's other requests, are agreed.
        write_locked({kIac, sub_[0] == kWill ? kDo : kWill, c});
      }
      break;
    case State::kSub:
      if (c != kIac) sub_ += c;
      state_ = c == kIac ? State::kSubIac : State::kSub;
      break;
    case State::kSubIac:
      if (c == kIac) sub_ += c;
      state_ = c == kIac ? State::kSub : State::kData;
      if (c != kSe || sub_.size() < 2 || sub_[0] != kComPort) break;
      heard_.commands.push_back(sub_.substr(1));
      std::string value = sub_.substr(2);
      if (!answer_ || answer_(uint8_t(sub_[1]), value)) {
        write_locked(com_port(uint8_t(sub_[1] + 100), value));
      }
      break;
  }
}

void ScriptedServer::write_locked(const std::string& bytes) {
  // Blocking: all of it goes, unless the client is gone, which is for the test to notice.
  ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

}  // namespace bt_test
