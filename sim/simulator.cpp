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
      driftRng_(opt_.seed + 1),
      parent_(getppid()) {
  for (size_t i = 0; i < opt_.addresses.size(); ++i) {
    const std::string& addr = opt_.addresses[i];
    modules_.emplace_back(addr, i == 0 ? opt_.name : "BRIM" + addr, opt_.config);
  }
}

Simulator::~Simulator() {
  if (printer_) std::fclose(printer_);
  if (signalFd_ >= 0) ::close(signalFd_);
}

bool Simulator::start(std::string& error) {
  // Readings first, then min/max from them, then any min/max given outright.
  for (const bool minMaxPass : {false, true}) {
    for (const auto& [field, value] : opt_.sets) {
      const bool isMinMax = field.rfind("min", 0) == 0 || field.rfind("max", 0) == 0;
      if (isMinMax != minMaxPass) continue;
      for (auto& m : modules_) {
        if (const auto err = m.setField(field, value)) {
          error = "--set " + field + "=" + value + ": " + *err;
          return false;
        }
      }
    }
    if (!minMaxPass)
      for (auto& m : modules_) m.resetMinMax();
  }
  for (const FaultOption& f : opt_.faults) {
    const std::string at = f.address.empty() ? "" : "@" + f.address + ":";
    if (!f.address.empty() && !findModule(f.address)) {
      error = "--fault " + at + f.kind + ": no module at address " + f.address;
      return false;
    }
    if (const auto err = faults_.configure(f.kind, f.arg, f.address)) {
      error = "--fault " + at + f.kind + ": " + *err;
      return false;
    }
  }
  if (!opt_.logPath.empty() && !log_.open(opt_.logPath, error)) return false;
  if (!opt_.printerPath.empty()) {
    printer_ = std::fopen(opt_.printerPath.c_str(), "a");
    if (!printer_) {
      error = "--printer " + opt_.printerPath + ": " + std::strerror(errno);
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
  signalFd_ = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ < 0) {
    error = std::string("signalfd: ") + std::strerror(errno);
    return false;
  }
  if (opt_.dieWithParent) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent_) stop_ = true;  // it ended before we asked
  }
  if (!opt_.controlPath.empty() && !control_.open(opt_.controlPath, error)) return false;
  if (!pty_.open(opt_.linkPath, error)) return false;
  const int64_t now = monotonicNs();
  lastTickNs_ = now;
  event("start device " + pty_.path());
  if (opt_.banner) sendBanner(now);
  return true;
}

void Simulator::event(const std::string& text) {
  log_.write(monotonicNs(), "event", text);
}

void Simulator::sendBanner(int64_t now) {
  sendRaw(bannerLine(modules_.front()) + "\r" + promptLine(modules_.front()) + "\r", now);
}

void Simulator::sendRaw(std::string bytes, int64_t now) {
  if (!pty_.isOpen()) return;
  if (!out_.push(std::move(bytes), now)) event("output dropped: nobody reads the line");
}

void Simulator::sendLine(std::string text, bool framed, int64_t now, const std::string& address) {
  if (!pty_.isOpen()) return;
  ShapedReply r = faults_.shape(std::move(text), framed, otherAddress(), address);
  if (r.dropped) {
    event("fault drop");
    return;
  }
  if (!out_.push(std::move(r.bytes), now + r.delayNs)) {
    event("output dropped: nobody reads the line");
  }
}

std::string Simulator::otherAddress() const {
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

void Simulator::readInput(int64_t now) {
  char buf[512];
  // Bounded, so that a client writing without pause cannot starve the rest.
  for (int reads = 0; reads < 64; ++reads) {
    const ssize_t n = ::read(pty_.fd(), buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN; the line never hangs up while we hold its far side
    for (ssize_t i = 0; i < n; ++i) {
      const char c = buf[i];
      inRaw_ += c;
      if (c == '\r') {
        std::string line;
        line.swap(inLine_);
        std::string raw;
        raw.swap(inRaw_);
        // LF belongs to the framed line end ("LF CR"); drop it.
        while (!line.empty() && line.back() == '\n') line.pop_back();
        if (inOverflow_) {
          inOverflow_ = false;
          log_.write(now, "in", raw + " (over-long, ignored)");
        } else {
          handleLine(line, raw, now);
        }
        continue;
      }
      if (c == '\n' && inLine_.empty()) continue;  // left over from a CR LF line end
      if (c == '\b' || c == 0x7F) {                // typed at a terminal
        if (!inLine_.empty()) inLine_.pop_back();
        continue;
      }
      if (inOverflow_) continue;
      inLine_ += c;
      if (inLine_.size() > kMaxInputLine) {
        inOverflow_ = true;
        inLine_.clear();
      }
    }
    if (inRaw_.size() > 4 * kMaxInputLine) inRaw_.erase(0, inRaw_.size() - kMaxInputLine);
  }
}

void Simulator::handleLine(const std::string& line, const std::string& raw, int64_t now) {
  log_.write(now, "in", raw);
  if (!line.empty() && line[0] == '#') {
    FramedResult r = handleFramed(line, modules_);
    switch (r.outcome) {
      case FramedOutcome::kReply:
        sendLine(std::move(r.reply), true, now, r.module->address);
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
  ConsoleReply reply = runConsole(modules_.front(), line);
  for (auto& l : reply.lines) sendLine(std::move(l), false, now, modules_.front().address);
}

Module* Simulator::findModule(const std::string& address) {
  for (auto& m : modules_)
    if (m.address == address) return &m;
  return nullptr;
}

void Simulator::powerCycle(int64_t now) {
  out_.clear();  // a reply being sent is cut off
  inLine_.clear();
  inRaw_.clear();
  inOverflow_ = false;
  for (auto& m : modules_) m.powerUp();
  faults_.count("power_cycle");
  event("power-cycle");
  sendBanner(now);
}

void Simulator::vanish(int64_t now, int64_t returnAfterMs) {
  if (!vanished_) {
    out_.clear();
    pty_.close();
    vanished_ = true;
    faults_.count("vanish");
    event("vanish");
  }
  returnAtNs_ = returnAfterMs >= 0 ? now + returnAfterMs * kNsPerMs : -1;
}

void Simulator::comeBack(int64_t now) {
  returnAtNs_ = -1;
  if (!vanished_) return;
  std::string error;
  if (!pty_.open(opt_.linkPath, error)) {
    std::fprintf(stderr, "brimtally-sim: device cannot come back: %s (retrying)\n", error.c_str());
    returnAtNs_ = now + 1000 * kNsPerMs;
    return;
  }
  vanished_ = false;
  inLine_.clear();
  inRaw_.clear();
  inOverflow_ = false;
  std::printf("%s\n", pty_.path().c_str());
  std::fflush(stdout);
  faults_.count("return");
  event("return device " + pty_.path());
  for (auto& m : modules_) m.powerUp();
  sendBanner(now);
}

std::string Simulator::stateJson() const {
  std::string out = "{\"device\":" + jsonString(vanished_ ? std::string() : pty_.path());
  out += ",\"link\":" + jsonString(opt_.linkPath);
  out += ",\"vanished\":" + std::string(vanished_ ? "true" : "false");
  out += ",\"baud\":" + std::to_string(opt_.baud);
  out += ",\"faults\":" + faults_.settingsJson();
  out += ",\"modules\":[";
  for (size_t i = 0; i < modules_.size(); ++i) {
    if (i) out += ',';
    // Each module's own reply faults, beside its values.
    std::string module = modules_[i].toJson();
    module.insert(module.size() - 1,
                  ",\"faults\":" + faults_.moduleSettingsJson(modules_[i].address));
    out += module;
  }
  return out + "]}";
}

int Simulator::run() {
  const int64_t tickNs = opt_.tickMs * kNsPerMs;
  auto logOut = [this](const std::string& bytes, int64_t t) { log_.write(t, "out", bytes); };
  std::vector<pollfd> fds;
  while (!stop_) {
    int64_t now = monotonicNs();
    if (now - lastTickNs_ >= tickNs) {
      for (auto& m : modules_) m.advance(now - lastTickNs_, opt_.drift, driftRng_);
      lastTickNs_ = now;
    }
    if (returnAtNs_ >= 0 && now >= returnAtNs_) comeBack(now);
    OutputQueue::Progress p;
    if (pty_.isOpen()) {
      p = out_.pump(pty_.fd(), now, logOut);
      if (p.failed) {
        event("write to the device failed; output dropped");
        out_.clear();
      }
    }
    int64_t wake = lastTickNs_ + tickNs;
    if (p.wakeAtNs >= 0) wake = std::min(wake, p.wakeAtNs);
    if (returnAtNs_ >= 0) wake = std::min(wake, returnAtNs_);

    fds.clear();
    fds.push_back({signalFd_, POLLIN, 0});
    int ptyIndex = -1;
    if (pty_.isOpen()) {
      ptyIndex = static_cast<int>(fds.size());
      fds.push_back({pty_.fd(), static_cast<short>(POLLIN | (p.waitWritable ? POLLOUT : 0)), 0});
    }
    int watchIndex = -1;
    if (pty_.isOpen() && pty_.closeWatchFd() >= 0) {
      watchIndex = static_cast<int>(fds.size());
      fds.push_back({pty_.closeWatchFd(), POLLIN, 0});
    }
    control_.addPollFds(fds);
    const int64_t waitNs = std::max<int64_t>(0, wake - now);
    timespec ts{static_cast<time_t>(waitNs / 1'000'000'000),
                static_cast<long>(waitNs % 1'000'000'000)};
    const int rc = ::ppoll(fds.data(), fds.size(), &ts, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "brimtally-sim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (rc == 0) continue;
    now = monotonicNs();
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo si{};
      if (::read(signalFd_, &si, sizeof si) == static_cast<ssize_t>(sizeof si)) {
        event("signal " + std::to_string(si.ssi_signo));
        stop_ = true;
      }
    }
    if (ptyIndex >= 0 && (fds[static_cast<size_t>(ptyIndex)].revents & POLLIN)) readInput(now);
    if (watchIndex >= 0 && (fds[static_cast<size_t>(watchIndex)].revents & POLLIN)) {
      pty_.onFarSideClosed();
    }
    control_.service(fds, [this](const std::string& l) { return control(l); });
  }
  event("stop");
  pty_.close();
  return 0;
}

}  // namespace sim
