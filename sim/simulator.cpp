// The simulator's start-up, its dispatch of lines and its sending.
#include "simulator.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "clock.h"
#include "console.h"
#include "framed_protocol.h"
#include "json_text.h"

namespace sim {

Simulator::Simulator(Options options)
    : opt_(std::move(options)),
      faults_(opt_.seed),
      out_(opt_.baud),
      drift_rng_(opt_.seed + 1),
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

void Simulator::send_banner(int64_t now) {
  send_raw(banner_line(modules_.front()) + "\r" + prompt_line(modules_.front()) + "\r", now);
}

void Simulator::send_raw(std::string bytes, int64_t now) {
  if (!pty_.is_open()) return;
  if (!out_.push(std::move(bytes), now)) event("output dropped: nobody reads the line");
}

void Simulator::send_line(std::string text, bool framed, int64_t now, const std::string& address) {
  if (!pty_.is_open()) return;
  ShapedReply r = faults_.shape(std::move(text), framed, other_address(), address);
  if (r.dropped) {
    event("fault drop");
    return;
  }
  if (!out_.push(std::move(r.bytes), now + r.delay_ns)) {
    event("output dropped: nobody reads the line");
  }
}

std::string Simulator::other_address() const {
  // Same length as the first module's address, since a reader compares only
  // as many characters as its own address has.
  static constexpr std::string_view kChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string a = modules_.front().address.empty() ? "0" : modules_.front().address;
  for (char c : kChars) {
    a.back() = c;
    const bool used = std::any_of(modules_.begin(), modules_.end(),
                                  [&](const Module& m) { return m.address == a; });
    if (!used) return a;
  }
  return a + "X";
}

void Simulator::read_input(int64_t now) {
  char buf[512];
  // Bounded, so that a client writing without pause cannot starve the rest.
  for (int reads = 0; reads < 64; ++reads) {
    const ssize_t n = ::read(pty_.fd(), buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN; the line never hangs up while we hold its far side
    for (const ReceivedLine& line : input_.feed({buf, static_cast<size_t>(n)})) {
      if (line.overlong) {
        log_.write(now, "in", line.raw + " (over-long, ignored)");
      } else {
        handle_line(line, now);
      }
    }
  }
}

void Simulator::handle_line(const ReceivedLine& line, int64_t now) {
  log_.write(now, "in", line.raw);
  if (line.framed()) {
    FramedResult r = handle_framed(line.text, modules_);
    switch (r.outcome) {
      case FramedOutcome::kReply:
        send_line(std::move(r.reply), true, now, r.module->address);
        break;
      case FramedOutcome::kActed:
        if (!r.printed.empty() && printer_) {
          std::fprintf(printer_, "%s\n", r.printed.c_str());
          std::fflush(printer_);
        }
        break;
      case FramedOutcome::kBadChecksum:
        event("ignored: wrong checksum");
        break;
      case FramedOutcome::kOtherAddress:
        event("ignored: not our address");
        break;
      case FramedOutcome::kMalformed:
        event("ignored: unknown command or bad arguments");
        break;
    }
    return;
  }
  ConsoleReply reply = run_console(modules_.front(), line.text);
  for (auto& l : reply.lines) send_line(std::move(l), false, now, modules_.front().address);
}

Module* Simulator::find_module(const std::string& address) {
  for (auto& m : modules_)
    if (m.address == address) return &m;
  return nullptr;
}

void Simulator::power_cycle(int64_t now) {
  out_.clear();  // a reply being sent is cut off
  input_.reset();
  for (auto& m : modules_) m.power_up();
  faults_.count("power_cycle");
  event("power-cycle");
  send_banner(now);
}

void Simulator::vanish(int64_t now, int64_t return_after_ms) {
  if (!vanished_) {
    out_.clear();
    pty_.close();
    vanished_ = true;
    faults_.count("vanish");
    event("vanish");
  }
  return_at_ns_ = return_after_ms >= 0 ? now + return_after_ms * kNsPerMs : -1;
}

void Simulator::come_back(int64_t now) {
  return_at_ns_ = -1;
  if (!vanished_) return;
  std::string error;
  if (!pty_.open(opt_.link_path, error)) {
    std::fprintf(stderr, "brimtally-sim: device cannot come back: %s (retrying)\n", error.c_str());
    return_at_ns_ = now + 1000 * kNsPerMs;
    return;
  }
  vanished_ = false;
  input_.reset();
  std::printf("%s\n", pty_.path().c_str());
  std::fflush(stdout);
  faults_.count("return");
  event("return device " + pty_.path());
  for (auto& m : modules_) m.power_up();
  send_banner(now);
}

std::string Simulator::state_json() const {
  std::string out = "{\"device\":" + json_string(vanished_ ? std::string() : pty_.path());
  out += ",\"link\":" + json_string(opt_.link_path);
  out += ",\"vanished\":" + std::string(vanished_ ? "true" : "false");
  out += ",\"baud\":" + std::to_string(opt_.baud);
  out += ",\"faults\":" + faults_.settings_json();
  out += ",\"modules\":[";
  for (size_t i = 0; i < modules_.size(); ++i) {
    if (i) out += ',';
    // Each module's own reply faults, beside its values.
    std::string module = modules_[i].to_json();
    module.insert(module.size() - 1,
                  ",\"faults\":" + faults_.module_settings_json(modules_[i].address));
    out += module;
  }
  return out + "]}";
}

int Simulator::run() {
  const int64_t tick_ns = opt_.tick_ms * kNsPerMs;
  auto log_out = [this](const std::string& bytes, int64_t t) { log_.write(t, "out", bytes); };
  std::vector<pollfd> fds;
  while (!stop_) {
    int64_t now = monotonic_ns();
    if (now - last_tick_ns_ >= tick_ns) {
      for (auto& m : modules_) m.advance(now - last_tick_ns_, opt_.drift, drift_rng_);
      last_tick_ns_ = now;
    }
    if (return_at_ns_ >= 0 && now >= return_at_ns_) come_back(now);
    OutputQueue::Progress p;
    if (pty_.is_open()) {
      p = out_.pump(pty_.fd(), now, log_out);
      if (p.failed) {
        event("write to the device failed; output dropped");
        out_.clear();
      }
    }
    int64_t wake = last_tick_ns_ + tick_ns;
    if (p.wake_at_ns >= 0) wake = std::min(wake, p.wake_at_ns);
    if (return_at_ns_ >= 0) wake = std::min(wake, return_at_ns_);

    fds.clear();
    fds.push_back({signal_fd_, POLLIN, 0});
    int pty_index = -1;
    if (pty_.is_open()) {
      pty_index = static_cast<int>(fds.size());
      fds.push_back({pty_.fd(), static_cast<short>(POLLIN | (p.wait_writable ? POLLOUT : 0)), 0});
    }
    int watch_index = -1;
    if (pty_.is_open() && pty_.close_watch_fd() >= 0) {
      watch_index = static_cast<int>(fds.size());
      fds.push_back({pty_.close_watch_fd(), POLLIN, 0});
    }
    control_.add_poll_fds(fds);
    const int64_t wait_ns = std::max<int64_t>(0, wake - now);
    timespec ts{static_cast<time_t>(wait_ns / 1'000'000'000),
                static_cast<long>(wait_ns % 1'000'000'000)};
    const int rc = ::ppoll(fds.data(), fds.size(), &ts, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "brimtally-sim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (rc == 0) continue;
    now = monotonic_ns();
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo si{};
      if (::read(signal_fd_, &si, sizeof si) == static_cast<ssize_t>(sizeof si)) {
        event("signal " + std::to_string(si.ssi_signo));
        stop_ = true;
      }
    }
    if (pty_index >= 0 && (fds[static_cast<size_t>(pty_index)].revents & POLLIN)) read_input(now);
    if (watch_index >= 0 && (fds[static_cast<size_t>(watch_index)].revents & POLLIN)) {
      pty_.on_far_side_closed();
    }
    control_.service(fds, [this](const std::string& l) { return control(l); });
  }
  event("stop");
  pty_.close();
  return 0;
}

}  // namespace sim
