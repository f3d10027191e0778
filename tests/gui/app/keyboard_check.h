#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace brindlecot::testing {

// What a person without a mouse meets in one shown, active window: every enabled control
// that takes focus by Tab is reached by Tab, in the order of the layout (top to bottom,
// left to right), shows that it has the focus, and no two controls share a mnemonic.
// Returns one line per fault.
QStringList KeyboardFaults(QWidget& window);

}  // namespace brindlecot::testing
