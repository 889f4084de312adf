// SPDX-License-Identifier: MIT
// port_open when memory runs out: this executable replaces the nothrow
// allocator with one that fails on request.
#include <gtest/gtest.h>

#include <new>

#include "port_guard.h"
#include "serial/serial_port.h"

namespace {

// The nothrow allocation, counted from 1, that is to fail; 0: none.
int fail_allocation = 0;
int allocations = 0;

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (++allocations == fail_allocation) return nullptr;
  // The ordinary allocator underneath keeps new and delete paired.
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace bt::test {
namespace {

// Whichever allocation of an open fails, the caller gets the shared fallback
// object, listed once, and nothing half-made keeps the device.
TEST(OutOfMemory, AnyFailedAllocationGivesTheFallbackAndKeepsNothing) {
  FarEnd far;
  allocations = 0;
  fail_allocation = 0;
  PortGuard(port_open(0, 9600, 'N', 8, 1)).close();
  const int needed = allocations;
  ASSERT_GT(needed, 0);

  for (int which = 1; which <= needed; ++which) {
    SCOPED_TRACE(which);
    for (int again = 0; again < 2; ++again) {
      allocations = 0;
      fail_allocation = which;
      SerialPort* port = port_open(0, 9600, 'N', 8, 1);
      fail_allocation = 0;
      ASSERT_EQ(port, port_fallback());
      EXPECT_EQ(port->status, kNoMemory);
      EXPECT_EQ(port->port_index, -1);
      EXPECT_EQ(port->driver_kind, kDriverKindNone);
      EXPECT_EQ(port_write_string(port, "QC", -1), kNotSupported);
      EXPECT_EQ(port_live_head(), port);
      EXPECT_EQ(times_listed(port), 1);  // handed out twice, listed once
    }
    // Closing only unlinks the fallback; the device was released and opens.
    EXPECT_EQ(port_fallback()->ops->close(*port_fallback()), 0);
    EXPECT_EQ(times_listed(port_fallback()), 0);
    PortGuard opened(port_open(0, 9600, 'N', 8, 1));
    EXPECT_EQ(opened->status, 0);
  }
}

}  // namespace
}  // namespace bt::test
