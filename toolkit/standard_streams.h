// SPDX-License-Identifier: MIT
// Descriptors 0-2 that a program was started without. The next file opened
// would take the lowest free number, and a serial port opened on descriptor 1
// receives everything the program prints: so every program fills the gaps
// with /dev/null before it opens anything else. It links no other code, so
// the simulator and PEXILConfig use it too.
#ifndef BRIMTALLY_TOOLKIT_STANDARD_STREAMS_H
#define BRIMTALLY_TOOLKIT_STANDARD_STREAMS_H

namespace standard_streams {

// Bit n set: descriptor n was closed at the call.
enum Closed : unsigned { kInput = 1u, kOutput = 2u, kError = 4u };

// Opens /dev/null on each of descriptors 0-2 that is closed; which were.
unsigned guard();

}  // namespace standard_streams

#endif  // BRIMTALLY_TOOLKIT_STANDARD_STREAMS_H
