// The out-of-memory paths of port_open: this executable replaces the nothrow
// allocator with one that fails on request.
#include <gtest/gtest.h>

#include <new>

#include "far_end.h"
#include "serial/serial_port.h"

namespace {

// The nothrow allocation, counted from 1, that is to fail; 0: none.
int fail_allocation = 0;
int allocations = 0;

void fail_nothrow_allocation(int which) {
  allocations = 0;
  fail_allocation = which;
}

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (fail_allocation != 0 && ++allocations == fail_allocation) {
    fail_allocation = 0;
    return nullptr;
  }
  // The ordinary allocator underneath keeps new and delete paired.
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace bt::test {
namespace {

int live_count(SerialPort* port) {
  int n = 0;
  for (SerialPort* p = port_live_head(); p != nullptr; p = p->next) n += p == port;
  return n;
}

TEST(OutOfMemory, NoPortObjectGivesTheSharedFallback) {
  fail_nothrow_allocation(1);
  SerialPort* first = port_open(0, 9600, 'N', 8, 1);
  EXPECT_EQ(first, port_fallback());
  EXPECT_EQ(first->status, kNoMemory);
  EXPECT_EQ(first->port_index, -1);
  EXPECT_EQ(first->driver_kind, kDriverKindNone);
  EXPECT_EQ(first->device, nullptr);
  EXPECT_EQ(port_write_string(first, "QC", -1), kNotSupported);

  // Handed out again: the same object, fresh "no memory", listed once.
  fail_nothrow_allocation(1);
  SerialPort* second = port_open(0, 9600, 'N', 8, 1);
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->status, kNoMemory);
  EXPECT_EQ(live_count(second), 1);

  // Closing only unlinks it; it serves the next shortage just the same.
  EXPECT_EQ(second->ops->close(*second), 0);
  EXPECT_EQ(live_count(second), 0);
  fail_nothrow_allocation(1);
  SerialPort* third = port_open(0, 9600, 'N', 8, 1);
  EXPECT_EQ(third, port_fallback());
  EXPECT_EQ(third->status, kNoMemory);
  EXPECT_EQ(live_count(third), 1);
  third->ops->close(*third);
}

TEST(OutOfMemory, NoDeviceBlockReleasesThePortAndGivesTheFallback) {
  FarEnd far;
  fail_nothrow_allocation(2);
  SerialPort* port = port_open(0, 9600, 'N', 8, 1);
  EXPECT_EQ(port, port_fallback());
  EXPECT_EQ(port->status, kNoMemory);
  // Only the fallback is listed: the half-made object is gone, and the
  // device was never taken, so it opens now.
  EXPECT_EQ(port_live_head(), port_fallback());
  EXPECT_EQ(port_fallback()->next, nullptr);
  port->ops->close(*port);
  PortGuard opened(port_open(0, 9600, 'N', 8, 1));
  EXPECT_EQ(opened->status, 0);
}

}  // namespace
}  // namespace bt::test
