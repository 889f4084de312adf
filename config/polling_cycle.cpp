// SPDX-License-Identifier: MIT
// The command queue and the 400 ms polling cycle: every byte exchanged with the
// module goes through here.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "colours.h"
#include "command_text.h"
#include "light.h"
#include "top_form.h"

namespace {
QString fieldText(const char* field, size_t width) {
  return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, width)));
}

// The module's console ends each answer with its prompt, the name and ">".
bool isPrompt(const QString& line) {
  return line.endsWith('>') && !line.startsWith("C:") && !line.startsWith("Brimtally");
}
}  // namespace

void TopForm::QueueCommand() {
  if (!s_.Commands.store(s_.NextCommand)) {
    services_.boxes.okCancel("Not enough room in the Command Buffer.  Go SLOWER!!");
  }
}

// The light turns green even when the buffer had to drop the command: the
// operator has been told by the buffer's message.
void TopForm::queueSetting(const QString& command, Light* alarm) {
  s_.NextCommand = command;
  QueueCommand();
  alarm->setColour(colours::Sent);
  s_.ParamsSaved = false;
}

void TopForm::sendCommand(int slot) {
  const QString command = s_.Commands.slot(slot);
  // Both places where text is typed hold it to kMaxCommand and to printable
  // ASCII; the cut here only keeps the field's bounds.
  QByteArray bytes = command.toLatin1().left(kMaxCommand);
  bytes.append('\r');
  ModuleRecord& rec = s_.DeviceRec;
  std::memset(rec.MessageText, 0, sizeof rec.MessageText);
  std::memcpy(rec.MessageText, bytes.constData(), static_cast<size_t>(bytes.size()));
  c_.DataSent->setText(command);
  services_.library.ex_xmit_msg(&rec);
  s_.Commands.take(slot);
  s_.ReplyWait = 1;
  s_.AnswerShown = false;
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
      const QString line = fieldText(s_.DeviceRec.ReplyText, BT_REPLY_LEN);
      // The prompt that closes an answer (an error, say) does not hide it.
      if (!(isPrompt(line) && s_.AnswerShown)) c_.Reply->setText(line);
      s_.AnswerShown = s_.AnswerShown || !isPrompt(line);
      classifyReply(line);
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
  s_.CommFailed = readFailed || s_.DeviceRec.Status != 0;
  if (!s_.CommFailed) {
    c_.ComOK->setColour(colours::Sent);
    c_.DLLVER->setText(fieldText(s_.DeviceRec.DllVersion, BT_VERSION_LEN));
    c_.CommEstab->setText("Communications OK");
  } else {
    c_.ComOK->setColour(colours::Fault);
    c_.DLLVER->setText("DLL Version Unknown");
    c_.CommEstab->setText("Communications Errors");
  }
}
