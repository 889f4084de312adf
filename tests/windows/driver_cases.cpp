// COM1 leads to the simulated module, COM2 to something that refuses to open
// (a directory: access denied), COM100 to nothing at all.
#include "driver_cases.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "serial/serial_port.h"
#include "serial/win32_device.h"
#include "sim_session.h"

namespace wintest {

namespace {

constexpr int kSimPort = 0;
constexpr int kRefusingPort = 1;
constexpr int kMissingPort = 99;

std::vector<std::string> printed;
void print_into(const char* line) {
  printed.emplace_back(line);
}

std::vector<std::string> dump_of(bt::SerialPort* port, int* result = nullptr) {
  printed.clear();
  const int r = port->ops->dump(*port, print_into);
  if (result != nullptr) *result = r;
  return printed;
}

bool on_live_list(const bt::SerialPort* port) {
  for (const bt::SerialPort* p = bt::port_live_head(); p != nullptr; p = p->next) {
    if (p == port) return true;
  }
  return false;
}

DCB applied_settings(bt::SerialPort* port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(port->device->handle, &dcb);
  return dcb;
}

// Reads and drops whatever the module said before (its power-up banner, the
// prompts of earlier cases), until the line stays quiet.
void drain(bt::SerialPort* port) {
  char line[100];
  while (bt::port_read_line(port, line, sizeof line, 13, 100) != bt::kBufferEmpty ||
         port->count > 0) {
  }
}

bt::SerialPort* open_sim_port() {
  bt::SerialPort* port = bt::port_open(kSimPort, 9600, 'N', 8, 1);
  if (port->status == 0) drain(port);
  return port;
}

void ports_that_cannot_open() {
  bt::SerialPort* missing = bt::port_open(kMissingPort, 9600, 'N', 8, 1);
  CHECK_EQ(missing->status, bt::kNoDevice);
  CHECK_EQ(std::string(bt::port_error_text(missing->status)), std::string("No 8250 present"));
  CHECK_EQ(missing->driver_kind, bt::kDriverKindWin32);
  CHECK_EQ(missing->port_index, kMissingPort);
  CHECK(missing->device == nullptr);
  CHECK(on_live_list(missing));
  // A port that never opened answers every operation "not supported".
  int result = 0;
  const std::vector<std::string> lines = dump_of(missing, &result);
  CHECK_EQ(result, bt::kNotSupported);
  CHECK_EQ(lines.size(), 2u);
  if (lines.size() == 2) {
    CHECK_EQ(lines[0], std::string("Port dump not supported for this driver"));
    CHECK_EQ(lines[1], std::string(""));
  }
  CHECK_EQ(missing->ops->write_block(*missing, "x", 1), bt::kNotSupported);
  CHECK_EQ(missing->ops->close(*missing), 0);
  CHECK(!on_live_list(missing));

  bt::SerialPort* refused = bt::port_open(kRefusingPort, 9600, 'N', 8, 1);
  CHECK_EQ(refused->status, bt::kInUse);
  CHECK_EQ(std::string(bt::port_error_text(refused->status)), std::string("In use"));
  CHECK(refused->device == nullptr);
  CHECK_EQ(refused->ops->close(*refused), 0);
}

void open_port_settings_and_dump() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  CHECK_EQ(port->driver_kind, bt::kDriverKindWin32);
  if (port->status != 0) return;
  const DCB dcb = applied_settings(port);
  CHECK_EQ(dcb.BaudRate, 9600u);
  CHECK_EQ(dcb.ByteSize, 8);
  CHECK_EQ(dcb.Parity, NOPARITY);
  CHECK_EQ(dcb.StopBits, ONESTOPBIT);

  int result = -1;
  const std::vector<std::string> lines = dump_of(port, &result);
  CHECK_EQ(result, 0);
  const std::vector<std::string> expected = {
      "",
      "Port type:  MS Windows  DCB BaudRate: 9600    ByteSize: 8  Parity: 0",
      "StopBits: 0 fBinary: 1  fRtsControl: 1",
      "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0",
      "Null: 0  DtrControl: 1  RtsControl: 1  XonChar: 11  XoffChar: 13",
      "XonLim: 262   XoffLim: 262   EofChr: 00  EvtChr: 00",
      "RX count/free:     0/1050   TX count/free:     0/1050   BREAK/FE/OE/PE: 0000",
      "CE_BREAK:0  CE_FRAME:0  CE_MODE:0 CE_OVERRUN:0",
      // A pseudo-terminal has no modem lines.
      "CE_RXOVER:0 CE_RXPARITY:0 CE_TXFULL:0  CTS/DSR/RI/CD: 0000",
      "8250:0000",
  };
  CHECK_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size() && i < expected.size(); ++i) {
    CHECK_EQ(lines[i], expected[i]);
  }
  CHECK_EQ(port->ops->close(*port), 0);
  CHECK(!on_live_list(port));
}

void settings_are_checked_then_applied_whole() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  bt::PortOperations& ops = *port->ops;

  // A pseudo-terminal keeps 8 data bits and no parity whatever it is told,
  // so those show in the record only; the rate reaches the device.
  CHECK_EQ(ops.set_params(*port, 9600, 'e', 8, 1), 0);
  std::vector<std::string> lines = dump_of(port);
  CHECK(lines.size() > 1 && lines[1].find("ByteSize: 8  Parity: 2") != std::string::npos);
  CHECK_EQ(ops.set_params(*port, 115200, 'N', 8, 2), 0);
  CHECK_EQ(applied_settings(port).BaudRate, 115200u);
  CHECK_EQ(applied_settings(port).StopBits, TWOSTOPBITS);

  CHECK_EQ(ops.set_params(*port, 115201, 'N', 8, 1), bt::kIllegalBaud);
  CHECK_EQ(port->status, bt::kIllegalBaud);
  ops.clear_status(*port);
  CHECK_EQ(ops.set_params(*port, 9600, 'N', 8, 3), bt::kIllegalStopBits);
  CHECK_EQ(port->status, bt::kIllegalStopBits);
  ops.clear_status(*port);

  // A rejected call keeps the new rate in memory only; the next setting that
  // applies the record carries it to the device.
  CHECK_EQ(ops.set_params(*port, 4800, 'x', 8, 1), bt::kIllegalParity);
  CHECK_EQ(port->status, bt::kIllegalParity);
  CHECK_EQ(applied_settings(port).BaudRate, 115200u);
  lines = dump_of(port);
  CHECK(lines.size() > 1 && lines[1].find("BaudRate: 4800 ") != std::string::npos);
  ops.clear_status(*port);
  CHECK_EQ(ops.set_xonxoff(*port, 0), 0);
  CHECK_EQ(applied_settings(port).BaudRate, 4800u);

  CHECK_EQ(ops.set_rtscts(*port, 1), 0);
  CHECK_EQ(applied_settings(port).fOutxCtsFlow, 1u);
  CHECK_EQ(ops.set_rtscts(*port, 0), 0);
  CHECK_EQ(applied_settings(port).fOutxCtsFlow, 0u);
  CHECK_EQ(port->status, 0);
  CHECK_EQ(ops.close(*port), 0);
}

void lines_through_the_simulator() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  bt::PortOperations& ops = *port->ops;

  // One byte at a time: each write must leave intact while the next starts.
  const SimLogWatch first;
  CHECK_EQ(ops.write_char(*port, 'Q'), 0);
  CHECK_EQ(ops.write_char(*port, 'C'), 0);
  CHECK_EQ(bt::port_write_string(port, "", 13), 0);
  CHECK(first.received(log_escaped("QC\r")));

  // The reply waits in the receive queue until it is read.
  const DWORD start = GetTickCount();
  while (ops.rx_count(*port) < 6 && GetTickCount() - start < 10000) Sleep(5);
  const int waiting = ops.rx_count(*port);
  CHECK(waiting >= 6);
  CHECK_EQ(ops.rx_free(*port), 1050 - waiting);

  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), 0);
  CHECK_EQ(std::string(line), std::string("C:02CF"));
  CHECK_EQ(port->count, 6);

  // A block read takes what is there and no more.
  char block[64] = {};
  drain(port);
  const SimLogWatch second;
  CHECK_EQ(bt::port_write_string(port, "QC", 13), 0);
  CHECK(second.received(log_escaped("QC\r")));
  while (ops.rx_count(*port) < 8 && GetTickCount() - start < 20000) Sleep(5);
  CHECK_EQ(ops.read_block(*port, block, sizeof block), 0);
  CHECK(port->count >= 8);
  CHECK(std::string(block, static_cast<size_t>(port->count)).find("C:02CF\r") != std::string::npos);
  drain(port);
  CHECK_EQ(ops.read_char(*port), bt::kBufferEmpty);
  CHECK_EQ(port->status, 0);  // an empty read never fails the port
  CHECK_EQ(ops.close(*port), 0);
}

void write_beyond_the_transmit_room() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  // A pseudo-terminal reports nothing waiting to go out, so the room is the
  // whole queue: what fits is queued, the rest refused.
  const std::string block(2000, 'x');
  CHECK_EQ(port->ops->tx_free(*port), 1050);
  CHECK_EQ(port->ops->write_block(*port, block.data(), static_cast<int>(block.size())),
           bt::kBufferFull);
  CHECK_EQ(port->count, 1050);
  CHECK_EQ(port->status, bt::kBufferFull);
  port->ops->clear_status(*port);
  CHECK_EQ(port->ops->clear_tx(*port), 0);
  CHECK_EQ(bt::port_write_string(port, "", 13), 0);
  drain(port);
  CHECK_EQ(port->ops->close(*port), 0);
}

void an_overlong_line_loses_nothing() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  CHECK_EQ(sim_control("fault flood 120").rfind("ok", 0), 0u);
  std::string expected;
  while (expected.size() < 120) expected += static_cast<char>('0' + expected.size() % 10);

  // The buffer takes 99 characters; the rest stays queued for the next read.
  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), bt::kUserBufferOverflow);
  CHECK_EQ(port->count, 99);
  std::string received(line);
  port->ops->clear_status(*port);
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), 0);
  received += line;
  CHECK_EQ(received, expected);
  CHECK_EQ(port->ops->close(*port), 0);
}

// Lines no module answers (address ZZ), each telling its number.
std::string numbered_line(int n) {
  char line[16];
  std::snprintf(line, sizeof line, "#00 ZZ L%04d\r", n);
  return line;
}

bool resumed = false;

DWORD WINAPI resume_sim_later(void*) {
  Sleep(500);
  resumed = sim_control("!cont") == "ok";
  return 0;
}

void a_write_held_by_the_system_keeps_its_bytes() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  // A reply waits to be read while the write below is in flight.
  CHECK_EQ(bt::port_write_string(port, "QC", 13), 0);
  const DWORD start = GetTickCount();
  while (port->ops->rx_count(*port) < 7 && GetTickCount() - start < 10000) Sleep(5);
  const SimLogWatch watch;
  // With the far end not reading, the system soon holds a write in flight;
  // the caller's buffer is refilled at once for the next block.
  CHECK_EQ(sim_control("!stop"), std::string("ok"));
  int lines = 0;
  std::string block;
  while (!port->device->write_pending && lines < 20000) {
    block.clear();
    while (block.size() + 13 <= 1000) block += numbered_line(lines++);
    CHECK_EQ(port->ops->write_block(*port, block.data(), static_cast<int>(block.size())), 0);
    block.assign(block.size(), '?');
  }
  CHECK(port->device->write_pending);
  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), 0);
  CHECK_EQ(std::string(line), std::string("C:02CF"));
  CHECK(port->device->write_pending);
  // The next write waits for the one in flight (until the far end reads
  // again), then goes out after it.
  HANDLE resumer = CreateThread(nullptr, 0, resume_sim_later, nullptr, 0, nullptr);
  CHECK(resumer != nullptr);
  block = numbered_line(lines++);
  CHECK_EQ(port->ops->write_block(*port, block.data(), static_cast<int>(block.size())), 0);
  if (resumer != nullptr) {
    CHECK_EQ(WaitForSingleObject(resumer, 30000), WAIT_OBJECT_0);
    CloseHandle(resumer);
  }
  CHECK(resumed);

  const std::vector<std::string> received = watch.lines_received(static_cast<size_t>(lines));
  CHECK_EQ(received.size(), static_cast<size_t>(lines));
  int intact = 0;
  for (size_t i = 0; i < received.size(); ++i) {
    intact += received[i] == log_escaped(numbered_line(static_cast<int>(i))) ? 1 : 0;
  }
  CHECK_EQ(intact, lines);
  CHECK_EQ(port->ops->close(*port), 0);
}

void closing_with_a_write_in_flight() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  CHECK_EQ(sim_control("!stop"), std::string("ok"));
  const std::string block(1000, ' ');
  for (int i = 0; i < 100 && !port->device->write_pending; ++i) {
    port->ops->write_block(*port, block.data(), static_cast<int>(block.size()));
  }
  CHECK(port->device->write_pending);
  // The write is abandoned, not waited for: the far end may never read.
  CHECK_EQ(port->ops->close(*port), 0);
  CHECK(!on_live_list(port));
  CHECK_EQ(sim_control("!cont"), std::string("ok"));

  // End whatever part of the blanks got through, so later cases start clean.
  port = open_sim_port();
  CHECK_EQ(bt::port_write_string(port, "", 13), 0);
  drain(port);
  CHECK_EQ(port->ops->close(*port), 0);
}

int messages_seen = 0;

LRESULT CALLBACK count_messages(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) {
    ++messages_seen;
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

void waits_keep_the_windows_alive() {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = count_messages;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "BrimtallyWaitProbe";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "BrimtallyWaitProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  CHECK(window != nullptr);
  if (window == nullptr) return;

  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  messages_seen = 0;
  PostMessageA(window, WM_APP, 0, 0);
  PostMessageA(window, WM_APP, 0, 0);
  const DWORD start = GetTickCount();
  CHECK_EQ(bt::port_delay(port, 50), 0);
  CHECK(GetTickCount() - start >= 50);
  CHECK_EQ(messages_seen, 2);

  // A read with nothing arriving dispatches messages while it waits too.
  PostMessageA(window, WM_APP, 0, 0);
  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 30), bt::kBufferEmpty);
  CHECK_EQ(messages_seen, 3);
  CHECK_EQ(port->ops->send_break(*port, 10), 0);
  CHECK_EQ(port->ops->close(*port), 0);
  DestroyWindow(window);
}

void a_device_that_vanishes() {
  bt::SerialPort* port = open_sim_port();
  CHECK_EQ(port->status, 0);
  if (port->status != 0) return;
  CHECK_EQ(sim_control("fault vanish").rfind("ok", 0), 0u);
  // The far end is gone: the read fails instead of waiting out its time-out
  // as if the line were merely quiet.
  char line[100];
  const DWORD start = GetTickCount();
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 20000), bt::kGeneralError);
  CHECK(GetTickCount() - start < 15000);
  CHECK_EQ(port->status, bt::kGeneralError);
  port->ops->close(*port);
  CHECK(!on_live_list(port));
}

}  // namespace

void run_driver_cases() {
  run_case("driver: ports that cannot open", ports_that_cannot_open);
  run_case("driver: open port settings and dump", open_port_settings_and_dump);
  run_case("driver: settings checked, then applied whole", settings_are_checked_then_applied_whole);
  run_case("driver: lines through the simulator", lines_through_the_simulator);
  run_case("driver: write beyond the transmit room", write_beyond_the_transmit_room);
  run_case("driver: an over-long line loses nothing", an_overlong_line_loses_nothing);
  run_case("driver: a write held by the system keeps its bytes",
           a_write_held_by_the_system_keeps_its_bytes);
  run_case("driver: closing with a write in flight", closing_with_a_write_in_flight);
  run_case("driver: waits keep the windows alive", waits_keep_the_windows_alive);
}

void run_vanishing_device_case() {
  run_case("driver: a device that vanishes", a_device_that_vanishes);
}

}  // namespace wintest
