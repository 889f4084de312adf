// SPDX-License-Identifier: MIT
// The tool's numeric options, read from their text so that a refusal says
// what to give in the tool's own words ("--count 0: give a whole number of
// samples, 1 or more") rather than the parser's.
#ifndef BRIMTALLY_CLI_OPTION_VALUES_H
#define BRIMTALLY_CLI_OPTION_VALUES_H

#include <string>

namespace cli {

// Each throws Failure(kExitUsage) naming the option and the value.
unsigned baud_option(const std::string& text);
int timeout_option(const std::string& text);      // milliseconds, 1 to 32767
long count_option(const std::string& text);       // 1 or more
int lines_option(const std::string& text);        // 0 or more
double interval_option(const std::string& text);  // seconds, 0.001 to 86400
// A normalized --address, or a refusal naming what is wrong with it.
std::string address_option(const std::string& text);

}  // namespace cli

#endif  // BRIMTALLY_CLI_OPTION_VALUES_H
