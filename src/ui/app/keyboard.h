#pragma once

// Keyboard and screen-reader access to the main window: menu mnemonics and tool button names.

class QMenuBar;
class QToolBar;

namespace rv {

// Gives every menu of the bar and every item of each menu a mnemonic ("&Файл") that is unique among its
// neighbours: the first letter of a word not yet taken, else any letter not yet taken. Captions that
// already carry one keep it. Run again after items are added: it only marks what has none.
void assignMnemonics(QMenuBar* bar);

// Every tool button of the bar is named for assistive technology by its caption, or by its tool tip
// when it shows only an icon.
void nameToolButtons(QToolBar* bar);

} // namespace rv
