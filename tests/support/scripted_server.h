// SPDX-License-Identifier: MIT
// An RFC 2217 device server in a thread of the test: it negotiates and answers
// as the test says, records what the client sends, and sends bytes on demand.
#ifndef BRIMTALLY_TESTS_SUPPORT_SCRIPTED_SERVER_H
#define BRIMTALLY_TESTS_SUPPORT_SCRIPTED_SERVER_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bt_test {

// What the client has sent so far, decoded.
struct Heard {
  std::string data;                   // line data
  std::vector<std::string> commands;  // each COM-PORT-OPTION command: code, then value
  bool closed = false;
};

class ScriptedServer {
 public:
  enum class Option { kAccept, kRefuse, kSilent };  // the answer to WILL COM-PORT-OPTION
  // Sees each command; false withholds the answer, else value (which it may
  // change to what the server holds) goes back under the code + 100.
  using Answer = std::function<bool(uint8_t code, std::string& value)>;

  explicit ScriptedServer(Option option = Option::kAccept, Answer answer = nullptr);
  ~ScriptedServer();
  std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
  void set_answer(Answer answer);
  // Bytes exactly as given, in a segment of their own, once a client is in.
  void send(const std::string& bytes);
  // Waits at most 5 s for done to hold of what was heard; whether it did.
  bool wait(const std::function<bool(const Heard&)>& done);
  Heard heard();
  // IAC SB COM-PORT-OPTION code value IAC SE, with 0xFF doubled.
  static std::string com_port(uint8_t code, const std::string& value);

 private:
  void run();
  void take(uint8_t byte);
  void write_locked(const std::string& bytes);

  const Option option_;
  Answer answer_;
  int listener_, client_ = -1;
  uint16_t port_ = 0;
  bool stopping_ = false;
  enum class State { kData, kIac, kVerb, kSub, kSubIac } state_ = State::kData;
  std::string sub_;  // the subnegotiation so far; after IAC, the verb
  Heard heard_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_SUPPORT_SCRIPTED_SERVER_H
