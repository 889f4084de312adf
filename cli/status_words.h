// The library's status codes in words, for the tool's error lines and the
// gateway's log and responses alike.
#ifndef BRIMTALLY_CLI_STATUS_WORDS_H
#define BRIMTALLY_CLI_STATUS_WORDS_H

#include <cstdint>
#include <string>

namespace cli {

// What the status means: "no reply", "a wrong checksum in the reply", ...
std::string status_words(int16_t status);

}  // namespace cli

#endif  // BRIMTALLY_CLI_STATUS_WORDS_H
