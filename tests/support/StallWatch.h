#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace ZimbrelTest {

// A timer ticking on the UI thread every few milliseconds; the longest gap
// between two ticks is the longest time the thread was kept from its events.
class StallWatch
{
public:
    explicit StallWatch(int periodMs = 5)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(periodMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            m_longestMs = std::max(m_longestMs, m_sinceTick.restart());
        });
    }

    void start()
    {
        m_longestMs = 0;
        m_sinceTick.start();
        m_timer.start();
    }

    // Includes the gap still open now.
    qint64 longestMs() const { return std::max(m_longestMs, m_sinceTick.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestMs = 0;
};

} // namespace ZimbrelTest
