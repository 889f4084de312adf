/* SPDX-License-Identifier: MIT */
/* A peer of the side-by-side runs: the exchange an integrator writes in C on
 * libserialport. Same arguments and output as brimtally_client, without the
 * library path:
 *
 *   serialport_client DEVICE txn|raw COUNT BAUD REPLY_TIMEOUT_MS ADDRESS
 */
#include <libserialport.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "framed_query.h"

static long long now_ns(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

/* Voluntary context switches: one per wake-up from a blocking wait. */
static long wake_ups(void) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw;
}

static void sleep_ns(long ns) {
  const struct timespec t = {0, ns};
  clock_nanosleep(CLOCK_MONOTONIC, 0, &t, NULL);
}

/* One line up to CR (not stored) within timeout_ms of the call's start, read
 * with sp_blocking_read. Returns its length, or -1 on time-out or error. */
static int read_line(struct sp_port* port, char* line, size_t size, int timeout_ms) {
  const long long deadline = now_ns(CLOCK_MONOTONIC) + timeout_ms * 1000000LL;
  size_t stored = 0;
  for (;;) {
    const long long left_ns = deadline - now_ns(CLOCK_MONOTONIC);
    if (left_ns <= 0) break;
    /* A time-out of 0 would wait without limit: round up to whole ms. */
    const unsigned left_ms = (unsigned)((left_ns + 999999) / 1000000);
    char c;
    const enum sp_return got = sp_blocking_read(port, &c, 1, left_ms);
    if (got < 0) return -1;
    if (got == 0) continue;
    if (c == '\r') {
      line[stored] = '\0';
      return (int)stored;
    }
    if (stored + 1 < size) line[stored++] = c;
  }
  line[stored] = '\0';
  return -1;
}

static int write_all(struct sp_port* port, const char* text) {
  const size_t n = strlen(text);
  return sp_blocking_write(port, text, n, 1000) == (int)n ? 0 : -1;
}

int main(int argc, char** argv) {
  if (argc != 7) {
    fprintf(stderr, "usage: %s DEVICE txn|raw COUNT BAUD REPLY_TIMEOUT_MS ADDRESS\n", argv[0]);
    return 2;
  }
  const char* mode = argv[2];
  const int count = atoi(argv[3]);
  const int baud = atoi(argv[4]);
  const int reply_timeout = atoi(argv[5]);
  const char* address = argv[6];
  const int raw = strcmp(mode, "raw") == 0;
  if (!raw && strcmp(mode, "txn") != 0) return 2;

  struct sp_port* port = NULL;
  if (sp_get_port_by_name(argv[1], &port) != SP_OK || sp_open(port, SP_MODE_READ_WRITE) != SP_OK) {
    fprintf(stderr, "sp_open %s: %s\n", argv[1], sp_last_error_message());
    return 1;
  }
  if (sp_set_baudrate(port, baud) != SP_OK || sp_set_bits(port, 8) != SP_OK ||
      sp_set_parity(port, SP_PARITY_NONE) != SP_OK || sp_set_stopbits(port, 1) != SP_OK ||
      sp_set_flowcontrol(port, SP_FLOWCONTROL_NONE) != SP_OK) {
    fprintf(stderr, "sp_set: %s\n", sp_last_error_message());
    return 1;
  }
  char query[100];
  char line[100];
  const long wakes0 = wake_ups();
  const long long cpu0 = now_ns(CLOCK_PROCESS_CPUTIME_ID);
  const long long wall0 = now_ns(CLOCK_MONOTONIC);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    long long start = now_ns(CLOCK_MONOTONIC);
    if (raw) {
      sleep_ns(1000000L + (i * 373000L) % 3000000L);
      start = now_ns(CLOCK_MONOTONIC);
    } else {
      sleep_ns(50000000L);
      for (int k = 0; k < 3; ++k) read_line(port, line, sizeof line, 10);
    }
    framed_query(address, "QE", query, sizeof query);
    const int written = write_all(port, query);
    const int n = written == 0 ? read_line(port, line, sizeof line, reply_timeout) : -1;
    const long long returned = now_ns(CLOCK_MONOTONIC);
    const int ok = n > 0 && reply_is_valid(line, address);
    printf("%s %lld %lld %lld %d\n", mode, start, returned, now_ns(CLOCK_MONOTONIC),
           ok ? (raw ? n : 0) : -1);
    failures += !ok;
  }
  const double wall = (double)(now_ns(CLOCK_MONOTONIC) - wall0) * 1e-9;
  const double cpu = (double)(now_ns(CLOCK_PROCESS_CPUTIME_ID) - cpu0) * 1e-9;
  printf("cpu %.6f %.6f %ld\n", cpu, wall, wake_ups() - wakes0);
  sp_close(port);
  sp_free_port(port);
  return failures == 0 ? 0 : 3;
}
