// SPDX-License-Identifier: MIT
#include "option_values.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "exit_codes.h"
#include "module_address.h"
#include "network_name.h"
#include "session.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

namespace {

[[noreturn]] void refuse(const char* option, const std::string& text, const std::string& advice) {
  throw Failure(kExitUsage, std::string(option) + " " + shown_value(text) + ": " + advice);
}

// Decimal digits only (no sign, blank or exponent), within [low, high].
long whole(const char* option, const std::string& text, long low, long high,
           const std::string& advice) {
  long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || text[0] == '-' || error != std::errc() || stop != end || value < low ||
      value > high) {
    refuse(option, text, advice);
  }
  return value;
}

}  // namespace

unsigned baud_option(const std::string& text) {
  const std::string advice = "give one of 300, 1200, 2400, 9600, 19200 or 57600";
  const long baud = whole("--baud", text, 1, LONG_MAX, advice);
  if (std::find(std::begin(kBaudRates), std::end(kBaudRates), baud) == std::end(kBaudRates)) {
    refuse("--baud", text, advice);
  }
  return static_cast<unsigned>(baud);
}

int timeout_option(const std::string& text) {
  return static_cast<int>(whole("--timeout", text, 1, 32767,
                                "give the reply time-out in whole milliseconds, 1 to 32767"));
}

long count_option(const std::string& text) {
  return whole("--count", text, 1, LONG_MAX, "give a whole number of samples, 1 or more");
}

int lines_option(const std::string& text) {
  return static_cast<int>(
      whole("--lines", text, 0, INT_MAX, "give a whole number of reply lines, 0 or more"));
}

double interval_option(const std::string& text) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  // from_chars takes "nan" and "inf" too: neither is a time.
  if (error != std::errc() || stop != end || !std::isfinite(seconds) || seconds < 0.001 ||
      seconds > 86400) {
    refuse("--interval", text, "give the seconds between samples, 0.001 to 86400 (e.g. 0.5)");
  }
  return seconds;
}

std::string address_option(const std::string& text) {
  const std::string fault = address_fault(text);
  if (!fault.empty()) {
    refuse("--address", text,
           fault + "; give the module's address, up to 19 characters (e.g. 01 or 1)");
  }
  return normalize_address(text);
}

}  // namespace cli
