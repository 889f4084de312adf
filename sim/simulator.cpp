// SPDX-License-Identifier: MIT
// The simulator's start-up: settings, faults, files, signals and the device.
#include "simulator.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "clock.h"

namespace sim {

Simulator::Simulator(Options options)
    : opt_(std::move(options)),
      faults_(opt_.seed),
      out_(opt_.baud),
      drift_rng_(opt_.seed + 1),
      echo_rng_(opt_.seed + 2),
      parent_(getppid()) {
  for (size_t i = 0; i < opt_.addresses.size(); ++i) {
    const std::string& addr = opt_.addresses[i];
    modules_.emplace_back(addr, i == 0 ? opt_.name : "BRIM" + addr, opt_.config);
  }
}

Simulator::~Simulator() {
  if (printer_) std::fclose(printer_);
  if (signal_fd_ >= 0) ::close(signal_fd_);
}

bool Simulator::start(std::string& error) {
  // Readings first, then min/max from them, then any min/max given outright.
  for (const bool min_max_pass : {false, true}) {
    for (const auto& [field, value] : opt_.sets) {
      const bool is_min_max = field.rfind("min", 0) == 0 || field.rfind("max", 0) == 0;
      if (is_min_max != min_max_pass) continue;
      for (auto& m : modules_) {
        if (const auto err = m.set_field(field, value)) {
          error = "--set " + field + "=" + value + ": " + *err;
          return false;
        }
      }
    }
    if (!min_max_pass)
      for (auto& m : modules_) m.reset_min_max();
  }
  for (const FaultOption& f : opt_.faults) {
    const std::string at = f.address.empty() ? "" : "@" + f.address + ":";
    if (!f.address.empty() && !find_module(f.address)) {
      error = "--fault " + at + f.kind + ": no module at address " + f.address;
      return false;
    }
    if (const auto err = faults_.configure(f.kind, f.arg, f.address)) {
      error = "--fault " + at + f.kind + ": " + *err;
      return false;
    }
  }
  if (!opt_.log_path.empty() && !log_.open(opt_.log_path, error)) return false;
  if (!opt_.printer_path.empty()) {
    printer_ = std::fopen(opt_.printer_path.c_str(), "a");
    if (!printer_) {
      error = "--printer " + opt_.printer_path + ": " + std::strerror(errno);
      return false;
    }
  }
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGHUP);
  sigprocmask(SIG_BLOCK, &mask, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  signal_fd_ = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signal_fd_ < 0) {
    error = std::string("signalfd: ") + std::strerror(errno);
    return false;
  }
  if (opt_.die_with_parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent_) stop_ = true;  // it ended before we asked
  }
  if (!opt_.control_path.empty() && !control_.open(opt_.control_path, error)) return false;
  if (!pty_.open(opt_.link_path, error)) return false;
  const int64_t now = monotonic_ns();
  last_tick_ns_ = now;
  event("start device " + pty_.path());
  if (opt_.banner) send_banner(now);
  return true;
}

void Simulator::event(const std::string& text) {
  log_.write(monotonic_ns(), "event", text);
}

Module* Simulator::find_module(const std::string& address) {
  for (auto& m : modules_)
    if (m.address == address) return &m;
  return nullptr;
}

}  // namespace sim
