// SPDX-License-Identifier: MIT
// The Win32 driver kind itself. COM1 leads to the simulated module, COM2 to
// something that refuses to open (a directory: access denied), COM100 to
// nothing at all.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "serial/serial_port.h"
#include "serial/win32/win32_device.h"
#include "sim_session.h"

namespace wintest {

namespace {

std::string dumped;

std::string dump_of(bt::SerialPort* port) {
  dumped.clear();
  port->ops->dump(*port, [](const char* line) { dumped += std::string(line) + "\n"; });
  return dumped;
}

bool on_live_list(const bt::SerialPort* port) {
  for (const bt::SerialPort* p = bt::port_live_head(); p != nullptr; p = p->next) {
    if (p == port) return true;
  }
  return false;
}

DCB applied(bt::SerialPort* port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(bt::win32_device_of(*port).handle, &dcb);
  return dcb;
}

// Reads and drops whatever the module said before, until the line is quiet.
void drain(bt::SerialPort* port) {
  char line[100];
  while (bt::port_read_line(port, line, sizeof line, 13, 100) != bt::kBufferEmpty ||
         port->count > 0) {
  }
}

bt::SerialPort* open_sim_port() {
  bt::SerialPort* port = bt::port_open(0, 9600, 'N', 8, 1);
  CHECK_EQ(port->status, 0);
  if (port->status == 0) drain(port);
  return port;
}

void wait_for_input(bt::SerialPort* port, int bytes) {
  const DWORD start = GetTickCount();
  while (port->ops->rx_count(*port) < bytes && GetTickCount() - start < 10000) Sleep(5);
}

void ports_that_cannot_open() {
  for (const auto& [index, status] : {std::pair{99, bt::kNoDevice}, {1, bt::kInUse}}) {
    bt::SerialPort* port = bt::port_open(index, 9600, 'N', 8, 1);
    CHECK_EQ(port->status, status);
    CHECK(port->device == nullptr && on_live_list(port));
    CHECK_EQ(port->ops->close(*port), 0);
    CHECK(!on_live_list(port));
  }
}

void settings_dump_and_apply() {
  bt::SerialPort* port = open_sim_port();
  if (port->status != 0) return;
  bt::PortOperations& ops = *port->ops;
  // The record the device reported, with the settings every port starts from.
  const std::string dump = dump_of(port);
  for (const char* part : {"MS Windows  DCB BaudRate: 9600    ByteSize: 8  Parity: 0",
                           "fRtsControl: 1", "XonLim: 262   XoffLim: 262", "0/1050"}) {
    check(dump.find(part) != std::string::npos, __FILE__, __LINE__, dump);
  }
  CHECK_EQ(ops.set_params(*port, 115200, 'N', 8, 2), 0);
  CHECK_EQ(applied(port).BaudRate, 115200u);
  CHECK_EQ(applied(port).StopBits, TWOSTOPBITS);
  CHECK_EQ(ops.set_params(*port, 115201, 'N', 8, 1), bt::kIllegalBaud);
  // A rejected call keeps the new rate in memory only; the next setting that
  // applies the record carries it to the device.
  CHECK_EQ(ops.set_params(*port, 4800, 'x', 8, 1), bt::kIllegalParity);
  CHECK_EQ(applied(port).BaudRate, 115200u);
  CHECK_EQ(ops.set_rtscts(*port, 1), 0);
  CHECK_EQ(applied(port).BaudRate, 4800u);
  CHECK_EQ(applied(port).fOutxCtsFlow, 1u);
  CHECK_EQ(ops.close(*port), 0);
  CHECK(!on_live_list(port));
}

void lines_both_ways() {
  bt::SerialPort* port = open_sim_port();
  if (port->status != 0) return;
  bt::PortOperations& ops = *port->ops;
  // One byte at a time: each must leave intact while the next is queued.
  const SimLogWatch watch;
  CHECK_EQ(ops.write_char(*port, 'Q'), 0);
  CHECK_EQ(ops.write_char(*port, 'C'), 0);
  CHECK_EQ(bt::port_write_string(port, "", 13), 0);
  CHECK(watch.lines_received(1) == std::vector<std::string>{log_escaped("QC\r")});
  wait_for_input(port, 7);
  CHECK_EQ(ops.rx_free(*port), 1050 - ops.rx_count(*port));
  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), 0);
  CHECK_EQ(std::string(line), std::string("C:02CF"));

  // A block read takes what is there and no more.
  drain(port);
  CHECK_EQ(bt::port_write_string(port, "QC", 13), 0);
  wait_for_input(port, 8);
  char block[64] = {};
  CHECK_EQ(ops.read_block(*port, block, sizeof block), 0);
  CHECK(std::string(block, static_cast<size_t>(port->count)).find("C:02CF\r") != std::string::npos);
  drain(port);
  CHECK_EQ(ops.read_char(*port), bt::kBufferEmpty);
  CHECK_EQ(port->status, 0);  // an empty read never fails the port

  // An over-long line: the buffer takes 99 characters, the rest stays queued
  // for the next read.
  CHECK_EQ(sim_control("fault flood 120").rfind("ok", 0), 0u);
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), bt::kUserBufferOverflow);
  std::string received(line);
  ops.clear_status(*port);
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), 0);
  received += line;
  std::string expected;
  while (expected.size() < 120) expected += static_cast<char>('0' + expected.size() % 10);
  CHECK_EQ(received, expected);

  CHECK_EQ(ops.close(*port), 0);
}

// Lines no module answers (address ZZ), each telling its number.
std::string numbered_line(int n) {
  char line[16];
  std::snprintf(line, sizeof line, "#00 ZZ L%04d\r", n);
  return line;
}

HANDLE writes_done;
bool watchdog_fired = false;

DWORD WINAPI resume_if_stuck(void*) {
  watchdog_fired = WaitForSingleObject(writes_done, 30000) == WAIT_TIMEOUT;
  if (watchdog_fired) sim_control("!cont");
  return 0;
}

// Writes numbered lines while the far end reads nothing, until a write is
// refused. A write that waited for the far end would hang the run, so a
// watchdog lets the far end read again after a generous bound, and the case
// fails. (The writes stay on this thread: the system cancels a thread's
// writes in flight when it ends.) Returns the lines queued whole; rest is
// what the refused write left of its line.
int fill_while_stopped(bt::SerialPort* port, std::string& rest) {
  CHECK_EQ(sim_control("!stop"), std::string("ok"));
  writes_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE watchdog = CreateThread(nullptr, 0, resume_if_stuck, nullptr, 0, nullptr);
  int lines = 0;
  int result = 0;
  for (; result == 0 && lines < 10000; lines += result == 0 ? 1 : 0) {
    rest = numbered_line(lines);
    result = port->ops->write_block(*port, rest.data(), static_cast<int>(rest.size()));
  }
  rest.erase(0, static_cast<size_t>(port->count));
  SetEvent(writes_done);
  WaitForSingleObject(watchdog, INFINITE);
  CloseHandle(watchdog);
  CloseHandle(writes_done);
  CHECK(!watchdog_fired);
  CHECK_EQ(result, bt::kBufferFull);
  CHECK_EQ(port->status, bt::kBufferFull);
  port->ops->clear_status(*port);
  return lines;
}

void writes_never_wait_for_the_far_end() {
  bt::SerialPort* port = open_sim_port();
  if (port->status != 0) return;
  bt::PortOperations& ops = *port->ops;
  CHECK_EQ(bt::port_write_string(port, "QC", 13), 0);
  wait_for_input(port, 7);
  const SimLogWatch watch;
  std::string rest;
  const int lines = fill_while_stopped(port, rest) + 1;
  CHECK(ops.tx_count(*port) > 0);
  // Input is read while output is held.
  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 5000), 0);
  CHECK_EQ(std::string(line), std::string("C:02CF"));

  // Once the far end reads again, the queue empties and every line arrives
  // whole and in order.
  CHECK_EQ(sim_control("!cont"), std::string("ok"));
  const DWORD start = GetTickCount();
  while (ops.tx_count(*port) > 0 && GetTickCount() - start < 20000) Sleep(5);
  CHECK_EQ(ops.write_block(*port, rest.data(), static_cast<int>(rest.size())), 0);
  const std::vector<std::string> received = watch.lines_received(static_cast<size_t>(lines));
  CHECK_EQ(received.size(), static_cast<size_t>(lines));
  int intact = 0;
  for (size_t i = 0; i < received.size(); ++i) {
    intact += received[i] == log_escaped(numbered_line(static_cast<int>(i))) ? 1 : 0;
  }
  CHECK_EQ(intact, lines);

  // Closing with the queue full abandons it: the far end may never read.
  fill_while_stopped(port, rest);
  CHECK_EQ(ops.close(*port), 0);
  CHECK(!on_live_list(port));
  CHECK_EQ(sim_control("!cont"), std::string("ok"));
  port = open_sim_port();  // end the cut line, so later cases start clean
  CHECK_EQ(bt::port_write_string(port, "", 13), 0);
  drain(port);
  CHECK_EQ(port->ops->close(*port), 0);
}

int messages_seen = 0;

void waits_keep_the_windows_alive() {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
    if (message != WM_APP) return DefWindowProcA(window, message, w, l);
    ++messages_seen;
    return 0;
  };
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "BrimtallyWaitProbe";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "BrimtallyWaitProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  CHECK(window != nullptr);
  bt::SerialPort* port = open_sim_port();
  if (window == nullptr || port->status != 0) return;
  // A read with nothing arriving dispatches the window's messages as it waits.
  PostMessageA(window, WM_APP, 0, 0);
  PostMessageA(window, WM_APP, 0, 0);
  char line[100];
  CHECK_EQ(bt::port_read_line(port, line, sizeof line, 13, 30), bt::kBufferEmpty);
  CHECK_EQ(messages_seen, 2);
  CHECK_EQ(port->ops->close(*port), 0);
  DestroyWindow(window);
}

void a_device_that_vanishes() {
  bt::SerialPort* port = open_sim_port();
  if (port->status != 0) return;
  CHECK_EQ(sim_control("fault vanish").rfind("ok", 0), 0u);
  // The read fails instead of waiting out its time-out as on a quiet line.
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
  run_case("driver: settings, dump, applied whole", settings_dump_and_apply);
  run_case("driver: lines both ways", lines_both_ways);
  run_case("driver: writes never wait for the far end", writes_never_wait_for_the_far_end);
  run_case("driver: waits keep the windows alive", waits_keep_the_windows_alive);
  // Last: the module's device goes away for good.
  run_case("driver: a device that vanishes", a_device_that_vanishes);
}

}  // namespace wintest
