// SPDX-License-Identifier: MIT
// The live list (newest first), the fallback object and the exit routine that
// closes whatever is still open.
#include "serial/live_ports.h"

#include <cstdlib>

namespace bt {

namespace {

SerialPort* live_head = nullptr;
SerialPort fallback{};
bool exit_routine_registered = false;

bool on_live_list(const SerialPort* port) {
  for (const SerialPort* p = live_head; p != nullptr; p = p->next) {
    if (p == port) return true;
  }
  return false;
}

void exit_close_all() {
  port_exit_close_all();
}

}  // namespace

SerialPort* port_live_head() {
  return live_head;
}
SerialPort* port_fallback() {
  return &fallback;
}

void attach_port(SerialPort* port) {
  if (!exit_routine_registered) {
    exit_routine_registered = true;
    std::atexit(exit_close_all);
  }
  if (!on_live_list(port)) {
    port->next = live_head;
    live_head = port;
  }
  port->ops = &default_operations();
  port->environment = port_environment();
}

void unlink_port(SerialPort* port) {
  for (SerialPort** link = &live_head; *link != nullptr; link = &(*link)->next) {
    if (*link == port) {
      *link = port->next;
      port->next = nullptr;
      return;
    }
  }
}

SerialPort* hand_out_fallback() {
  attach_port(&fallback);
  fallback.device = nullptr;
  fallback.port_index = -1;
  fallback.driver_kind = kDriverKindNone;
  fallback.status = kNoMemory;
  fallback.count = 0;
  return &fallback;
}

void port_exit_close_all() {
  // Each close takes its object off the list, so this ends.
  while (live_head != nullptr) live_head->ops->close(*live_head);
}

}  // namespace bt
