// SPDX-License-Identifier: MIT
#include "broker_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "ser2net_process.h"

namespace gwtest {

namespace {

// Runs a shell command line in `dir`, throwing with its output if it fails.
void run(const simtest::TempDir& dir, const std::string& command) {
  const auto r = simtest::runToCompletion(
      {"/bin/sh", "-c", "cd " + dir.path("") + " && " + command}, 10000, false);
  if (r.exitCode != 0) throw std::runtime_error(command + " failed: " + r.err + r.out);
}

// A throwaway CA, and a server certificate it signed for 127.0.0.1 as an IP
// subject alternative name (what TLS clients check for an address).
constexpr const char* kMakeCertificates =
    "K='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes' && "
    "openssl req -x509 -days 2 $K -subj '/CN=Brimtally test CA' -keyout ca.key -out ca.crt "
    "-addext basicConstraints=critical,CA:TRUE && "
    "openssl req -new $K -subj /CN=127.0.0.1 -keyout server.key -out server.csr && "
    "printf 'subjectAltName=IP:127.0.0.1\\nextendedKeyUsage=serverAuth\\n' >server.ext && "
    "openssl x509 -req -days 2 -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
    "-extfile server.ext -out server.crt";

}  // namespace

BrokerProcess::BrokerProcess(BrokerMode mode, std::string user, std::string password)
    : mode_(mode), user_(std::move(user)), password_(std::move(password)) {
  if (mode_ == BrokerMode::Password)
    run(dir_, "mosquitto_passwd -b -c passwd '" + user_ + "' '" + password_ + "'");
  if (mode_ == BrokerMode::Tls || mode_ == BrokerMode::MutualTls) run(dir_, kMakeCertificates);
  // Another process may take the port between our probe and the broker's bind.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = bt_test::free_port();
    writeConfig();
    if (start()) return;
  }
  throw std::runtime_error("mosquitto would not start:\n" + log());
}

BrokerProcess::~BrokerProcess() {
  kill();
}

std::string BrokerProcess::url() const {
  return (mode_ == BrokerMode::Plain || mode_ == BrokerMode::Password ? "mqtt://127.0.0.1:"
                                                                      : "mqtts://127.0.0.1:") +
         std::to_string(port_);
}

std::string BrokerProcess::caFile() const {
  return mode_ == BrokerMode::Tls || mode_ == BrokerMode::MutualTls ? dir_.path("ca.crt") : "";
}

std::pair<std::string, std::string> BrokerProcess::clientCertificate(
    const std::string& name) const {
  run(dir_, "openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=" +
                name + " -keyout " + name + ".key -out " + name +
                ".csr && printf 'extendedKeyUsage=clientAuth\\n' >client.ext && openssl x509 -req "
                "-days 2 -in " +
                name + ".csr -CA ca.crt -CAkey ca.key -CAcreateserial -extfile client.ext -out " +
                name + ".crt");
  return {dir_.path(name + ".crt"), dir_.path(name + ".key")};
}

std::string BrokerProcess::log() const {
  return slurp(dir_.path("broker.log"));
}

void BrokerProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void BrokerProcess::restart() {
  kill();
  if (!start()) throw std::runtime_error("mosquitto would not restart:\n" + log());
}

void BrokerProcess::writeConfig() {
  std::ofstream conf(dir_.path("mosquitto.conf"));
  conf << "listener " << port_
       << " 127.0.0.1\npersistence false\nlog_dest stderr\n"
       // Started as root, the broker would switch to its own account, which
       // cannot read the private scratch directory (ignored when not root).
       << "user root\n"
       << "allow_anonymous " << (mode_ == BrokerMode::Password ? "false" : "true") << "\n";
  if (mode_ == BrokerMode::Password) conf << "password_file " << dir_.path("passwd") << "\n";
  if (mode_ == BrokerMode::Tls || mode_ == BrokerMode::MutualTls)
    conf << "cafile " << dir_.path("ca.crt") << "\ncertfile " << dir_.path("server.crt")
         << "\nkeyfile " << dir_.path("server.key") << "\n";
  if (mode_ == BrokerMode::MutualTls) {
    conf << "require_certificate true\nuse_identity_as_username true\nacl_file " << dir_.path("acl")
         << "\n";
    std::ofstream(dir_.path("acl")) << kLineAcl;
  }
}

bool BrokerProcess::start() {
  const std::string conf = dir_.path("mosquitto.conf");
  const int logFd = ::open(dir_.path("broker.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t parent = ::getpid();
  const pid_t pid = logFd < 0 ? -1 : ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(logFd, 1);
    ::dup2(logFd, 2);
    ::execl("/usr/sbin/mosquitto", "mosquitto", "-c", conf.c_str(), nullptr);
    ::_exit(127);
  }
  if (logFd >= 0) ::close(logFd);
  if (pid < 0) throw std::runtime_error("cannot start mosquitto");
  pid_ = pid;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    // Its log tells the port is its own, not another process's.
    if (bt_test::listening(port_) && log().find(" running") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill();
  throw std::runtime_error("mosquitto accepted no connection within 10 s:\n" + log());
}

}  // namespace gwtest
