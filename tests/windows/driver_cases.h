// The Win32 driver kind, reached through the static archive.
#ifndef BRIMTALLY_TESTS_WINDOWS_DRIVER_CASES_H
#define BRIMTALLY_TESTS_WINDOWS_DRIVER_CASES_H

namespace wintest {

void run_driver_cases();
// Leaves COM1 without a device.
void run_vanishing_device_case();

}  // namespace wintest

#endif  // BRIMTALLY_TESTS_WINDOWS_DRIVER_CASES_H
