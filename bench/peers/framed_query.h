// SPDX-License-Identifier: MIT
/* The framed query line and the reply check that the C and C++ clients of the
 * side-by-side runs share, so each does the same work per transaction. */
#ifndef BRIMTALLY_BENCH_FRAMED_QUERY_H
#define BRIMTALLY_BENCH_FRAMED_QUERY_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes "#cc ADDRESS LETTERS" LF CR, with its checksum, into out. */
void framed_query(const char* address, const char* letters, char* out, size_t size);

/* 1 when reply is "$", a checksum that makes the line's sum 0 modulo 256, and
 * the address; else 0. */
int reply_is_valid(const char* reply, const char* address);

#ifdef __cplusplus
}
#endif

#endif /* BRIMTALLY_BENCH_FRAMED_QUERY_H */
