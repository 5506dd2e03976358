// SPDX-License-Identifier: MIT
#pragma once

#include "WaveFile.h"

#include <QElapsedTimer>
#include <QProcess>

#include <cstring>

namespace ZimbrelTest {

// Records what is played into the test's null sink (named by the variable
// ZIMBREL_TEST_SINK that tests/with-services sets) through its monitor, on
// the server PULSE_SERVER names.
class NullSinkRecorder
{
public:
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

    // Starts recording and returns once samples flow (the monitor of a
    // running sink delivers them continuously); false when they do not.
    bool start()
    {
        // At a desktop client's latency: a short one shortens PipeWire's
        // cycle, and with it the audio a cut at a sound's end can lose.
        m_parec.start("parec", {"-d", qEnvironmentVariable("ZIMBREL_TEST_SINK") + ".monitor", "--raw",
                                "--format=s16le", "--rate=48000", "--channels=1", "--latency-msec=200"});
        QElapsedTimer waited;
        waited.start();
        while (m_bytes.isEmpty() && waited.elapsed() < 5000 && m_parec.state() != QProcess::NotRunning)
            m_parec.waitForReadyRead(100);
        const bool flowing = !m_bytes.isEmpty();
        m_bytes.clear();
        m_started.start();
        return flowing;
    }

    // Why start() failed.
    QString error() const { return "no samples from the null sink's monitor; run through tests/with-services"; }

    // Stops and returns everything recorded since start().
    Samples stop()
    {
        m_parec.waitForReadyRead(50);
        m_parec.terminate();
        m_parec.waitForFinished(2000);
        m_bytes += m_parec.readAllStandardOutput();
        Samples samples;
        samples.data.resize(m_bytes.size() / 2);
        std::memcpy(samples.data.data(), m_bytes.constData(), samples.data.size() * 2);
        return samples;
    }

    // Seconds since start() returned, on the clock the recording keeps:
    // sample n of the recording was taken about n / 48000 seconds after start.
    double secondsSinceStart() const { return m_started.nsecsElapsed() / 1e9; }

private:
    QProcess m_parec;
    QByteArray m_bytes;
    QElapsedTimer m_started;
};

} // namespace ZimbrelTest
