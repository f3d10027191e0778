#include "gui/app/startup_probe.h"

#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <unistd.h>
#include <cstdio>
#include <ctime>

namespace brindlecot {
namespace {

double SecondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Seconds from the process's start to now, from the kernel's record of the start (in
// clock ticks since boot, so to 10 ms or better); negative when unknown.
double SecondsSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold blanks: count fields after its end.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // starttime is field 22 of the whole line, the 20th after the name.
    if (fields.size() < 20)
        return -1;
    bool ok = false;
    const double ticks = fields[19].toDouble(&ok);
    if (!ok)
        return -1;
    return SecondsOf(CLOCK_BOOTTIME) - ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class FirstPaintProbe : public QObject {
public:
    FirstPaintProbe(QWidget& window, bool closeAfter) : QObject(&window), closeAfter_(closeAfter) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // Report once the paint is done and on its way to the screen.
            QTimer::singleShot(0, this, [this, watched] {
                auto* window = static_cast<QWidget*>(watched);
                const QByteArray title = window->windowTitle().toUtf8();
                std::fprintf(
                    stderr,
                    "Brindlecot: window \"%s\" shown %.0f ms after the process started (at %.3f)\n",
                    title.constData(), SecondsSinceProcessStart() * 1000.0,
                    SecondsOf(CLOCK_REALTIME));
                std::fflush(stderr);
                if (closeAfter_)
                    window->close();
            });
        }
        return false;
    }

private:
    bool closeAfter_;
    bool reported_ = false;
};

}  // namespace

void ReportFirstPaintIfAsked(QWidget& window) {
    const QByteArray asked = qgetenv("BRINDLECOT_STARTUP_PROBE");
    if (asked.isEmpty())
        return;
    window.installEventFilter(new FirstPaintProbe(window, asked == "exit"));
}

}  // namespace brindlecot
