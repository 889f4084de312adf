/* SPDX-License-Identifier: MIT */
/* Brimtally I/O modules: the client interface of libbrimtally.
 *
 * A client keeps one ModuleRecord per module, opens the port with btPortOpen and
 * then either calls the typed operations (framed, checksummed commands whose
 * replies are parsed into the record) or sends and reads raw lines with
 * ex_xmit_msg and ex_read_line. Plain C, usable from C and C++. */
#ifndef BRIMTALLY_H
#define BRIMTALLY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define BT_CALL __stdcall
#if defined(BRIMTALLY_BUILDING)
#define BT_API __declspec(dllexport)
#else
#define BT_API __declspec(dllimport)
#endif
#else
#define BT_CALL
#define BT_API __attribute__((visibility("default")))
#endif

/* The version text every record must carry for the typed operations. */
#define BT_DLL_VERSION "Brimtally DLL V00-19"

/* Widths of the text fields; every text the library writes ends with a NUL. */
#define BT_VERSION_LEN 40
#define BT_ADDRESS_LEN 20
#define BT_COMMAND_LEN 100
#define BT_REPLY_LEN 100
#define BT_KEY_LEN 20
#define BT_MESSAGE_LEN 100

/* The fixed 484-byte record shared by the library and its callers. Integers are
 * little-endian; the layout must not change. */
typedef struct ModuleRecord {
  char DllVersion[BT_VERSION_LEN];
  char ModuleAddress[BT_ADDRESS_LEN];
  char CommandText[BT_COMMAND_LEN];
  char ReplyText[BT_REPLY_LEN];
  char KeyText[BT_KEY_LEN];
  char MessageText[BT_MESSAGE_LEN];
  int16_t Status;
  int16_t Padding; /* aligns ConfigBits */
  int32_t ConfigBits;
  int16_t AnalogIn0;
  int16_t AnalogIn1;
  int16_t AnalogIn2;
  int16_t AnalogIn3;
  int16_t AnalogIn4;
  int16_t AnalogIn5;
  int16_t HighLimit[6];
  int16_t LowLimit[6];
  int16_t AnalogOut0;
  int16_t AnalogOut1;
  int32_t Frequency;
  int16_t PortDirection;
  int16_t DigitalIn;
  int16_t DigitalOut;
  int16_t Analog4V;
  int16_t Analog4Max;
  int16_t Analog4Min;
  int16_t Analog5V;
  int16_t Analog5Max;
  int16_t Analog5Min;
  int16_t SpareWord;
  int16_t SerialNumber[8];
  int32_t Totalizer;
  int32_t PwmPeriod;
  int32_t PwmPercent;
  int16_t Debounce;
  int16_t ReplyTimeout;
} ModuleRecord;

#ifdef __cplusplus
#define BT_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define BT_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
#define BT_CHECK_OFFSET(field, offset) \
  BT_STATIC_ASSERT(offsetof(ModuleRecord, field) == (offset), "ModuleRecord." #field " offset")

BT_CHECK_OFFSET(DllVersion, 0);
BT_CHECK_OFFSET(ModuleAddress, 40);
BT_CHECK_OFFSET(CommandText, 60);
BT_CHECK_OFFSET(ReplyText, 160);
BT_CHECK_OFFSET(KeyText, 260);
BT_CHECK_OFFSET(MessageText, 280);
BT_CHECK_OFFSET(Status, 380);
BT_CHECK_OFFSET(Padding, 382);
BT_CHECK_OFFSET(ConfigBits, 384);
BT_CHECK_OFFSET(AnalogIn0, 388);
BT_CHECK_OFFSET(AnalogIn1, 390);
BT_CHECK_OFFSET(AnalogIn2, 392);
BT_CHECK_OFFSET(AnalogIn3, 394);
BT_CHECK_OFFSET(AnalogIn4, 396);
BT_CHECK_OFFSET(AnalogIn5, 398);
BT_CHECK_OFFSET(HighLimit, 400);
BT_CHECK_OFFSET(LowLimit, 412);
BT_CHECK_OFFSET(AnalogOut0, 424);
BT_CHECK_OFFSET(AnalogOut1, 426);
BT_CHECK_OFFSET(Frequency, 428);
BT_CHECK_OFFSET(PortDirection, 432);
BT_CHECK_OFFSET(DigitalIn, 434);
BT_CHECK_OFFSET(DigitalOut, 436);
BT_CHECK_OFFSET(Analog4V, 438);
BT_CHECK_OFFSET(Analog4Max, 440);
BT_CHECK_OFFSET(Analog4Min, 442);
BT_CHECK_OFFSET(Analog5V, 444);
BT_CHECK_OFFSET(Analog5Max, 446);
BT_CHECK_OFFSET(Analog5Min, 448);
BT_CHECK_OFFSET(SpareWord, 450);
BT_CHECK_OFFSET(SerialNumber, 452);
BT_CHECK_OFFSET(Totalizer, 468);
BT_CHECK_OFFSET(PwmPeriod, 472);
BT_CHECK_OFFSET(PwmPercent, 476);
BT_CHECK_OFFSET(Debounce, 480);
BT_CHECK_OFFSET(ReplyTimeout, 482);
BT_STATIC_ASSERT(sizeof(ModuleRecord) == 484, "ModuleRecord is 484 bytes");

/* Status codes returned by the exports (and kept in Status, except 100-103). */
enum {
  BT_OK = 0,
  BT_NO_REPLY = 1,      /* the read failed or nothing arrived within ReplyTimeout */
  BT_NOT_A_REPLY = 2,   /* the reply did not begin with "$" */
  BT_BAD_CHECKSUM = 3,  /* the reply checksum was wrong */
  BT_WRONG_ADDRESS = 5, /* the reply came from another address */
  BT_MALFORMED = 6,     /* a reply field was malformed */
  BT_BAD_KEY = 7,       /* btKey: a character other than space, hex digit or line end */
  BT_WRONG_VERSION = 8, /* DllVersion is not BT_DLL_VERSION, or the record pointer is null */
  BT_NO_PORT = 9,       /* no port is open */
  BT_TOO_LONG = 10,     /* btPrint: the command line would not fit in CommandText */
  BT_BAD_PORT = 100,    /* btPortOpen: port is not 1 or 2 */
  BT_BAD_BAUD = 101,    /* btPortOpen: not an accepted baud rate */
  BT_OPEN_FAILED = 102, /* btPortOpen: the driver could not open or set up the port */
  BT_READ_ERROR = 103   /* ex_read_line: the driver reported an error during the read */
};

/* Lifecycle. */
BT_API ModuleRecord BT_CALL btInitDLL(ModuleRecord* record);
BT_API int16_t BT_CALL btSeedDLL(ModuleRecord* record);
BT_API int16_t BT_CALL btPortOpen(int16_t port, uint16_t baud);
BT_API int32_t BT_CALL btPortClose(void);
/* Opens the port a name gives (a device path, rfc2217://HOST:PORT or
   tcp://HOST:PORT) in COM1's place: BT_OK, BT_BAD_PORT for a null, empty or
   over-long name (more than 4095 characters), BT_BAD_BAUD, BT_OPEN_FAILED. */
BT_API int16_t BT_CALL btPortOpenName(const char* name, uint16_t baud);
/* The device name that stands behind port 1 or 2 into buffer, NUL-ended:
   BT_OK, BT_BAD_PORT, or BT_TOO_LONG (buffer left empty) when it does not fit. */
BT_API int16_t BT_CALL btPortDevice(int16_t port, char* buffer, uint16_t size);
/* The driver's code for the current port's last call (0, or the negative
   code of its failure, such as -43 "Echo mismatch"; -6 when no port is
   open), with the code's text into buffer. */
BT_API int32_t BT_CALL btPortStatus(char* buffer, uint16_t size);
/* Driver codes btPortStatus gives for the port options' faults. */
enum {
  BT_DRIVER_ECHO_MISMATCH = -43, /* the echo came back changed: a collision or noise */
  BT_DRIVER_NO_ECHO = -44,       /* the line returned nothing, or a reply, for the echo */
  BT_DRIVER_MODE_REFUSED = -45   /* the device has no RS-485 mode (or RTS toggling) */
};
/* Whether a port name's options (after "?") hold: BT_OK, or BT_BAD_PORT with
   the reason, naming the option, into buffer. Opens nothing. */
BT_API int16_t BT_CALL btPortCheckName(const char* name, char* buffer, uint16_t size);

/* Raw lines. */
BT_API int16_t BT_CALL ex_xmit_msg(ModuleRecord* record);
BT_API int16_t BT_CALL ex_read_line(ModuleRecord* record);

/* Settings: each sends one command line and reads no reply. */
BT_API int16_t BT_CALL btSetAnalogOut(ModuleRecord* record, int16_t value0, int16_t value1);
BT_API int16_t BT_CALL btSetAnalogLimits(ModuleRecord* record, int16_t channel, int16_t low,
                                         int16_t high);
BT_API int16_t BT_CALL btSetDigitalOut(ModuleRecord* record, int16_t bits);
BT_API int16_t BT_CALL btSetDirection(ModuleRecord* record, int16_t bits);
BT_API int16_t BT_CALL btSetPWM(ModuleRecord* record, int32_t period, int32_t percent);
BT_API int16_t BT_CALL btSetDebounce(ModuleRecord* record, int16_t value);
BT_API int16_t BT_CALL btResetMinMax(ModuleRecord* record);
BT_API int16_t BT_CALL btResetTotalizer(ModuleRecord* record);
BT_API int16_t BT_CALL btPrint(ModuleRecord* record);

/* Queries: each sends one command line, reads one reply and stores its fields. */
BT_API int16_t BT_CALL btGetAllIO(ModuleRecord* record);
BT_API int16_t BT_CALL btGetMinMax(ModuleRecord* record);
BT_API int16_t BT_CALL btGetDigitalIn(ModuleRecord* record);
BT_API int16_t BT_CALL btGetDigitalOut(ModuleRecord* record);
BT_API int16_t BT_CALL btGetDigitalDirection(ModuleRecord* record);
BT_API int16_t BT_CALL btGetConfiguration(ModuleRecord* record);
BT_API int16_t BT_CALL btGetFrequency(ModuleRecord* record);
BT_API int16_t BT_CALL btGetTotalizer(ModuleRecord* record);
BT_API int16_t BT_CALL btGetSerialNumber(ModuleRecord* record);
BT_API int16_t BT_CALL btKey(ModuleRecord* record);

#ifdef __cplusplus
}
#endif

#endif /* BRIMTALLY_H */
