#include "sim_session.h"

#include <windows.h>

#include <cstdio>
#include <sstream>

namespace wintest {

namespace {

std::string log_path;
std::string control_folder;
int control_sequence = 0;

std::string read_whole_file(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

// A log line reads "<seconds> <direction> <text>"; received lines have the
// direction "in".
std::vector<std::string> received_lines(const std::string& log) {
  std::vector<std::string> texts;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t first = line.find(' ');
    if (first == std::string::npos) continue;
    const size_t direction = line.find_first_not_of(' ', first);
    if (direction == std::string::npos || line.compare(direction, 3, "in ") != 0) continue;
    const size_t text = line.find_first_not_of(' ', direction + 2);
    texts.push_back(text == std::string::npos ? std::string() : line.substr(text));
  }
  return texts;
}

}  // namespace

void set_sim_log_path(const std::string& path) {
  log_path = path;
}

void set_sim_control_folder(const std::string& path) {
  control_folder = path;
}

std::string sim_control(const std::string& command) {
  const std::string base = control_folder + "\\" + std::to_string(++control_sequence);
  const std::string draft = base + ".draft";
  HANDLE file = CreateFileA(draft.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  DWORD written = 0;
  WriteFile(file, command.data(), static_cast<DWORD>(command.size()), &written, nullptr);
  CloseHandle(file);
  // The relay sees the request only once it is whole.
  if (!MoveFileA(draft.c_str(), (base + ".request").c_str())) return {};
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 15000) {
    const std::string reply = read_whole_file(base + ".reply");
    if (!reply.empty()) return reply.substr(0, reply.find_first_of("\r\n"));
    Sleep(20);
  }
  return {};
}

SimLogWatch::SimLogWatch() : start_(read_whole_file(log_path).size()) {}

std::vector<std::string> SimLogWatch::lines_received(size_t count) const {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::string log = read_whole_file(log_path);
    const std::vector<std::string> lines =
        received_lines(log.size() > start_ ? log.substr(start_) : std::string());
    if (lines.size() >= count || GetTickCount() - start > 10000) return lines;
    Sleep(20);
  }
}

bool SimLogWatch::received(const std::string& escaped_text) const {
  const DWORD start = GetTickCount();
  for (;;) {
    for (const std::string& line : lines_received(0)) {
      if (line.find(escaped_text) != std::string::npos) return true;
    }
    if (GetTickCount() - start > 10000) return false;
    Sleep(20);
  }
}

std::string log_escaped(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const unsigned u = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (u < 32 || u > 126) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace wintest
