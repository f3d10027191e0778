#pragma once

#include <QTest>
#include <QWidget>

namespace brindlecot::testing {

// Types `text` into `widget` one character at a time as a keyboard would, any character
// included (QTest::keyClicks takes Latin-1 only).
inline void TypeText(QWidget* widget, const QString& text) {
    for (const char32_t codePoint : text.toUcs4()) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString::fromUcs4(&codePoint, 1),
                            Qt::NoModifier);
    }
}

}  // namespace brindlecot::testing
