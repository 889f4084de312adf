// SPDX-License-Identifier: MIT
// `get QUERY`: one query, its fields printed.
#include <iostream>

#include "commands.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

int reply_timeout(const CommonOptions& options, int chars) {
  if (options.timeout_ms > 0) return options.timeout_ms;
  return wire_ms(chars, options.baud) + kTurnaroundMs;
}

int run_get(const CommonOptions& options, const Query& query, Format format) {
  Session session(options);
  session.address(options.address,
                  reply_timeout(options, exchange_chars(query, options.address.size())));
  session.check(query.call(&session.record()), std::string(query.name));
  write_object(std::cout, record_fields(session.record(), query.fields), format);
  return kExitOk;
}

}  // namespace cli
