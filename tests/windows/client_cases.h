// Brimtally.dll as a client uses it: loaded by path, each export by name.
#ifndef BRIMTALLY_TESTS_WINDOWS_CLIENT_CASES_H
#define BRIMTALLY_TESTS_WINDOWS_CLIENT_CASES_H

#include <string>

namespace wintest {

void run_client_cases(const std::string& dll_path);

}  // namespace wintest

#endif  // BRIMTALLY_TESTS_WINDOWS_CLIENT_CASES_H
