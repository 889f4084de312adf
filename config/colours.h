// SPDX-License-Identifier: MIT
// Fill colours of the status lights, as 0x00BBGGRR numbers. The exit and save
// checks read a light's colour back, so these values are part of the state.
#pragma once

#include <cstdint>

namespace colours {
inline constexpr uint32_t Unsent = 33023;       // orange: edited, or not confirmed yet
inline constexpr uint32_t Sent = 65280;         // green: sent or confirmed; bit set; link good
inline constexpr uint32_t Clear = 12632256;     // light grey: bit clear, nothing known yet
inline constexpr uint32_t Fault = 255;          // red: communications errors
inline constexpr uint32_t DarkGrey = 0x404040;  // design colour of ComOK and the value boxes
}  // namespace colours
