#include "tests/gui/app/keyboard_check.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace brindlecot::testing {
namespace {

QString Describe(const QWidget* widget) {
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
           (widget->objectName().isEmpty() ? widget->accessibleName() : widget->objectName());
}

// Widgets inside another control (a drop-down's list, a view's editor) are that control's.
bool TakesTabFocus(const QWidget& window, const QWidget& widget) {
    return (widget.focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget.isEnabled() &&
           widget.isVisibleTo(&window) && widget.window() == &window &&
           widget.focusProxy() == nullptr;
}

std::vector<QWidget*> TabFocusWidgets(QWidget& window) {
    std::vector<QWidget*> widgets;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (TakesTabFocus(window, *widget))
            widgets.push_back(widget);
    }
    return widgets;
}

QWidget* Focused() {
    QWidget* focus = QApplication::focusWidget();
    // A spin box's or drop-down's inner edit stands for its control.
    while (focus != nullptr && focus->parentWidget() != nullptr &&
           focus->parentWidget()->focusProxy() == focus)
        focus = focus->parentWidget();
    return focus;
}

// Tab from the first control until the focus comes back round.
std::vector<QWidget*> TabChain(QWidget& first) {
    std::vector<QWidget*> chain;
    first.setFocus(Qt::TabFocusReason);
    for (int presses = 0; presses < 200; ++presses) {
        QWidget* focus = Focused();
        if (focus == nullptr || (!chain.empty() && focus == chain.front()))
            break;
        chain.push_back(focus);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return chain;
}

bool BeforeInLayout(const QWidget& window, const QWidget& a, const QWidget& b) {
    const QPoint pa = a.mapTo(&window, QPoint(0, 0));
    const QPoint pb = b.mapTo(&window, QPoint(0, 0));
    // Controls of one row share their top edge within a few pixels.
    if (std::abs(pa.y() - pb.y()) > 3)
        return pa.y() < pb.y();
    return pa.x() < pb.x();
}

QString Mnemonic(const QString& text) {
    const QKeySequence key = QKeySequence::mnemonic(text);
    return key.isEmpty() ? QString() : key.toString();
}

void CheckMnemonics(QWidget& window, QStringList& faults) {
    std::map<QString, QString> owners;
    auto claim = [&](const QString& text) {
        const QString key = Mnemonic(text);
        if (key.isEmpty())
            return;
        const auto [at, fresh] = owners.emplace(key, text);
        if (!fresh)
            faults << QStringLiteral("mnemonic %1 of \"%2\" clashes with \"%3\"")
                          .arg(key, text, at->second);
    };
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&window))
            claim(button->text());
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy() != nullptr)
            claim(label->text());
    for (const QMenuBar* bar : window.findChildren<QMenuBar*>())
        for (const QAction* action : bar->actions())
            claim(action->text());
}

}  // namespace

QStringList KeyboardFaults(QWidget& window) {
    QStringList faults;
    CheckMnemonics(window, faults);
    std::vector<QWidget*> expected = TabFocusWidgets(window);
    if (expected.empty())
        return faults;
    std::sort(expected.begin(), expected.end(),
              [&](const QWidget* a, const QWidget* b) { return BeforeInLayout(window, *a, *b); });
    const std::vector<QWidget*> chain = TabChain(*expected.front());
    for (QWidget* widget : expected) {
        if (std::find(chain.begin(), chain.end(), widget) == chain.end())
            faults << QStringLiteral("Tab never reaches %1").arg(Describe(widget));
    }
    for (std::size_t i = 1; i < chain.size(); ++i) {
        if (BeforeInLayout(window, *chain[i], *chain[i - 1]))
            faults << QStringLiteral("Tab goes from %1 back up or left to %2")
                          .arg(Describe(chain[i - 1]), Describe(chain[i]));
    }
    // The focus shows: a control draws itself differently with the focus than while the
    // next one has it (a dialog's default button keeps its mark when it loses the focus, so
    // a lone control has nothing to be told apart from).
    for (std::size_t i = 0; chain.size() > 1 && i < chain.size(); ++i) {
        chain[i]->setFocus(Qt::TabFocusReason);
        const QImage focused = chain[i]->grab().toImage();
        chain[(i + 1) % chain.size()]->setFocus(Qt::TabFocusReason);
        const QImage unfocused = chain[i]->grab().toImage();
        if (focused == unfocused)
            faults << QStringLiteral("%1 shows no focus").arg(Describe(chain[i]));
    }
    return faults;
}

}  // namespace brindlecot::testing
