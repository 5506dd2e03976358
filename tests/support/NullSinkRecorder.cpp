#include "NullSinkRecorder.h"

#include <cstring>

namespace ZimbrelTest {

NullSinkRecorder::NullSinkRecorder()
{
    QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, &m_parec,
                     [this] { m_bytes += m_parec.readAllStandardOutput(); });
}

NullSinkRecorder::~NullSinkRecorder()
{
    m_parec.kill();
    m_parec.waitForFinished(2000);
}

bool NullSinkRecorder::start()
{
    const QString sink = qEnvironmentVariable("ZIMBREL_TEST_SINK");
    m_error = QStringLiteral("ZIMBREL_TEST_SINK is not set: run the tests through tests/with-services");
    if (sink.isEmpty())
        return false;
    m_parec.start("parec", {"-d", sink + ".monitor", "--raw", "--format=s16le", QStringLiteral("--rate=%1").arg(kRate),
                            "--channels=1", "--latency-msec=5"});
    // The monitor of a running sink delivers samples continuously.
    QElapsedTimer waited;
    waited.start();
    while (m_bytes.isEmpty() && waited.elapsed() < 5000 && m_parec.state() != QProcess::NotRunning)
        m_parec.waitForReadyRead(100);
    m_error = QStringLiteral("no samples from the null sink's monitor: ") + m_parec.errorString();
    if (m_bytes.isEmpty())
        return false;
    m_bytes.clear();
    m_started.start();
    return true;
}

Samples NullSinkRecorder::stop()
{
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.waitForReadyRead(50);
        m_parec.terminate();
        m_parec.waitForFinished(2000);
        m_bytes += m_parec.readAllStandardOutput();
    }
    Samples samples;
    samples.rate = kRate;
    samples.data.resize(m_bytes.size() / 2);
    std::memcpy(samples.data.data(), m_bytes.constData(), samples.data.size() * 2);
    return samples;
}

} // namespace ZimbrelTest
