#pragma once

// Keyboard mnemonics ("&Save") that stay unique among the controls a user
// sees together, in any language.

#include <QChar>
#include <QString>

class QWidget;

// The mnemonic letter of a caption, lower-cased; a null QChar when it has
// none ("&&" is a literal ampersand).
QChar MnemonicOf(const QString& caption);

// Gives the captions of Window (buttons, group boxes, labels with a buddy,
// tab titles) mnemonics that no other control visible with them shares. A
// window is walked as scopes: the controls outside any stack, then each page
// of each tab or stacked widget as a scope of its own that inherits the
// letters of the scopes around it, so pages never shown together may reuse a
// letter. Within a scope push buttons come first, then the other controls in
// creation order, then tab titles (Ctrl+Tab reaches every tab anyway). Each
// keeps the letter its caption brings (the translator's choice, or the
// caller's) while it is free; otherwise it takes the first free initial of
// its words, then any free letter of its caption (ASCII first), and goes
// without a mnemonic when none is left.
void MakeMnemonicsUnique(QWidget* window);
