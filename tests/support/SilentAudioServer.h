#pragma once

#include <QLocalServer>
#include <QLocalSocket>

namespace ZimbrelTest {

// A sound server that takes every connection and never says a word: a
// PulseAudio client waits for its reply, and libpulse gives up only after 30 s.
class SilentAudioServer
{
public:
    explicit SilentAudioServer(const QString &socketPath)
    {
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] {
            while (QLocalSocket *client = m_server.nextPendingConnection())
                client->setParent(&m_server);
            ++m_connections;
        });
        m_server.listen(socketPath);
    }

    bool isListening() const { return m_server.isListening(); }
    // For PULSE_SERVER.
    QString address() const { return QStringLiteral("unix:") + m_server.fullServerName(); }
    int connections() const { return m_connections; }

private:
    QLocalServer m_server;
    int m_connections = 0;
};

} // namespace ZimbrelTest
