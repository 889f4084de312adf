// SPDX-License-Identifier: MIT
// The settings record and termios: reading the device's state into the record
// and applying the record to the device as a whole.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "serial/posix/posix_device.h"

namespace bt {

namespace {

struct RateConstant {
  uint32_t baud;
  speed_t constant;
};

constexpr RateConstant kRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// B0 means "hang up" to termios, so 0 never maps to a constant.
speed_t rate_constant(uint32_t baud) {
  for (const RateConstant& rate : kRates) {
    if (rate.baud == baud) return rate.constant;
  }
  return B0;
}

tcflag_t size_flag(uint8_t byte_size) {
  switch (byte_size) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

// DTR and RTS follow the record; devices without modem lines (ptys) refuse
// with ENOTTY or EINVAL, which is no failure.
int set_modem_line(int fd, int line, bool raised) {
  if (ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &line) == 0) return 0;
  return errno == ENOTTY || errno == EINVAL ? 0 : errno;
}

}  // namespace

int read_settings(int fd, LineSettings& settings) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return errno;
  uint32_t baud = 0;
  if (get_line_rate(fd, baud) == 0) {
    settings.baud = baud;
  } else {
    settings.baud = 9600;
    for (const RateConstant& rate : kRates) {
      if (rate.constant == cfgetospeed(&tio)) settings.baud = rate.baud;
    }
  }
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      settings.byte_size = 5;
      break;
    case CS6:
      settings.byte_size = 6;
      break;
    case CS7:
      settings.byte_size = 7;
      break;
    default:
      settings.byte_size = 8;
  }
  if ((tio.c_cflag & PARENB) == 0) {
    settings.parity = kParityNone;
  } else if ((tio.c_cflag & CMSPAR) != 0) {
    settings.parity = (tio.c_cflag & PARODD) != 0 ? kParityMark : kParitySpace;
  } else {
    settings.parity = (tio.c_cflag & PARODD) != 0 ? kParityOdd : kParityEven;
  }
  settings.stop_bits = (tio.c_cflag & CSTOPB) != 0 ? kStopTwo : kStopOne;
  settings.parity_check = (tio.c_iflag & INPCK) != 0;
  settings.outx_cts_flow = (tio.c_cflag & CRTSCTS) != 0;
  settings.outx = (tio.c_iflag & IXON) != 0;
  settings.inx = (tio.c_iflag & IXOFF) != 0;
  settings.xon_char = static_cast<char>(tio.c_cc[VSTART]);
  settings.xoff_char = static_cast<char>(tio.c_cc[VSTOP]);
  settings.binary = true;
  return 0;
}

int apply_settings(int fd, const LineSettings& settings) {
  if (settings.baud == 0 || settings.byte_size < 5 || settings.byte_size > 8 ||
      settings.parity > kParitySpace || settings.stop_bits > kStopTwo) {
    return EINVAL;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return errno;

  // Raw bytes in both directions. With O_NONBLOCK, VMIN 1 makes an empty
  // queue read as EAGAIN; VMIN 0 would read as 0 bytes, which looks exactly
  // like a hung-up device.
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CREAD | CLOCAL | size_flag(settings.byte_size);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;

  switch (settings.parity) {
    case kParityOdd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case kParityEven:
      tio.c_cflag |= PARENB;
      break;
    case kParityMark:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case kParitySpace:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (settings.parity_check) tio.c_iflag |= INPCK;
  // One and a half stop bits exist only as the two-stop setting of 5-bit lines.
  if (settings.stop_bits != kStopOne) tio.c_cflag |= CSTOPB;
  if (settings.outx_cts_flow || settings.rts_control == kControlHandshake) tio.c_cflag |= CRTSCTS;
  if (settings.outx) tio.c_iflag |= IXON;
  if (settings.inx) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(settings.xon_char);
  tio.c_cc[VSTOP] = static_cast<cc_t>(settings.xoff_char);

  const speed_t constant = rate_constant(settings.baud);
  if (constant != B0) {
    cfsetispeed(&tio, constant);
    cfsetospeed(&tio, constant);
  }
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return errno;
  if (constant == B0) {
    if (int error = set_line_rate(fd, settings.baud); error != 0) return error;
  }

  if (int error = set_modem_line(fd, TIOCM_DTR, settings.dtr_control != kControlDisable);
      error != 0) {
    return error;
  }
  return set_modem_line(fd, TIOCM_RTS, settings.rts_control != kControlDisable);
}

int32_t map_device_error(int error) {
  switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
      return kInUse;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return kNoDevice;
    default:
      return kGeneralError;
  }
}

}  // namespace bt
