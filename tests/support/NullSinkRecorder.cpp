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
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }
}

bool NullSinkRecorder::start()
{
    const QByteArray sink = qgetenv("ZIMBREL_TEST_SINK");
    if (sink.isEmpty()) {
        m_error = QStringLiteral("ZIMBREL_TEST_SINK is not set: run the tests through "
                                 "tests/with-services");
        return false;
    }
    m_bytes.clear();
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-d"), QString::fromLocal8Bit(sink) + QStringLiteral(".monitor"),
                   QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                   QStringLiteral("--latency-msec=5")});
    if (!m_parec.waitForStarted(5000)) {
        m_error = QStringLiteral("parec did not start: ") + m_parec.errorString();
        return false;
    }
    // The monitor of a running sink delivers samples continuously.
    QElapsedTimer waited;
    waited.start();
    while (m_bytes.isEmpty() && waited.elapsed() < 5000)
        m_parec.waitForReadyRead(100);
    if (m_bytes.isEmpty()) {
        m_error = QStringLiteral("no samples from the null sink's monitor");
        return false;
    }
    m_bytes.clear();
    m_started.start();
    return true;
}

Samples NullSinkRecorder::stop()
{
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.waitForReadyRead(50);
        m_bytes += m_parec.readAllStandardOutput();
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
