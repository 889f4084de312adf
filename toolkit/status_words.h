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

// The fault the driver found on a line opened with the echo option, after a
// query that got no reply: "Echo mismatch: ..." with what to check, or "".
// Whether it is a collision (else the line does not echo) goes in collision.
std::string echo_fault(bool* collision = nullptr);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_STATUS_WORDS_H
