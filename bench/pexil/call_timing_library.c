/* SPDX-License-Identifier: MIT */
/* Stands in for libbrimtally.so.1 beside a copy of PEXILConfig: forwards the
 * five exports the program calls to the real library and appends, for each
 * ex_xmit_msg and ex_read_line, "<name> <start_ns> <end_ns> <result>" on the
 * monotonic clock to the file named by BRIMTALLY_CALL_LOG. The real library's
 * path comes from BRIMTALLY_REAL_LIBRARY. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "brimtally.h"

static void* real(const char* name) {
  static void* library;
  if (library == NULL) {
    const char* path = getenv("BRIMTALLY_REAL_LIBRARY");
    library = path != NULL ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : NULL;
    if (library == NULL) {
      fprintf(stderr, "call timing: cannot load the real library: %s\n",
              path != NULL ? dlerror() : "BRIMTALLY_REAL_LIBRARY not set");
      abort();
    }
  }
  void* symbol = dlsym(library, name);
  if (symbol == NULL) abort();
  return symbol;
}

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

static void record(const char* name, long long start, long long end, int result) {
  static FILE* log;
  if (log == NULL) {
    const char* path = getenv("BRIMTALLY_CALL_LOG");
    log = fopen(path != NULL ? path : "/dev/null", "a");
    if (log == NULL) return;
  }
  fprintf(log, "%s %lld %lld %d\n", name, start, end, result);
  fflush(log);
}

BT_API int16_t BT_CALL btPortOpen(int16_t port, uint16_t baud) {
  return ((int16_t(*)(int16_t, uint16_t))real("btPortOpen"))(port, baud);
}

BT_API ModuleRecord BT_CALL btInitDLL(ModuleRecord* rec) {
  return ((ModuleRecord(*)(ModuleRecord*))real("btInitDLL"))(rec);
}

BT_API int32_t BT_CALL btPortClose(void) {
  return ((int32_t(*)(void))real("btPortClose"))();
}

BT_API int16_t BT_CALL ex_xmit_msg(ModuleRecord* rec) {
  int16_t (*call)(ModuleRecord*) = (int16_t(*)(ModuleRecord*))real("ex_xmit_msg");
  const long long start = now_ns();
  const int16_t result = call(rec);
  record("ex_xmit_msg", start, now_ns(), result);
  return result;
}

BT_API int16_t BT_CALL ex_read_line(ModuleRecord* rec) {
  int16_t (*call)(ModuleRecord*) = (int16_t(*)(ModuleRecord*))real("ex_read_line");
  const long long start = now_ns();
  const int16_t result = call(rec);
  record("ex_read_line", start, now_ns(), result);
  return result;
}
