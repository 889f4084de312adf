// Opening a terminal device into a port object, exclusively and in raw mode.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "serial/net_device.h"
#include "serial/platform.h"
#include "serial/posix_device.h"

namespace bt {

namespace {

// Owns a descriptor until it is handed over, so no failure path leaks it or
// leaves the terminal marked exclusive.
class FdHolder {
 public:
  explicit FdHolder(int fd) : fd_(fd) {}
  FdHolder(const FdHolder&) = delete;
  FdHolder& operator=(const FdHolder&) = delete;
  ~FdHolder() {
    if (fd_ < 0) return;
    if (exclusive_) ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
  void made_exclusive() { exclusive_ = true; }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
  bool exclusive_ = false;
};

// Port n is named by $BRIMTALLY_COM<n+1> when set, else /dev/ttyS<n>.
void device_name(int index, char* name, size_t size) {
  char variable[32];
  std::snprintf(variable, sizeof variable, "BRIMTALLY_COM%d", index + 1);
  const char* chosen = index >= 0 ? std::getenv(variable) : nullptr;
  if (chosen != nullptr && *chosen != '\0') {
    std::snprintf(name, size, "%s", chosen);
  } else {
    std::snprintf(name, size, "/dev/ttyS%d", index);
  }
}

// USB adapters otherwise hold short replies back for many milliseconds.
void request_low_latency(int fd) {
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
  info.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &info);
}

void read_counters(PortDevice& device) {
  serial_icounter_struct counts{};
  device.has_counters = ioctl(device.fd, TIOCGICOUNT, &counts) == 0;
  if (device.has_counters) {
    device.counters_seen = {counts.frame, counts.overrun, counts.parity, counts.brk,
                            counts.buf_overrun};
  }
}

int fail(SerialPort& port, int error) {
  port.status = map_device_error(error);
  return port.status;
}

}  // namespace

namespace platform {

bool host_supported() {
  return true;
}

PortOperations& operations(const SerialPort& port) {
  if (port.driver_kind == kDriverKindNetwork) return network_operations();
  // Never destroyed: ports still open at exit are closed through it.
  alignas(PosixOperations) static unsigned char storage[sizeof(PosixOperations)];
  static PosixOperations* table = new (storage) PosixOperations;
  return *table;
}

int open_device(SerialPort& port) {
  std::unique_ptr<PortDevice> device(new (std::nothrow) PortDevice{});
  if (!device) return kNoMemory;
  port.driver_kind = kDriverKindPosix;
  device->rx_queue_size = port.environment->rx_queue_size;
  device->tx_queue_size = port.environment->tx_queue_size;
  device->line_errors = 0;
  device->fd = -1;

  char name[4096];
  device_name(port.port_index, name, sizeof name);
  // rfc2217:// and tcp:// name a line behind a serial device server.
  NetPortName network{};
  if (parse_net_port_name(name, network) != NameParse::kNotNetwork) {
    return open_network_device(port, name);
  }
  FdHolder fd(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  port.status = kPortOk;
  if (fd.get() < 0) return fail(port, errno);
  // The lock comes before any setting is touched, so a port in use elsewhere
  // is left exactly as its owner set it.
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return fail(port, errno);
  if (ioctl(fd.get(), TIOCEXCL) == 0) {
    fd.made_exclusive();
  } else if (errno != EINVAL && errno != ENOTTY) {
    return fail(port, errno);
  }

  PortSettings& settings = device->settings;
  if (int error = read_settings(fd.get(), settings); error != 0) return fail(port, error);
  settings.binary = true;
  settings.parity_check = false;
  settings.null_discard = false;
  settings.outx_cts_flow = false;
  settings.outx_dsr_flow = false;
  settings.dtr_control = kControlEnable;
  settings.rts_control = kControlEnable;
  // A fresh Linux terminal has software flow control on as a line-discipline
  // default, not as a choice of the device's owner; raw mode turns it off.
  settings.outx = false;
  settings.inx = false;
  settings.xon_char = 0x11;
  settings.xoff_char = 0x13;
  settings.xon_lim = static_cast<uint16_t>(device->rx_queue_size / 4);
  settings.xoff_lim = static_cast<uint16_t>(device->rx_queue_size / 4);
  settings.eof_char = 0;
  settings.evt_char = 0;
  // Raw mode and the raised lines now; the line parameters follow in set_params.
  if (int error = apply_settings(fd.get(), settings); error != 0) return fail(port, error);
  request_low_latency(fd.get());

  device->fd = fd.release();
  read_counters(*device);
  port.device = device.release();
  return kPortOk;
}

}  // namespace platform

}  // namespace bt
