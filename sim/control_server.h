// SPDX-License-Identifier: MIT
// The control socket: one command per line in, one answer line out, per client.
#ifndef BRIMTALLY_SIM_CONTROL_SERVER_H
#define BRIMTALLY_SIM_CONTROL_SERVER_H

#include <poll.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {

// The control channel: a UNIX stream socket taking one command per line and
// answering each with one line. Several clients may be connected at once.
class ControlServer {
 public:
  using Handler = std::function<std::string(const std::string&)>;

  ControlServer() = default;
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  bool open(const std::string& path, std::string& error);
  bool is_open() const { return listen_ >= 0; }

  // Adds the descriptors to watch; `service` then handles those that are ready.
  void add_poll_fds(std::vector<pollfd>& fds) const;
  void service(const std::vector<pollfd>& fds, const Handler& handler);

 private:
  struct Client {
    int fd;
    std::string in, out;
    bool closing = false;
    bool overlong = false;  // the rest of a refused line, up to its end, is dropped
  };
  void flush(Client& c);

  int listen_ = -1;
  std::string path_;
  std::vector<Client> clients_;
};

}  // namespace sim

#endif  // BRIMTALLY_SIM_CONTROL_SERVER_H
