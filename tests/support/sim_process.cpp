// SPDX-License-Identifier: MIT
#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Reads from `fd` into `buf` until `buf` holds `delim` or the deadline passes.
bool readUntil(int fd, std::string& buf, char delim, Clock::time_point deadline) {
  while (buf.find(delim) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    const int rc = ::poll(&p, 1, remainingMs(deadline));
    if (rc <= 0) return false;
    char tmp[512];
    const ssize_t n = ::read(fd, tmp, sizeof tmp);
    if (n <= 0) return false;
    buf.append(tmp, static_cast<size_t>(n));
  }
  return true;
}

pid_t spawn(const std::vector<std::string>& args, int& outFd, int* errFd, bool simulator = true) {
  int out[2], err[2] = {-1, -1};
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  if (errFd && ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  if (errFd) posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  std::vector<std::string> full;
  if (simulator) full.push_back(BRIMTALLY_SIM_PATH);
  full.insert(full.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : full) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, full[0].c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  if (errFd) ::close(err[1]);
  if (rc != 0) throw std::runtime_error(std::string("spawn: ") + std::strerror(rc));
  outFd = out[0];
  if (errFd) *errFd = err[0];
  return pid;
}

// Waits for `pid` at most `timeoutMs`; returns its exit status or -1.
int waitExit(pid_t pid, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0 || Clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

TempDir::TempDir() {
  char tmpl[] = "/tmp/brimtally-simtest-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
  dir_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

Line::Line(const std::string& device) {
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return;
  termios tio{};
  if (::tcgetattr(fd_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
}

Line::~Line() {
  if (fd_ >= 0) ::close(fd_);
}

void Line::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) throw std::runtime_error(std::string("write: ") + std::strerror(errno));
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

std::optional<std::string> Line::readLine(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!readUntil(fd_, pending_, '\r', deadline)) return std::nullopt;
  const size_t cr = pending_.find('\r');
  std::string line = pending_.substr(0, cr);
  pending_.erase(0, cr + 1);
  return line;
}

std::string Line::readFor(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  std::string out;
  out.swap(pending_);
  readUntil(fd_, out, '\0', deadline);
  return out;
}

bool Line::hangsUp(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, remainingMs(deadline)) <= 0) return false;
    if (p.revents & (POLLHUP | POLLERR)) return true;
    char tmp[256];
    const ssize_t n = ::read(fd_, tmp, sizeof tmp);
    if (n == 0 || (n < 0 && errno == EIO)) return true;
  }
  return false;
}

SimProcess::SimProcess(std::vector<std::string> args, bool withControl) {
  args.push_back("--die-with-parent");  // none left behind if this test crashes
  if (withControl) {
    args.push_back("--control");
    args.push_back(dir_.path("control.sock"));
  }
  pid_ = spawn(args, stdout_, nullptr);
  if (!readUntil(stdout_, outBuf_, '\n', Clock::now() + std::chrono::seconds(10))) {
    stop(SIGKILL);
    throw std::runtime_error("the simulator printed no device path");
  }
  const size_t nl = outBuf_.find('\n');
  device_ = outBuf_.substr(0, nl);
  outBuf_.erase(0, nl + 1);
  if (withControl) {
    control_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = dir_.path("control.sock");
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (::connect(control_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      stop(SIGKILL);
      throw std::runtime_error("cannot connect to the control socket");
    }
  }
}

SimProcess::~SimProcess() {
  if (control_ >= 0) ::close(control_);
  stop(SIGTERM);
  if (stdout_ >= 0) ::close(stdout_);
}

std::string SimProcess::control(const std::string& command) {
  const std::string line = command + "\n";
  if (::send(control_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
    return "(send failed)";
  static thread_local std::string buf;
  buf.clear();
  if (!readUntil(control_, buf, '\n', Clock::now() + std::chrono::seconds(5))) return "(no answer)";
  return buf.substr(0, buf.find('\n'));
}

std::optional<std::string> SimProcess::nextOutputLine(int timeoutMs) {
  if (!readUntil(stdout_, outBuf_, '\n', Clock::now() + std::chrono::milliseconds(timeoutMs)))
    return std::nullopt;
  const size_t nl = outBuf_.find('\n');
  std::string line = outBuf_.substr(0, nl);
  outBuf_.erase(0, nl + 1);
  return line;
}

int SimProcess::stop(int sig) {
  if (pid_ < 0) return -1;
  ::kill(pid_, sig);
  int status = waitExit(pid_, 10000);
  if (status == -1) {
    ::kill(pid_, SIGKILL);
    waitExit(pid_, 10000);
  }
  pid_ = -1;
  return status;
}

RunResult runToCompletion(const std::vector<std::string>& args, int timeoutMs, bool simulator) {
  int out = -1, err = -1;
  const pid_t pid = spawn(args, out, &err, simulator);
  RunResult r{-1, {}, {}};
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  readUntil(out, r.out, '\0', deadline);
  readUntil(err, r.err, '\0', deadline);
  r.exitCode = waitExit(pid, remainingMs(deadline) + 100);
  if (r.exitCode == -1) {
    ::kill(pid, SIGKILL);
    waitExit(pid, 10000);
  }
  ::close(out);
  ::close(err);
  return r;
}

namespace {
unsigned checksumOf(std::string_view line) {
  unsigned sum = 0;
  for (size_t i = 0; i < line.size() && line[i] != '\n' && line[i] != '\r'; ++i)
    sum += (i == 1 || i == 2) ? '0' : static_cast<unsigned char>(line[i]);
  return (256 - sum % 256) % 256;
}
}  // namespace

std::string framed(std::string_view address, std::string_view body) {
  std::string line = "#00 " + std::string(address) + " " + std::string(body);
  char cs[3];
  std::snprintf(cs, sizeof cs, "%02X", checksumOf(line));
  line[1] = cs[0];
  line[2] = cs[1];
  return line + "\n\r";
}

bool checksumValid(std::string_view line) {
  if (line.size() < 3 || line[0] != '$') return false;
  const unsigned stated =
      static_cast<unsigned>(std::stoul(std::string(line.substr(1, 2)), nullptr, 16));
  return stated == checksumOf(line);
}

std::string fieldOf(std::string_view reply, std::string_view tag, size_t digits) {
  const size_t at = reply.find(tag);
  if (at == std::string_view::npos) return {};
  return std::string(reply.substr(at + tag.size(), digits));
}

long jsonNumber(const std::string& json, const std::string& key, const std::string& anchor) {
  size_t from = anchor.empty() ? 0 : json.find(anchor);
  if (from == std::string::npos) return -1;
  const std::string pattern = "\"" + key + "\":";
  const size_t at = json.find(pattern, from);
  if (at == std::string::npos) return -1;
  return std::stol(json.substr(at + pattern.size()));
}

std::vector<long> jsonArray(const std::string& json, const std::string& key) {
  const std::string pattern = "\"" + key + "\":[";
  size_t at = json.find(pattern);
  std::vector<long> out;
  if (at == std::string::npos) return out;
  at += pattern.size();
  while (at < json.size() && json[at] != ']') {
    size_t used = 0;
    out.push_back(std::stol(json.substr(at), &used));
    at += used;
    if (at < json.size() && json[at] == ',') ++at;
  }
  return out;
}

}  // namespace simtest
