#pragma once

#include "WaveFile.h"

#include <QElapsedTimer>
#include <QProcess>

#include <cstring>

namespace ZimbrelTest {

// Records what is played into the test's null sink (named by the variable
// ZIMBREL_TEST_SINK that tests/with-services sets) through its monitor.
class NullSinkRecorder
{
public:
    static constexpr int kRate = 48000;

    NullSinkRecorder()
    {
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, &m_parec,
                         [this] { m_bytes += m_parec.readAllStandardOutput(); });
    }
    ~NullSinkRecorder()
    {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }

    // Starts recording and returns once samples flow; false when the sink
    // cannot be recorded (the test harness is not running).
    bool start()
    {
        const QString sink = qEnvironmentVariable("ZIMBREL_TEST_SINK");
        m_error = "ZIMBREL_TEST_SINK is not set: run the tests through tests/with-services";
        if (sink.isEmpty())
            return false;
        // At a desktop client's latency: a short one shortens PipeWire's
        // cycle, and with it the audio a cut at a sound's end can lose.
        m_parec.start("parec", {"-d", sink + ".monitor", "--raw", "--format=s16le",
                                QStringLiteral("--rate=%1").arg(kRate), "--channels=1", "--latency-msec=200"});
        // The monitor of a running sink delivers samples continuously.
        QElapsedTimer waited;
        waited.start();
        while (m_bytes.isEmpty() && waited.elapsed() < 5000 && m_parec.state() != QProcess::NotRunning)
            m_parec.waitForReadyRead(100);
        m_error = "no samples from the null sink's monitor: " + m_parec.errorString();
        const bool flowing = !m_bytes.isEmpty();
        m_bytes.clear();
        m_started.start();
        return flowing;
    }

    // Stops and returns everything recorded since start().
    Samples stop()
    {
        m_parec.waitForReadyRead(50);
        m_parec.terminate();
        m_parec.waitForFinished(2000);
        m_bytes += m_parec.readAllStandardOutput();
        Samples samples;
        samples.rate = kRate;
        samples.data.resize(m_bytes.size() / 2);
        std::memcpy(samples.data.data(), m_bytes.constData(), samples.data.size() * 2);
        return samples;
    }

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
