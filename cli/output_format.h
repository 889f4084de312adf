// SPDX-License-Identifier: MIT
// Writing records for people (an aligned table) and for programs (JSON, CSV).
#ifndef BRIMTALLY_CLI_OUTPUT_FORMAT_H
#define BRIMTALLY_CLI_OUTPUT_FORMAT_H

#include <ostream>
#include <string>

#include "exit_codes.h"
#include "record_fields.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

enum class Format { kTable, kJson, kCsv };

// One object as "name  value" lines; numbers also in hexadecimal.
void write_table(std::ostream& out, const Json& object);
// Rows of objects with the same members, as columns under a header line.
void write_columns(std::ostream& out, const Json& rows);
// A CSV header line from the member names, and a CSV row of the values.
std::string csv_header(const Json& object);
std::string csv_row(const Json& object);
// One object in the chosen format: a table, one line of JSON, or header and row.
void write_object(std::ostream& out, const Json& object, Format format);
// Flushes `out`; throws Failure(kExitFailure) when what was written did not
// get out (a full disk, /dev/full, a closed descriptor).
void flush_or_fail(std::ostream& out);

}  // namespace cli

#endif  // BRIMTALLY_CLI_OUTPUT_FORMAT_H
