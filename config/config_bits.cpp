// SPDX-License-Identifier: MIT
// The configuration word: the request composed from the check boxes, and what
// a configuration reply ("C:" and the word in hex) does to the window: the bit
// lights, the confirmation light and the editors the word switches on.
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

#include "colours.h"
#include "config_word.h"
#include "light.h"
#include "number_text.h"
#include "top_form.h"

namespace {
bool bitSet(int32_t word, int bit) {
  return (word >> bit) & 1;
}
}  // namespace

void TopForm::ConfigReply(const QString& reply) {
  if (!reply.startsWith("C:")) return;
  c_.ConfigAlert->setColour(colours::Sent);
  s_.ConfigWord = parseConfigWord(reply.mid(2));
  for (int n = 0; n < 16; ++n) {
    c_.ConfigBit[n]->setColour(bitSet(s_.ConfigWord, n) ? colours::Sent : colours::Clear);
  }
  // The limit editors follow the "digital outputs with limits" bits (6, 7),
  // not the analog enable bits (0, 1).
  c_.Analog12Lim->setVisible(bitSet(s_.ConfigWord, 6));
  c_.Analog8Lim->setVisible(bitSet(s_.ConfigWord, 7));
  c_.PWMDefaults->setVisible(bitSet(s_.ConfigWord, 2));
  UpdatePortDirections();
}

void TopForm::UpdatePortDirections() {
  const auto set = [this](int bit) { return c_.ConfigBit[bit]->colour() == colours::Sent; };
  const auto lock = [this](int line, const char* caption) {
    c_.DDir[line]->setEnabled(false);
    c_.DDir[line]->setText(caption);
  };
  c_.PortDir->show();
  for (QPushButton* line : c_.DDir) {
    line->setEnabled(true);
    line->setText("O");
  }
  // The keypad and the printer take the whole port.
  if (set(13) || set(4)) {
    c_.PortDir->hide();
    return;
  }
  // The totalizer and the frequency input count on line 0.
  if (set(9)) lock(0, "I");
  if (set(3)) lock(0, "I");
  // Limit alarms drive lines 0-3 (8-bit) and 4-7 (12-bit) as outputs.
  if (set(7)) {
    for (int i = 0; i <= 3; ++i) lock(i, "O");
  }
  if (set(6)) {
    for (int i = 4; i <= 7; ++i) lock(i, "O");
  }
}

void TopForm::ConfigReq_Click(int) {
  c_.ConfigAlert->setColour(colours::Unsent);
}

// Sends the whole word as composed, so every bit whose box is clear is
// cleared, then asks for the word back; ConfigAlert turns green only when the
// answer comes.
void TopForm::UpdateConfig_Click() {
  // A new configuration asks for the default settings to be sent again.
  MarkDefaultsUnsent();
  uint32_t word = 0;
  for (int n = 0; n < 16; ++n) {
    if (c_.ConfigReq[n]->isChecked()) word |= 1u << n;
  }
  s_.NextCommand = "CO " + hexText(word);
  QueueCommand();
  s_.NextCommand = "QC";
  QueueCommand();
  s_.ParamsSaved = false;
}
