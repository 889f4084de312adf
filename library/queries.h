// SPDX-License-Identifier: MIT
// The two queries that are built like the exported ones but not exported.
#ifndef BRIMTALLY_QUERIES_H
#define BRIMTALLY_QUERIES_H

#include <cstdint>

#include "brimtally.h"

namespace bt {

int16_t GetAnalogInputs(ModuleRecord* record);   // "QA"
int16_t GetAnalogOutputs(ModuleRecord* record);  // "QD"

}  // namespace bt

#endif  // BRIMTALLY_QUERIES_H
