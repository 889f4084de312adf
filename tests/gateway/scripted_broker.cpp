// SPDX-License-Identifier: MIT
#include "scripted_broker.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "ser2net_process.h"

namespace gwtest {

namespace {

// Reads exactly n bytes, waiting at most 100 ms at a time while `stop` is
// false; false on end of stream or stop.
bool readAll(int fd, uint8_t* out, size_t n, const std::atomic<bool>& stop) {
  while (n > 0) {
    pollfd p{fd, POLLIN, 0};
    if (stop) return false;
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t got = ::read(fd, out, n);
    if (got <= 0) return false;
    out += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

void sendAll(int fd, const std::vector<uint8_t>& bytes) {
  (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// The variable-length integer at `at`, moving `at` past it.
size_t varint(const std::vector<uint8_t>& b, size_t& at) {
  size_t value = 0;
  for (int shift = 0; at < b.size(); shift += 7) {
    const uint8_t byte = b[at++];
    value |= static_cast<size_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) break;
  }
  return value;
}

size_t u16(const std::vector<uint8_t>& b, size_t at) {
  return at + 1 < b.size() ? (size_t{b[at]} << 8 | b[at + 1]) : 0;
}

}  // namespace

ScriptedBroker::ScriptedBroker() {
  port_ = bt_test::free_port(&listen_);
  if (listen_ < 0) throw std::runtime_error("scripted broker: cannot listen on 127.0.0.1");
  thread_ = std::thread([this] { serve(); });
}

ScriptedBroker::~ScriptedBroker() {
  stop_ = true;
  thread_.join();
  ::close(listen_);
}

void ScriptedBroker::serve() {
  while (!stop_) {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    client_ = fd;
    session(fd);
    client_ = -1;
    ::close(fd);
  }
}

void ScriptedBroker::session(int fd) {
  for (;;) {
    uint8_t head = 0;
    if (!readAll(fd, &head, 1, stop_)) return;
    size_t length = 0;
    for (int shift = 0;; shift += 7) {
      uint8_t byte = 0;
      if (!readAll(fd, &byte, 1, stop_)) return;
      length |= static_cast<size_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) break;
    }
    std::vector<uint8_t> body(length);
    if (length > 0 && !readAll(fd, body.data(), length, stop_)) return;
    switch (head >> 4) {
      case 1:  // CONNECT: CONNACK, no session, success, no properties
        ++connects_;
        sendAll(fd, {0x20, 0x03, 0x00, 0x00, 0x00});
        break;
      case 3: {  // PUBLISH: the topic, and PUBACK for QoS 1
        const size_t topicLength = u16(body, 0);
        std::lock_guard lock(mutex_);
        published_.emplace_back(body.begin() + 2, body.begin() + 2 + topicLength);
        if ((head & 0x06) != 0) {
          const size_t id = u16(body, 2 + topicLength);
          sendAll(fd, {0x40, 0x02, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)});
        }
        break;
      }
      case 8: {  // SUBSCRIBE: SUBACK granting QoS 1 to each filter
        size_t at = 2;
        at += varint(body, at);  // the properties
        std::vector<uint8_t> ack = {0x90, 0, body[0], body[1], 0x00};
        while (at + 2 <= body.size()) {
          at += 2 + u16(body, at) + 1;
          ack.push_back(0x01);
        }
        ack[1] = static_cast<uint8_t>(ack.size() - 2);
        sendAll(fd, ack);
        break;
      }
      case 14:  // DISCONNECT
        return;
      default:
        break;
    }
  }
}

void ScriptedBroker::disconnect(int reason) {
  const int fd = client_;
  if (fd < 0) return;
  sendAll(fd, {0xE0, 0x02, static_cast<uint8_t>(reason), 0x00});
  ::shutdown(fd, SHUT_RDWR);
}

std::vector<std::string> ScriptedBroker::published() const {
  std::lock_guard lock(mutex_);
  return published_;
}

}  // namespace gwtest
