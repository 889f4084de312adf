// SPDX-License-Identifier: MIT
// port_read_line over any byte stream, capacity, terminator and time-out,
// arriving in stages, with the idle hook able to abort the wait. Each read
// must store exactly the bytes it consumed, in order, less only its line end,
// and give back what it cannot store.
//
// Input: gone flag, stage count and ends, hook script, then up to eight reads
// (capacity, terminator, time-out), then the stream.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_input.h"
#include "memory_port.h"

namespace {

struct ReadCall {
  uint32_t capacity;
  int terminator;
  int32_t timeout_ms;
};

ReadCall next_call(bt_fuzz::FuzzInput& in) {
  ReadCall call;
  call.capacity = in.u16() % 260;
  call.terminator = static_cast<int>(in.u16() % 262) - 4;  // -4..257: some invalid
  const uint8_t t = in.byte();
  call.timeout_ms = t < 64 ? -1 : t < 128 ? -static_cast<int32_t>(t) : t % 3;
  return call;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  const bool gone = in.byte() & 1;
  std::vector<size_t> stage_ends(in.byte() % 6);
  for (auto& end : stage_ends) end = in.byte();
  std::string hook = in.sized(16);
  std::vector<ReadCall> calls(1 + in.byte() % 8);
  for (auto& call : calls) call = next_call(in);
  const std::string stream = in.rest();
  for (auto& end : stage_ends) end = std::min(end, stream.size());
  std::sort(stage_ends.begin(), stage_ends.end());

  bt_fuzz::MemoryPort memory(stream, stage_ends, hook, gone);
  bt::SerialPort& port = memory.port();
  for (const ReadCall& call : calls) {
    const size_t start = memory.position();
    port.status = bt::kPortOk;  // each read starts clean; failures are sticky
    // Exactly the capacity on the heap, so a write past it is caught.
    std::unique_ptr<char[]> buffer(new char[call.capacity > 0 ? call.capacity : 1]);
    const int result = bt::port_read_line(&port, call.capacity > 0 ? buffer.get() : nullptr,
                                          call.capacity, call.terminator, call.timeout_ms);
    const size_t consumed = memory.position() - start;
    if (result == bt::kInvalidParameter && port.status == bt::kInvalidParameter &&
        (call.capacity < 2 || call.terminator < -2 || call.terminator > 255)) {
      FUZZ_CHECK(consumed == 0);
      continue;
    }
    FUZZ_CHECK(call.capacity >= 2 && call.terminator >= -2 && call.terminator <= 255);
    const auto count = static_cast<size_t>(port.count);
    FUZZ_CHECK(count < call.capacity && buffer[count] == '\0');
    FUZZ_CHECK(std::memcmp(buffer.get(), stream.data() + start, count) == 0);
    const char* after = stream.data() + start + count;
    if (result == bt::kPortOk) {
      // A whole line: its single terminator, or the CR LF pair, was consumed.
      const bool single = call.terminator >= 0 && consumed == count + 1 &&
                          static_cast<uint8_t>(after[0]) == call.terminator;
      const bool pair =
          call.terminator < 0 && consumed == count + 2 && after[0] == '\r' && after[1] == '\n';
      FUZZ_CHECK(single || pair);
    } else if (result == bt::kUserBufferOverflow) {
      FUZZ_CHECK(consumed == count && port.status == bt::kUserBufferOverflow);
      FUZZ_CHECK(count == call.capacity - 1);
    } else {
      // Time-out, abort or lost device: at most a held CR is not stored.
      FUZZ_CHECK(result == bt::kBufferEmpty || result == bt::kGeneralError || result < 0);
      FUZZ_CHECK(consumed == count || (consumed == count + 1 && after[0] == '\r'));
    }
  }
  return 0;
}
