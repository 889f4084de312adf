// Stand-ins for what lies outside the window: the device library (scripted
// replies, recorded calls), the message boxes (recorded, scripted answers),
// the program's end and the clock.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstring>
#include <deque>
#include <map>

#include "clock.h"
#include "library_api.h"
#include "message_boxes.h"
#include "program_exit.h"
#include "services.h"
#include "top_form.h"

class FakeLibrary final : public LibraryApi {
 public:
  struct Read {
    int16_t result;
    QString text;  // stored in ReplyText when result is a character count
  };

  // Every call in order: "open 1 9600", "init", "close", "xmit QC", "read".
  QStringList calls;
  std::map<int, int16_t> openResult;  // by port; 0 when not listed
  int16_t initStatus = 0;
  std::deque<Read> reads;  // none left: nothing arrived (0)
  int16_t statusAfterRead = 0;
  QByteArray lastMessage;  // MessageText as handed to ex_xmit_msg

  void reply(const QString& text) { reads.push_back({static_cast<int16_t>(text.size()), text}); }

  int16_t btPortOpen(int16_t port, uint16_t baud) override {
    calls << QString("open %1 %2").arg(port).arg(baud);
    auto found = openResult.find(port);
    return found == openResult.end() ? 0 : found->second;
  }
  ModuleRecord btInitDLL(ModuleRecord*) override {
    calls << "init";
    ModuleRecord r{};
    std::strcpy(r.DllVersion, BT_DLL_VERSION);
    r.Status = initStatus;
    r.ReplyTimeout = 0;  // so a test sees the program set its own
    return r;
  }
  int32_t btPortClose() override {
    calls << "close";
    return 0;
  }
  int16_t ex_xmit_msg(ModuleRecord* record) override {
    lastMessage = QByteArray(record->MessageText, BT_MESSAGE_LEN);
    const QByteArray line = lastMessage.left(lastMessage.indexOf('\r'));
    calls << "xmit " + QString::fromLatin1(line);
    return static_cast<int16_t>(line.size());
  }
  int16_t ex_read_line(ModuleRecord* record) override {
    calls << "read";
    record->Status = statusAfterRead;
    if (reads.empty()) return 0;
    const Read r = reads.front();
    reads.pop_front();
    if (r.result > 0 && r.result != BT_READ_ERROR) {
      const QByteArray bytes = r.text.toLatin1();
      std::memset(record->ReplyText, 0, BT_REPLY_LEN);
      std::memcpy(record->ReplyText, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return r.result;
  }

  // The command texts that went out, in order.
  QStringList sent() const {
    QStringList texts;
    for (const QString& call : calls) {
      if (call.startsWith("xmit ")) texts << call.mid(5);
    }
    return texts;
  }
};

class FakeBoxes final : public MessageBoxes {
 public:
  struct Shown {
    QString kind;  // "ok", "okCancel", "yesNo"
    QString text;
    QString title;
  };
  std::vector<Shown> shown;
  std::deque<bool> answers;  // none left: OK / Yes

  void ok(const QString& text, const QString& title) override {
    shown.push_back({"ok", text, title});
  }
  bool okCancel(const QString& text, const QString& title) override {
    shown.push_back({"okCancel", text, title});
    return answer();
  }
  bool yesNo(const QString& text, const QString& title) override {
    shown.push_back({"yesNo", text, title});
    return answer();
  }

 private:
  bool answer() {
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

struct ProgramFailed {
  int status;
};

class FakeExit final : public ProgramExit {
 public:
  int ends = 0;
  void end() override { ++ends; }
  [[noreturn]] void fail(int status) override { throw ProgramFailed{status}; }
};

class FakeClock final : public Clock {
 public:
  QDateTime now() const override { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); }
};

// A window wired to the stand-ins, with its timer stopped so that only the
// test decides when a tick happens.
struct Rig {
  FakeLibrary lib;
  FakeBoxes boxes;
  FakeExit exit;
  FakeClock clock;
  TopForm form{Services{lib, boxes, exit, clock}};
  const TopFormControls& c = form.controls();
  WindowState& s = form.state();

  Rig();
  // Chooses Com(index + 1) as the operator would, through the option button.
  void choose(int index);
  // Opens Com1 and lets the start-up "QC" go out and its two reading ticks pass.
  void openAndDrain();
  void ticks(int n) {
    for (int i = 0; i < n; ++i) form.Timer2_Timer();
  }
};
