#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace brindlecot::testing {

// Modal dialogs run their own event loop, so a test that opens one acts on it from a
// timer: `act` is called once with the first visible widget of type T that appears (a
// child of `parent`, or a top-level popup with no parent given), from inside the modal
// loop. The timer gives up after `timeoutMs`; `*seen` then stays false.
template <class T>
void WhenVisible(QWidget* parent, std::function<void(T&)> act, bool* seen = nullptr,
                 int timeoutMs = 5000) {
    if (seen)
        *seen = false;
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=, guard = QPointer<QWidget>(parent)] {
        *started += 10;
        T* found = nullptr;
        if (parent == nullptr) {
            found = qobject_cast<T*>(QApplication::activePopupWidget());
        } else if (guard) {
            for (T* candidate : guard->template findChildren<T*>()) {
                if (candidate->isVisible()) {
                    found = candidate;
                    break;
                }
            }
        }
        if (found == nullptr && *started < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (found) {
            if (seen)
                *seen = true;
            act(*found);
        }
    });
    timer->start(10);
}

}  // namespace brindlecot::testing
