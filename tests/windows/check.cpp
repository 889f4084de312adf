#include "check.h"

#include <cstdio>

namespace wintest {

namespace {

int passed = 0;
int failed = 0;
int failures_in_case = 0;

}  // namespace

void run_case(const char* name, void (*body)()) {
  failures_in_case = 0;
  std::printf("[ RUN  ] %s\n", name);
  std::fflush(stdout);
  body();
  if (failures_in_case == 0) {
    ++passed;
    std::printf("[  OK  ] %s\n", name);
  } else {
    ++failed;
    std::printf("[ FAIL ] %s\n", name);
  }
  std::fflush(stdout);
}

bool check(bool ok, const char* file, int line, const std::string& what) {
  if (!ok) {
    ++failures_in_case;
    std::printf("%s:%d: check failed: %s\n", file, line, what.c_str());
    std::fflush(stdout);
  }
  return ok;
}

int finish() {
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 && passed > 0 ? 0 : 1;
}

std::string describe(long long value) {
  return std::to_string(value);
}

std::string describe(const std::string& value) {
  return "\"" + value + "\"";
}

}  // namespace wintest
