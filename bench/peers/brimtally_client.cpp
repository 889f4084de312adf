// SPDX-License-Identifier: MIT
// Our side of the side-by-side runs: the installed shared library, loaded by
// path as an integrator's program would load it.
//
//   brimtally_client LIBRARY DEVICE MODE COUNT BAUD REPLY_TIMEOUT_MS ADDRESS...
//
// MODE txn:   COUNT x btGetAllIO on the first address (the mandated waits
//             included); prints "txn <start_ns> 0 <end_ns> <status>".
// MODE raw:   COUNT x ex_xmit_msg of a framed QE line, then ex_read_line;
//             prints "raw <start_ns> <read_return_ns> <end_ns> <chars>".
// MODE sweep: COUNT sweeps of btGetAllIO over every address;
//             prints "sweep <start_ns> <modules> <end_ns> <failures>".
// Last line: "cpu <process_cpu_s> <wall_s> <wake_ups>" over the whole loop.
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "brimtally.h"
#include "framed_query.h"

namespace {

struct Exports {
  ModuleRecord (*init)(ModuleRecord*);
  int16_t (*open)(int16_t, uint16_t);
  int32_t (*close)();
  int16_t (*get_all_io)(ModuleRecord*);
  int16_t (*xmit)(ModuleRecord*);
  int16_t (*read_line)(ModuleRecord*);
};

template <typename F>
bool bind(void* library, const char* name, F& out) {
  out = reinterpret_cast<F>(dlsym(library, name));
  if (out == nullptr) std::fprintf(stderr, "missing export %s\n", name);
  return out != nullptr;
}

// Voluntary context switches: one per wake-up from a blocking wait.
long wake_ups() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw;
}

long long now_ns(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

// A short, varying pause, so raw reads do not start in step with the module.
void pause_between(int i) {
  const timespec gap{0, (1'000'000L + (i * 373'000L) % 3'000'000L)};
  clock_nanosleep(CLOCK_MONOTONIC, 0, &gap, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr,
                 "usage: %s LIBRARY DEVICE txn|raw|sweep COUNT BAUD REPLY_TIMEOUT_MS ADDRESS...\n",
                 argv[0]);
    return 2;
  }
  const std::string mode = argv[3];
  const int count = atoi(argv[4]);
  const int baud = atoi(argv[5]);
  const int reply_timeout = atoi(argv[6]);
  std::vector<std::string> addresses(argv + 7, argv + argc);

  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  Exports bt{};
  if (!bind(library, "btInitDLL", bt.init) || !bind(library, "btPortOpen", bt.open) ||
      !bind(library, "btPortClose", bt.close) || !bind(library, "btGetAllIO", bt.get_all_io) ||
      !bind(library, "ex_xmit_msg", bt.xmit) || !bind(library, "ex_read_line", bt.read_line)) {
    return 1;
  }
  setenv("BRIMTALLY_COM1", argv[2], 1);
  if (const int16_t opened = bt.open(1, static_cast<uint16_t>(baud)); opened != 0) {
    std::fprintf(stderr, "btPortOpen: %d\n", opened);
    return 1;
  }
  ModuleRecord record = bt.init(nullptr);
  record.ReplyTimeout = static_cast<int16_t>(reply_timeout);
  auto address = [&](const std::string& a) {
    std::snprintf(record.ModuleAddress, sizeof record.ModuleAddress, "%s", a.c_str());
  };
  address(addresses.front());

  const long wakes0 = wake_ups();
  const long long cpu0 = now_ns(CLOCK_PROCESS_CPUTIME_ID);
  const long long wall0 = now_ns(CLOCK_MONOTONIC);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    const long long start = now_ns(CLOCK_MONOTONIC);
    if (mode == "txn") {
      const int16_t status = bt.get_all_io(&record);
      std::printf("txn %lld 0 %lld %d\n", start, now_ns(CLOCK_MONOTONIC), status);
      failures += status != 0;
    } else if (mode == "raw") {
      pause_between(i);
      const long long sent = now_ns(CLOCK_MONOTONIC);
      framed_query(addresses.front().c_str(), "QE", record.MessageText, sizeof record.MessageText);
      bt.xmit(&record);
      const int16_t chars = bt.read_line(&record);
      const long long returned = now_ns(CLOCK_MONOTONIC);
      const bool ok = chars > 0 && chars < 100 &&
                      reply_is_valid(record.ReplyText, addresses.front().c_str()) != 0;
      std::printf("raw %lld %lld %lld %d\n", sent, returned, returned, ok ? chars : -1);
      failures += !ok;
    } else if (mode == "sweep") {
      int failed = 0;
      for (const std::string& a : addresses) {
        address(a);
        failed += bt.get_all_io(&record) != 0;
      }
      std::printf("sweep %lld %zu %lld %d\n", start, addresses.size(), now_ns(CLOCK_MONOTONIC),
                  failed);
      failures += failed;
    } else {
      std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
      return 2;
    }
  }
  const double wall = static_cast<double>(now_ns(CLOCK_MONOTONIC) - wall0) * 1e-9;
  const double cpu = static_cast<double>(now_ns(CLOCK_PROCESS_CPUTIME_ID) - cpu0) * 1e-9;
  std::printf("cpu %.6f %.6f %ld\n", cpu, wall, wake_ups() - wakes0);
  bt.close();
  return failures == 0 ? 0 : 3;
}
