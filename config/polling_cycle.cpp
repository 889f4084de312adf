// The command queue and the 400 ms polling cycle: every byte exchanged with the
// module goes through here.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "colours.h"
#include "light.h"
#include "top_form.h"

namespace {
// Room for the command in MessageText: the text, its CR and the NUL.
constexpr int kMaxCommand = BT_MESSAGE_LEN - 2;

QString fieldText(const char* field, size_t width) {
  return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, width)));
}
}  // namespace

void TopForm::QueueCommand() {
  if (!s_.Commands.store(s_.NextCommand)) {
    services_.boxes.okCancel("Not enough room in the Command Buffer.  Go SLOWER!!");
  }
}

void TopForm::sendCommand(int slot) {
  const QString command = s_.Commands.slot(slot);
  // Both places where text is typed hold it to kMaxCommand; the cut here only
  // keeps the field's bounds should a longer command ever be queued.
  QByteArray bytes = command.toLatin1().left(kMaxCommand);
  bytes.append('\r');
  ModuleRecord& rec = s_.DeviceRec;
  std::memset(rec.MessageText, 0, sizeof rec.MessageText);
  std::memcpy(rec.MessageText, bytes.constData(), static_cast<size_t>(bytes.size()));
  c_.DataSent->setText(command);
  services_.library.ex_xmit_msg(&rec);
  s_.Commands.take(slot);
  s_.ReplyWait = 1;
}

void TopForm::Timer2_Timer() {
  if (ending_) return;  // the port may be closed already
  c_.ComOK->setColour(colours::Clear);
  c_.PrintButton->setEnabled(s_.PortOpen == 1);
  if (s_.PortOpen == 1) {
    if (s_.ReplyWait > 0) {
      --s_.ReplyWait;
    } else if (const auto slot = s_.Commands.firstOccupied()) {
      sendCommand(*slot);
    }
    const int16_t result = services_.library.ex_read_line(&s_.DeviceRec);
    // 103 is a failed read, not a reply: the old ReplyText must not be shown
    // or acted on again.
    const bool readFailed = result == BT_READ_ERROR;
    if (result > 0 && !readFailed) {
      c_.Reply->setText(fieldText(s_.DeviceRec.ReplyText, BT_REPLY_LEN));
      classifyReply(c_.Reply->text());
    }
    showCommunicationStatus(readFailed);
  }
  if (s_.PrintFlag == 1) {
    WriteConfigReport();
    s_.PrintFlag = 0;
  }
}

void TopForm::classifyReply(const QString& text) {
  if (text.startsWith("C:")) {
    ConfigReply(text);
  } else if (text.startsWith("Brimtally")) {
    c_.Brim->setText(text);
    s_.VersionPending = false;
  } else if (text.endsWith('>')) {
    c_.ModIDAlarm->setColour(text == c_.ModName->text() + ">" ? colours::Sent : colours::Unsent);
  }
}

void TopForm::showCommunicationStatus(bool readFailed) {
  if (!readFailed && s_.DeviceRec.Status == 0) {
    c_.ComOK->setColour(colours::Sent);
    c_.DLLVER->setText(fieldText(s_.DeviceRec.DllVersion, BT_VERSION_LEN));
    c_.CommEstab->setText("Communications OK");
  } else {
    c_.ComOK->setColour(colours::Fault);
    c_.DLLVER->setText("DLL Version Unknown");
    c_.CommEstab->setText("Communications Errors");
  }
}
