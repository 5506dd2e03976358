#pragma once

#include "WaveFile.h"

#include <QElapsedTimer>
#include <QProcess>

namespace ZimbrelTest {

// Records what is played into the test's null sink (named by the variable
// ZIMBREL_TEST_SINK that tests/with-services sets) through its monitor.
class NullSinkRecorder
{
public:
    static constexpr int kRate = 48000;

    NullSinkRecorder();
    ~NullSinkRecorder();

    // Starts recording and returns once samples flow; false when the sink
    // cannot be recorded (the test harness is not running).
    bool start();
    // Stops and returns everything recorded since start().
    Samples stop();

    // Seconds since start() returned, on the clock the recording keeps:
    // sample n of the recording was taken about n / kRate seconds after start.
    double secondsSinceStart() const { return m_started.nsecsElapsed() / 1e9; }

    // Why start() failed.
    QString error() const { return m_error; }

private:
    QProcess m_parec;
    QByteArray m_bytes;
    QString m_error;
    QElapsedTimer m_started;
};

} // namespace ZimbrelTest
