// SPDX-License-Identifier: MIT
// What a command typed for the module may hold. The module's console reads
// printable ASCII only (other characters would be replaced or dropped on the
// way), and a command, its CR and the NUL must fit the
// library's MessageText.
#pragma once

#include <QString>

#include "brimtally.h"

class QLineEdit;

inline constexpr int kMaxCommand = BT_MESSAGE_LEN - 2;
// "A " and the name make the rename command.
inline constexpr int kMaxModuleName = kMaxCommand - 2;

inline constexpr const char* kSendableRule =
    "Only printable ASCII characters (space to ~) can be sent to the module.";

// True when every character is printable ASCII.
bool sendable(const QString& text);

// Shows why `box`'s text was refused, in a tool tip beside it.
void explainRefusal(QLineEdit* box);

// Makes `box` refuse any other character as it is typed or pasted, and say why
// in a tool tip beside the box; at most `maxLength` characters.
void takeOnlySendableText(QLineEdit* box, int maxLength);
