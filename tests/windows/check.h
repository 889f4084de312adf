// A small check harness for the Windows test program: cases made of checks,
// failures printed as they happen, one closing line for the whole run.
#ifndef BRIMTALLY_TESTS_WINDOWS_CHECK_H
#define BRIMTALLY_TESTS_WINDOWS_CHECK_H

#include <string>

namespace wintest {

// Runs one case; it passes when none of its checks failed.
void run_case(const char* name, void (*body)());
// Records one check of the running case.
bool check(bool ok, const char* file, int line, const std::string& what);
// Prints "N passed, N failed" and returns the process exit status.
int finish();

std::string describe(long long value);
std::string describe(const std::string& value);

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
