// SPDX-License-Identifier: MIT
// `ports`: the serial ports of this machine, whether this user may open them,
// who holds them, and which of them the library calls COM1 and COM2.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "commands.h"
#include "device_check.h"
#include "session.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

namespace fs = std::filesystem;

namespace {

const char* const kDevicePrefixes[] = {"ttyS", "ttyUSB", "ttyACM"};

std::string read_word(const fs::path& file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  return word;
}

// The kernel driver behind a tty, from sysfs. Newer kernels put devices of
// the serial core's own bus in between; the driver is above them.
std::string kernel_driver(const std::string& name) {
  std::error_code ec;
  fs::path device = fs::canonical(fs::path("/sys/class/tty") / name / "device", ec);
  for (; !ec && device.has_relative_path() && device != "/sys/devices";
       device = device.parent_path()) {
    std::error_code link_ec;
    const fs::path driver = fs::read_symlink(device / "driver", link_ec);
    if (!link_ec && driver.string().find("/serial-base/") == std::string::npos) {
      return driver.filename();
    }
  }
  return "";
}

// ttyS0 to ttyS31 always exist as nodes; type 0 means no UART answers there.
bool present(const std::string& name) {
  if (name.rfind("ttyS", 0) != 0) return true;
  return read_word(fs::path("/sys/class/tty") / name / "type") != "0";
}

std::string com_name(const fs::path& device) {
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  for (int number : {1, 2}) {
    std::error_code path_ec;
    const fs::path path = fs::canonical(port_device(number), path_ec);
    if (!ec && !path_ec && path == real) return "COM" + std::to_string(number);
  }
  return "";
}

struct PortEntry {
  std::string driver;
  std::vector<std::string> by_id;
};

std::map<std::string, PortEntry> find_ports() {
  std::map<std::string, PortEntry> ports;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
    const std::string name = entry.path().filename();
    const bool wanted = std::any_of(std::begin(kDevicePrefixes), std::end(kDevicePrefixes),
                                    [&](const char* p) { return name.rfind(p, 0) == 0; });
    if (!wanted || !present(name) || !fs::exists("/dev/" + name)) continue;
    ports["/dev/" + name].driver = kernel_driver(name);
  }
  // A device the library is told to use is listed even when it is none of
  // the above, e.g. a simulator's pseudo-terminal.
  for (const char* variable : {"BRIMTALLY_COM1", "BRIMTALLY_COM2"}) {
    const char* chosen = std::getenv(variable);
    std::error_code path_ec;
    if (chosen == nullptr || !fs::exists(chosen, path_ec)) continue;
    const std::string real = fs::canonical(chosen, path_ec);
    if (!path_ec && !ports.count(real)) {
      ports[real].driver = real.rfind("/dev/pts/", 0) == 0 ? "pty" : "";
    }
  }
  for (const auto& link : fs::directory_iterator("/dev/serial/by-id", ec)) {
    std::error_code link_ec;
    const std::string real = fs::canonical(link.path(), link_ec);
    if (!link_ec && ports.count(real)) ports[real].by_id.push_back(link.path());
  }
  return ports;
}

// Whether the device takes the kernel's RS-485 mode (port option rs485);
// null when it cannot be asked. The open is brief.
Json takes_rs485(const std::string& device) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Json();
  // Many UART drivers report the mode yet refuse to set it: setting it as it
  // stands tells them apart, and changes nothing.
  serial_rs485 mode{};
  const bool takes = ioctl(fd, TIOCGRS485, &mode) == 0 && ioctl(fd, TIOCSRS485, &mode) == 0;
  close(fd);
  return takes;
}

}  // namespace

int run_ports(bool json) {
  Json rows = Json::array();
  for (const auto& [device, entry] : find_ports()) {
    Json row = Json::object();
    row["device"] = device;
    row["com"] = com_name(device);
    row["driver"] = entry.driver;
    row["may_open"] = may_open(device);
    row["group"] = device_group(device);
    row["fix"] = may_open(device) ? "" : group_fix_command(device_group(device));
    Json held = Json::array();
    for (const Holder& h : device_holders(device)) {
      held.push_back(Json{{"pid", h.pid}, {"command", h.command}, {"locks", h.locks}});
    }
    row["held_by"] = held;
    row["by_id"] = entry.by_id;
    // A port in use by a program is not opened beside it.
    const bool locked =
        std::any_of(held.begin(), held.end(), [](const Json& h) { return h["locks"].get<bool>(); });
    row["rs485"] = locked ? Json() : takes_rs485(device);
    rows.push_back(row);
  }
  if (json) {
    std::cout << rows.dump() << '\n';
    return kExitOk;
  }
  if (rows.empty()) {
    std::cout << "no serial ports found (no ttyS, ttyUSB or ttyACM device, and neither "
                 "BRIMTALLY_COM1 nor BRIMTALLY_COM2 names one)\n";
    return kExitOk;
  }
  for (const Json& row : rows) {
    std::string line = row["device"].get<std::string>();
    if (!row["com"].get<std::string>().empty()) line += "  " + row["com"].get<std::string>();
    if (!row["driver"].get<std::string>().empty()) {
      line += "  driver " + row["driver"].get<std::string>();
    }
    if (row["rs485"].is_boolean()) {
      line += row["rs485"].get<bool>() ? "  RS-485 mode" : "  no RS-485 mode";
    }
    std::cout << line << '\n';
    for (const Json& link : row["by_id"]) std::cout << "    " << link.get<std::string>() << '\n';
    if (!row["may_open"].get<bool>()) {
      std::cout << "    no permission: the device belongs to group "
                << row["group"].get<std::string>() << "; run '" << row["fix"].get<std::string>()
                << "' and log in again\n";
    }
    for (const Json& h : row["held_by"]) {
      std::cout << (h["locks"].get<bool>() ? "    locked by process " : "    open in process ")
                << h["pid"] << " (" << h["command"].get<std::string>() << ")\n";
    }
  }
  return kExitOk;
}

}  // namespace cli
