// SPDX-License-Identifier: MIT
#include "sim_session.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace wintest {

namespace {

std::string log_path;
std::string control_folder;
int control_sequence = 0;

std::string read_whole_file(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

}  // namespace

void set_sim_paths(const std::string& log, const std::string& control) {
  log_path = log;
  control_folder = control;
}

std::string sim_control(const std::string& command) {
  const std::string base = control_folder + "\\" + std::to_string(++control_sequence);
  std::ofstream(base + ".draft", std::ios::binary) << command;
  // The relay sees the request only once it is whole.
  MoveFileA((base + ".draft").c_str(), (base + ".request").c_str());
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
    const std::string reply = read_whole_file(base + ".reply");
    if (!reply.empty()) return reply.substr(0, reply.find_first_of("\r\n"));
  }
  return {};
}

std::string log_escaped(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    char escaped[8] = {c, '\0'};
    if (c == '\r' || c == '\n' || c == '\\') {
      std::snprintf(escaped, sizeof escaped, "\\%c", c == '\r' ? 'r' : c == '\n' ? 'n' : '\\');
    } else if (c < 32 || c > 126) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
    }
    out += escaped;
  }
  return out;
}

SimLogWatch::SimLogWatch() : start_(read_whole_file(log_path).size()) {}

// A log line reads "<seconds> <direction> <text>"; received lines go "in".
std::vector<std::string> SimLogWatch::lines_received(size_t count) const {
  for (const DWORD start = GetTickCount();; Sleep(20)) {
    const std::string log = read_whole_file(log_path);
    std::istringstream lines(log.size() > start_ ? log.substr(start_) : std::string());
    std::vector<std::string> texts;
    for (std::string line, seconds, direction; std::getline(lines, line);) {
      std::istringstream fields(line);
      if (fields >> seconds >> direction && direction == "in") {
        std::getline(fields >> std::ws, line);
        texts.push_back(fields ? line : std::string());
      }
    }
    if (texts.size() >= count || GetTickCount() - start > 10000) return texts;
  }
}

}  // namespace wintest
