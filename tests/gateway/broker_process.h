// SPDX-License-Identifier: MIT
#pragma once
#include <sys/types.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sim_process.h"

namespace gwtest {

inline std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

enum class BrokerMode {
  Plain,     // anonymous clients allowed
  Password,  // only the given user and password
  Tls,       // anonymous, over TLS with a certificate from a throwaway CA
  // TLS where a client's certificate is its login (its common name the user
  // name) and the ACL below confines every user to its own line's topics.
  MutualTls,
};

// The mosquitto ACL that the gateway's manual shows: a line's gateway (user
// = the line's name) publishes and subscribes under its own line only; an
// operator may send settings to every line, an observer read everything.
inline constexpr const char* kLineAcl =
    "pattern readwrite brimtally/%u/#\n"
    "user operator\ntopic write brimtally/+/+/set/#\n"
    "user observer\ntopic read #\n";

// Debian's mosquitto as a child process listening on 127.0.0.1 only, on a free
// port, with its configuration (and for TLS its keys and certificates) in a
// scratch directory. The child is killed if the test process dies.
class BrokerProcess {
 public:
  explicit BrokerProcess(BrokerMode mode = BrokerMode::Plain, std::string user = "gateway",
                         std::string password = "gateway-secret");
  ~BrokerProcess();
  BrokerProcess(const BrokerProcess&) = delete;
  BrokerProcess& operator=(const BrokerProcess&) = delete;

  // "mqtt://127.0.0.1:PORT", or "mqtts://..." in TLS mode.
  std::string url() const;
  // The test CA's certificate, which signed the broker's (empty unless TLS).
  std::string caFile() const;
  // A client certificate for `name` signed by the test CA (MutualTls): the
  // paths of the certificate and of its key.
  std::pair<std::string, std::string> clientCertificate(const std::string& name) const;
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // What the broker logged since it last started.
  std::string log() const;

  // SIGKILL, then reaps the child.
  void kill();
  // Starts again on the same port with the same configuration and waits until
  // it accepts connections.
  void restart();

 private:
  void writeConfig();
  bool start();  // false when the broker exited before accepting connections

  simtest::TempDir dir_;
  BrokerMode mode_;
  std::string user_, password_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace gwtest
