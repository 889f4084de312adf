// SPDX-License-Identifier: MIT
// Stand-ins for what lies outside the window: the device library (scripted
// reads, recorded calls), the message boxes (recorded, scripted answers) and
// the program's end; and a window wired to them.
#pragma once

#include <QRadioButton>
#include <QStringList>
#include <QTimeZone>
#include <QTimer>
#include <cstring>
#include <deque>
#include <functional>
#include <map>

#include "system_clock.h"
#include "top_form.h"

struct FakeLibrary final : LibraryApi {
  QStringList calls;                  // "open 1 9600", "init", "close", "xmit QC", "read"
  std::map<int, int16_t> openResult;  // by port; 0 when not listed
  int16_t initStatus = 0;
  std::deque<std::pair<int16_t, QString>> reads;  // result and ReplyText; none left: 0
  int16_t statusAfterRead = 0;
  QByteArray lastMessage;
  std::map<int, QByteArray> devices;  // what btPortDevice names, by port

  void reply(const QString& text) { reads.push_back({int16_t(text.size()), text}); }
  QStringList sent() const {
    return QStringList(calls.filter(QRegularExpression("^xmit "))).replaceInStrings("xmit ", "");
  }
  int16_t btPortOpen(int16_t port, uint16_t baud) override {
    calls << QString("open %1 %2").arg(port).arg(baud);
    return openResult.count(port) ? openResult[port] : 0;
  }
  ModuleRecord btInitDLL(ModuleRecord*) override {
    calls << "init";
    ModuleRecord r{};
    std::strcpy(r.DllVersion, BT_DLL_VERSION);
    r.Status = initStatus;  // ReplyTimeout left 0: the program must set it
    return r;
  }
  int16_t btPortDevice(int16_t port, char* buffer, uint16_t size) override {
    qstrncpy(buffer, devices[port].constData(), size);
    return 0;
  }
  // A name's options are refused when they hold "ecko", as the library's "unknown option".
  int16_t btPortCheckName(const char* name, char* buffer, uint16_t size) override {
    const bool bad = std::strstr(name, "?ecko") != nullptr;
    qstrncpy(buffer, bad ? "unknown port option \"ecko\"" : "", size);
    return bad ? BT_BAD_PORT : BT_OK;
  }
  int32_t btPortClose() override {
    calls << "close";
    return 0;
  }
  int16_t ex_xmit_msg(ModuleRecord* record) override {
    lastMessage = QByteArray(record->MessageText, BT_MESSAGE_LEN);
    calls << "xmit " + QString::fromLatin1(lastMessage.left(lastMessage.indexOf('\r')));
    return 0;
  }
  int16_t ex_read_line(ModuleRecord* record) override {
    calls << "read";
    record->Status = statusAfterRead;
    if (reads.empty()) return 0;
    auto [result, text] = reads.front();
    reads.pop_front();
    if (result != BT_READ_ERROR) qstrncpy(record->ReplyText, text.toLatin1(), BT_REPLY_LEN);
    return result;
  }
};

struct FakeBoxes final : MessageBoxes {
  QStringList shown;         // "<kind>|<title>|<text>"
  std::deque<bool> answers;  // none left: OK / Yes
  // Runs while a box is open, as timer ticks do in a real box's event loop.
  std::function<void()> whileShown;

  void ok(const QString& text, const QString& title) override { record("ok", text, title); }
  bool okCancel(const QString& text, const QString& title) override {
    return record("okCancel", text, title);
  }
  bool yesNo(const QString& text, const QString& title) override {
    return record("yesNo", text, title);
  }
  bool record(const char* kind, const QString& text, const QString& title) {
    shown << QString("%1|%2|%3").arg(kind, title, text);
    if (whileShown) whileShown();
    const bool answer = answers.empty() || answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
};

struct ProgramFailed {
  int status;
};

struct FakeExit final : ProgramExit {
  int ends = 0;
  void end() override { ++ends; }
  [[noreturn]] void fail(int status) override { throw ProgramFailed{status}; }
};

// 4 March 2026, 05:06:07 UTC, for the report's date and time.
struct FixedClock final : Clock {
  QDateTime now() const override { return {QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone::utc()}; }
};

// The window on the stand-ins, its timer stopped: the test decides each tick.
struct Rig {
  FakeLibrary lib;
  FakeBoxes boxes;
  FakeExit exit;
  FixedClock clock;
  TopForm form{Services{lib, boxes, exit, clock}};
  const TopFormControls& c = form.controls();
  WindowState& s = form.state();

  Rig() { c.Timer2->stop(); }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) form.Timer2_Timer();
  }
  // Chooses Com(index + 1) through its option button.
  void choose(int index) { c.ComSel[index]->click(); }
  // Opens Com1 and lets the start-up "QC" go out and its two ticks pass.
  void openAndDrain() {
    choose(0);
    ticks(2);
    lib.calls.clear();
  }
};
