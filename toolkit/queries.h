// SPDX-License-Identifier: MIT
// The queries the tool offers: one per query export, with the record fields
// each is named for and the length of its longest reply.
#ifndef BRIMTALLY_TOOLKIT_QUERIES_H
#define BRIMTALLY_TOOLKIT_QUERIES_H

#include <string>
#include <string_view>
#include <vector>

#include "brimtally.h"

namespace toolkit {

struct Query {
  std::string_view name;     // "all-io"
  std::string_view letters;  // "QE"
  int16_t(BT_CALL* call)(ModuleRecord*);
  std::vector<std::string_view> fields;  // record field names, in output order
  int field_chars;                       // the reply's fields at their longest, each with its blank
};

const std::vector<Query>& queries();
const Query* find_query(std::string_view name);
std::vector<std::string> query_names();

// Characters of the command line and of the longest reply together, for an
// address of address_length characters.
int exchange_chars(const Query& query, size_t address_length);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_QUERIES_H
