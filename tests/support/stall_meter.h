#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace brindlecot::testing {

// The longest time between two ticks of a fast timer: how long the event loop was held up
// at worst while it was meant to keep running.
class StallMeter {
public:
    explicit StallMeter(int tickMs) {
        timer_.setInterval(tickMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.restart());
            ++ticks_;
        });
        clock_.start();
        timer_.start();
    }
    qint64 LongestMs() const { return longest_; }
    int Ticks() const { return ticks_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
    int ticks_ = 0;
};

}  // namespace brindlecot::testing
