// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

namespace ZimbrelTest {

// A sound server of the test services, restarted as a desktop's restarts
// (a crash, an upgrade, `systemctl --user restart`): the process is ended
// by its pid and the same command started again, with the environment it
// had. The null sink is set up again, and the restarted server is ended
// with this object. Any thread: nothing here needs an event loop.
class RestartedServer
{
public:
    // PulseAudio, or PipeWire's pulse server, as PULSE_SERVER names them.
    explicit RestartedServer(bool pipeWire) : m_pipeWire(pipeWire)
    {
        m_address = qEnvironmentVariable(pipeWire ? "ZIMBREL_TEST_PIPEWIRE_SERVER" : "ZIMBREL_TEST_PULSEAUDIO_SERVER");
        m_pid = pipeWire ? pipeWirePulsePid() : qEnvironmentVariableIntValue("ZIMBREL_TEST_PULSE_PID");
    }
    ~RestartedServer()
    {
        for (const pid_t pid : {m_keepAwake, m_restarted})
            if (pid > 0 && ::kill(pid, SIGTERM) == 0)
                ::waitpid(pid, nullptr, 0);
    }

    // Ends the server and waits until it is gone; false when it was not found.
    bool stop()
    {
        m_argv = readList(u"/proc/%1/cmdline"_qs.arg(m_pid));
        m_environment = readList(u"/proc/%1/environ"_qs.arg(m_pid));
        if (m_argv.empty() || ::kill(m_pid, SIGTERM) != 0)
            return false;
        // A child of the services' script stays a zombie until it reaps it.
        for (int i = 0; i < 200 && QFile::exists(u"/proc/%1/cmdline"_qs.arg(m_pid)); ++i) {
            if (readList(u"/proc/%1/cmdline"_qs.arg(m_pid)).empty())
                return true;
            QThread::msleep(5);
        }
        return !QFile::exists(u"/proc/%1/cmdline"_qs.arg(m_pid));
    }

    // Starts it again and returns once it answers with its null sink in place.
    bool start()
    {
        m_restarted = spawn(m_argv, m_environment);
        if (m_restarted <= 0 || !answers({"info"}))
            return false;
        const QString sink = qEnvironmentVariable("ZIMBREL_TEST_SINK");
        if (m_pipeWire)
            return answers({"load-module", "module-null-sink", "sink_name=" + sink, "rate=48000", "channels=2"})
                   && answers({"set-default-sink", sink});
        // PulseAudio loads its sink from its command line. As the services
        // keep it: a silent stream, so that the sink runs at a short latency.
        m_keepAwake = spawn({"pacat", "--playback", "--latency-msec=10", "--raw", "--format=s16le", "--rate=48000",
                             "--channels=2", "-d", sink.toUtf8(), "/dev/zero"},
                            {});
        return m_keepAwake > 0;
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

    // The pulse server of this run's PipeWire: the one whose runtime folder
    // holds the socket the services named.
    static pid_t pipeWirePulsePid()
    {
        const QByteArray socket = qgetenv("ZIMBREL_TEST_PIPEWIRE_SERVER");
        const QByteArray runtime = "XDG_RUNTIME_DIR=" + socket.mid(5, socket.size() - 5 - 13);
        for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
            const std::vector<QByteArray> argv = readList("/proc/" + entry + "/cmdline");
            const std::vector<QByteArray> environment = readList("/proc/" + entry + "/environ");
            if (!argv.empty() && argv[0].endsWith("pipewire-pulse")
                && std::find(environment.begin(), environment.end(), runtime) != environment.end())
                return entry.toInt();
        }
        return 0;
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
        return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(),
                            environment.empty() ? environ : env.data()) == 0
                   ? pid
                   : -1;
    }

    bool answers(const QStringList &command) const
    {
        for (int i = 0; i < 100; ++i) {
            QProcess pactl;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("PULSE_SERVER", m_address);
            pactl.setProcessEnvironment(environment);
            pactl.start("pactl", command);
            if (pactl.waitForFinished(2000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    const bool m_pipeWire;
    QString m_address;
    pid_t m_pid = 0, m_restarted = 0, m_keepAwake = 0;
    std::vector<QByteArray> m_argv, m_environment;
};

} // namespace ZimbrelTest
