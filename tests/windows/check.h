// A small check harness for the Windows test program: cases made of checks,
// failures printed as they happen, one closing line for the whole run.
#ifndef BRIMTALLY_TESTS_WINDOWS_CHECK_H
#define BRIMTALLY_TESTS_WINDOWS_CHECK_H

#include <cstdio>
#include <string>

namespace wintest {

struct Tally {
  int passed = 0;
  int failed = 0;
  int failures_in_case = 0;
};
inline Tally tally;

inline bool check(bool ok, const char* file, int line, const std::string& what) {
  if (!ok) {
    ++tally.failures_in_case;
    std::printf("%s:%d: check failed: %s\n", file, line, what.c_str());
    std::fflush(stdout);
  }
  return ok;
}

// Runs one case; it passes when none of its checks failed.
inline void run_case(const char* name, void (*body)()) {
  tally.failures_in_case = 0;
  std::printf("[ RUN  ] %s\n", name);
  std::fflush(stdout);
  body();
  ++(tally.failures_in_case == 0 ? tally.passed : tally.failed);
  std::printf("[ %s ] %s\n", tally.failures_in_case == 0 ? " OK " : "FAIL", name);
  std::fflush(stdout);
}

inline std::string describe(long long value) {
  return std::to_string(value);
}
inline std::string describe(const std::string& value) {
  return "\"" + value + "\"";
}

// Evaluates each side once: the sides may be calls with effects.
template <typename A, typename E>
bool check_eq(const A& actual, const E& expected, const char* file, int line, const char* what) {
  const bool ok = actual == expected;
  return check(
      ok, file, line,
      ok ? std::string()
         : std::string(what) + ", got " + describe(actual) + " expected " + describe(expected));
}

}  // namespace wintest

#define CHECK(cond) ::wintest::check((cond), __FILE__, __LINE__, #cond)
#define CHECK_EQ(actual, expected) \
  ::wintest::check_eq((actual), (expected), __FILE__, __LINE__, #actual " == " #expected)

#endif  // BRIMTALLY_TESTS_WINDOWS_CHECK_H
