// SPDX-License-Identifier: MIT
// A small check harness for the Windows test program: cases made of checks,
// failures printed as they happen, one closing line for the whole run.
#ifndef BRIMTALLY_TESTS_WINDOWS_CHECK_H
#define BRIMTALLY_TESTS_WINDOWS_CHECK_H

#include <cstdio>
#include <sstream>
#include <string>

namespace wintest {

inline int cases_passed = 0;
inline int cases_failed = 0;
inline int failures_in_case = 0;

inline bool check(bool ok, const char* file, int line, const std::string& what) {
  if (!ok) std::printf("%s:%d: check failed: %s\n", file, line, what.c_str());
  failures_in_case += ok ? 0 : 1;
  return ok;
}

// Runs one case; it passes when none of its checks failed.
inline void run_case(const char* name, void (*body)()) {
  failures_in_case = 0;
  body();
  ++(failures_in_case == 0 ? cases_passed : cases_failed);
  std::printf("[ %s ] %s\n", failures_in_case == 0 ? " OK " : "FAIL", name);
  std::fflush(stdout);
}

// Evaluates each side once: the sides may be calls with effects.
template <typename A, typename E>
bool check_eq(const A& actual, const E& expected, const char* file, int line, const char* what) {
  std::ostringstream text;
  text << what << ", got " << actual << " expected " << expected;
  return check(actual == expected, file, line, text.str());
}

}  // namespace wintest

#define CHECK(cond) ::wintest::check((cond), __FILE__, __LINE__, #cond)
#define CHECK_EQ(actual, expected) \
  ::wintest::check_eq((actual), (expected), __FILE__, __LINE__, #actual " == " #expected)

#endif  // BRIMTALLY_TESTS_WINDOWS_CHECK_H
