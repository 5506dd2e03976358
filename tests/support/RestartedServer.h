// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

namespace ZimbrelTest {

// The sound server at a PULSE_SERVER address, restarted as a desktop's are
// (a crash, an upgrade, `systemctl --user restart`): ended by its pid, then
// its command started again with the environment it had, and a null sink
// made again where the command makes none. The new process ends with this
// object. Any thread: nothing here needs an event loop.
class RestartedServer
{
public:
    RestartedServer(const QByteArray &address, pid_t pid, bool loadsSink)
        : m_address(address), m_pid(pid), m_loadsSink(loadsSink)
    {
    }
    ~RestartedServer()
    {
        if (m_restarted > 0 && ::kill(m_restarted, SIGTERM) == 0)
            ::waitpid(m_restarted, nullptr, 0);
    }

    // Ends the server and returns once it is gone (or a zombie of its parent's).
    bool stop()
    {
        const QString proc = u"/proc/%1/"_qs.arg(m_pid);
        m_argv = readList(proc + "cmdline");
        m_environment = readList(proc + "environ");
        if (m_argv.empty() || ::kill(m_pid, SIGTERM) != 0)
            return false;
        for (int i = 0; i < 400 && !readList(proc + "cmdline").empty(); ++i)
            QThread::msleep(5);
        return readList(proc + "cmdline").empty();
    }

    // Starts it again and returns once it answers with its null sink in place.
    bool start()
    {
        m_restarted = spawn(m_argv, m_environment);
        if (m_restarted <= 0 || !answers({"info"}))
            return false;
        const QByteArray sink = qgetenv("ZIMBREL_TEST_SINK");
        return m_loadsSink
               || (answers({"load-module", "module-null-sink", "sink_name=" + sink, "rate=48000", "channels=2"})
                   && answers({"set-default-sink", sink}));
    }

private:
    static std::vector<QByteArray> readList(const QString &path)
    {
        QFile file(path);
        std::vector<QByteArray> list;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &entry : file.readAll().split('\0'))
                if (!entry.isEmpty())
                    list.push_back(entry);
        return list;
    }

    // With no environment given, this process's own.
    static pid_t spawn(const std::vector<QByteArray> &argv, const std::vector<QByteArray> &environment)
    {
        std::vector<char *> args, env;
        for (const QByteArray &arg : argv)
            args.push_back(const_cast<char *>(arg.constData()));
        for (const QByteArray &entry : environment)
            env.push_back(const_cast<char *>(entry.constData()));
        args.push_back(nullptr);
        env.push_back(nullptr);
        pid_t pid = 0;
        return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environment.empty() ? environ : env.data()) == 0
                   ? pid
                   : -1;
    }

    // Waits for the server to come up: a service's start, not a test's retry.
    bool answers(const QStringList &command) const
    {
        for (int i = 0; i < 100; ++i) {
            QProcess pactl;
            pactl.start("env", QStringList{"PULSE_SERVER=" + m_address} + QStringList{"pactl"} + command);
            if (pactl.waitForFinished(2000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    const QByteArray m_address;
    const pid_t m_pid;
    const bool m_loadsSink;
    pid_t m_restarted = 0;
    std::vector<QByteArray> m_argv, m_environment;
};

} // namespace ZimbrelTest
