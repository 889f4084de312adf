// SPDX-License-Identifier: MIT
// The library's status codes in words, for the tool's error lines and the
// gateway's log and responses alike.
#ifndef BRIMTALLY_TOOLKIT_STATUS_WORDS_H
#define BRIMTALLY_TOOLKIT_STATUS_WORDS_H

#include <cstdint>
#include <string>

namespace toolkit {

// What the status means: "no reply", "a wrong checksum in the reply", ...
std::string status_words(int16_t status);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_STATUS_WORDS_H
