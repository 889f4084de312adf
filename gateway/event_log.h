// The gateway's log: one line per event on standard error. A fault that
// lasts (a broker down, a silent module) is logged when it begins and when
// it ends, never again while it lasts.
#ifndef BRIMTALLY_GATEWAY_EVENT_LOG_H
#define BRIMTALLY_GATEWAY_EVENT_LOG_H

#include <map>
#include <string>

namespace gateway {

class EventLog {
 public:
  void info(const std::string& message);
  // Logs `message` unless the fault `key` is already on with the same text.
  void fault(const std::string& key, const std::string& message);
  // Ends the fault `key`, logging `message` when it was on; whether it was.
  bool cleared(const std::string& key, const std::string& message);

 private:
  std::map<std::string, std::string> active_;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_EVENT_LOG_H
