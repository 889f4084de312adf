// SPDX-License-Identifier: MIT
#include "port_failure.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString ownerGroup(const QByteArray& path) {
  struct stat info {};
  if (stat(path.constData(), &info) != 0) return "?";
  const group* g = getgrgid(info.st_gid);
  return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(info.st_gid);
}

QString because(int error, const QString& device, const QByteArray& path) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return "No such device: " + device;
    case EBUSY:
    case EWOULDBLOCK:
      return "In use by another program: " + device;
    case EACCES:
    case EPERM:
      return QString("Permission denied: %1 belongs to the group %2").arg(device, ownerGroup(path));
    case ENOTTY:
      return "Not a serial device: " + device;
    default:
      return QString("%1: %2").arg(device, QString::fromLocal8Bit(std::strerror(error)));
  }
}

}  // namespace

QString portOpenFailure(LibraryApi& library, int port) {
  char name[4096] = "";
  library.btPortDevice(static_cast<int16_t>(port), name, sizeof name);
  char why[256] = "";
  if (library.btPortCheckName(name, why, sizeof why) != BT_OK) {
    return "Invalid port option in " + QString::fromLocal8Bit(name) + ": " + why;
  }
  // The device is looked at without the options its name gives the driver.
  if (char* options = std::strchr(name, '?')) *options = '\0';
  const QString device = QString::fromLocal8Bit(name);
  // A serial device server is reached over TCP: nothing local to look at.
  if (device.startsWith("rfc2217://") || device.startsWith("tcp://")) {
    return "The serial device server did not answer: " + device;
  }
  const QByteArray path = device.toLocal8Bit();
  // Opened as the driver opens it; nothing is changed on the device.
  const int fd = open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return because(errno, device, path);
  int error = 0;
  termios settings{};
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &settings) != 0) error = errno;
  close(fd);
  return error ? because(error, device, path) : "The driver could not set up " + device;
}
