// SPDX-License-Identifier: MIT
// Start-up, memory, idle CPU and sound latency of the notifier beside the
// tools people glue together instead (yad, zenity, paplay, gst-play-1.0),
// alternating them run by run. Windows are found with xdotool on the X
// server in DISPLAY; sound is heard on the null sink. Run it through bench/run.

#include "BenchSamples.h"
#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <optional>

using namespace ZimbrelTest;
using ZimbrelBench::emitSample;

namespace {

struct Tool {
    QString subject;
    QString program;
    QStringList arguments;
    QString title; // of its window; empty for a tool without one
};

bool windowVisible(const QString &title)
{
    QProcess xdotool;
    xdotool.setStandardOutputFile(QProcess::nullDevice());
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--name"), u'^' + title + u'$'});
    return xdotool.waitForFinished(5000) && xdotool.exitStatus() == QProcess::NormalExit
           && xdotool.exitCode() == 0;
}

// User plus system clock ticks the process has used.
long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which may hold blanks: state is field 3.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLong() + fields[12].toLong() : -1;
}

class Launched
{
public:
    explicit Launched(const Tool &tool)
    {
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_clock.start();
        m_process.start(tool.program, tool.arguments);
        m_process.waitForStarted(5000);
    }
    ~Launched()
    {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_process.processId()), SIGTERM);
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    qint64 pid() const { return m_process.processId(); }
    bool finish(int ms) { return m_process.waitForFinished(ms); }

    // Milliseconds from the start to the window showing; nothing if it never does.
    std::optional<double> waitForWindow(const QString &title)
    {
        while (m_clock.elapsed() < 10000 && m_process.state() == QProcess::Running) {
            if (windowVisible(title))
                return m_clock.nsecsElapsed() / 1e6;
            QThread::msleep(2);
        }
        return std::nullopt;
    }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
};

// Resident and proportional set sizes in MB, from /proc/PID/smaps_rollup. The
// proportional size charges each shared library page to its users in equal
// parts, so a program is not charged in full for libraries others map too.
struct Memory {
    double residentMb = -1;
    double proportionalMb = -1;
};

Memory memoryOf(qint64 pid)
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    Memory memory;
    if (!rollup.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray &line : rollup.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields[0] == "Rss:")
            memory.residentMb = fields[1].toDouble() / 1024;
        else if (fields[0] == "Pss:")
            memory.proportionalMb = fields[1].toDouble() / 1024;
    }
    return memory;
}

void measureWindow(const Tool &tool)
{
    Launched launched(tool);
    if (const auto ms = launched.waitForWindow(tool.title)) {
        emitSample(QStringLiteral("start-to-window"), tool.subject, *ms);
        emitSample(QStringLiteral("memory-at-window"), tool.subject,
                   memoryOf(launched.pid()).residentMb);
    } else {
        qWarning("%s: no window", qPrintable(tool.subject));
    }
}

// The state users meet: the window has waited a while and its sound is over.
// Toolkits go on loading after the first frame, so memory read when the
// window first shows flatters some tools.
void measureAtRest(const Tool &tool, int idleSeconds)
{
    Launched launched(tool);
    if (!launched.waitForWindow(tool.title))
        return;
    QThread::sleep(2);
    const Memory memory = memoryOf(launched.pid());
    if (memory.residentMb >= 0) {
        emitSample(QStringLiteral("rss-at-rest"), tool.subject, memory.residentMb);
        emitSample(QStringLiteral("pss-at-rest"), tool.subject, memory.proportionalMb);
    }
    const long before = cpuTicks(launched.pid());
    QThread::sleep(idleSeconds);
    const long after = cpuTicks(launched.pid());
    if (before >= 0 && after >= 0)
        emitSample(QStringLiteral("idle-cpu-ticks"), tool.subject, double(after - before));
}

// Start to first sound heard; for a tool with a window, also window to sound.
void measureSound(const Tool &tool)
{
    NullSinkRecorder recorder;
    if (!recorder.start())
        qFatal("%s", qPrintable(recorder.error()));
    QThread::msleep(50);
    const double startedAt = recorder.secondsSinceStart();
    std::optional<double> windowAt;
    {
        Launched launched(tool);
        if (!tool.title.isEmpty()) {
            if (const auto ms = launched.waitForWindow(tool.title))
                windowAt = startedAt + *ms / 1000;
            QThread::msleep(800);
        } else {
            launched.finish(10000);
            QThread::msleep(200);
        }
    }
    const QVector<Segment> sounds = findSounds(recorder.stop());
    if (sounds.isEmpty()) {
        qWarning("%s: nothing heard", qPrintable(tool.subject));
        return;
    }
    emitSample(QStringLiteral("start-to-sound"), tool.subject,
               (sounds.first().start - startedAt) * 1000);
    if (windowAt)
        emitSample(QStringLiteral("window-to-sound"), tool.subject,
                   (sounds.first().start - *windowAt) * 1000);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption zmbOption(QStringLiteral("zmb"), QStringLiteral("The zmb to run."),
                                       QStringLiteral("path"));
    const QCommandLineOption floorOption(QStringLiteral("qt-floor"),
                                         QStringLiteral("A bare Qt window program."),
                                         QStringLiteral("path"));
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs (20)."),
                                        QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption restOption(QStringLiteral("rest-runs"),
                                        QStringLiteral("Runs of the check at rest (3)."),
                                        QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption idleOption(QStringLiteral("idle-seconds"),
                                        QStringLiteral("CPU is counted over this long at rest (30)."),
                                        QStringLiteral("s"), QStringLiteral("30"));
    parser.addOptions({zmbOption, floorOption, runsOption, restOption, idleOption});
    parser.process(app);
    const QString zmb = parser.value(zmbOption);
    const QString sound = QFileInfo(zmb).path() + QStringLiteral("/sounds/1.wav");
    const QString text = QStringLiteral("Benchmark");

    const Tool zimbrel{QStringLiteral("zmb"), zmb, {QStringLiteral("1/") + text},
                       QStringLiteral("Zimbrel")};
    const QList<Tool> windows{
        zimbrel,
        {QStringLiteral("yad"), QStringLiteral("yad"),
         {QStringLiteral("--title=BenchYad"), QStringLiteral("--text=") + text},
         QStringLiteral("BenchYad")},
        {QStringLiteral("zenity"), QStringLiteral("zenity"),
         {QStringLiteral("--info"), QStringLiteral("--title=BenchZenity"),
          QStringLiteral("--text=") + text},
         QStringLiteral("BenchZenity")},
        {QStringLiteral("bare Qt 6 window"), parser.value(floorOption), {},
         QStringLiteral("BenchQt")},
    };
    const QList<Tool> players{
        zimbrel,
        {QStringLiteral("paplay"), QStringLiteral("paplay"), {sound}, {}},
        {QStringLiteral("gst-play-1.0"), QStringLiteral("gst-play-1.0"),
         {QStringLiteral("--no-interactive"), QStringLiteral("-q"), sound}, {}},
    };

    const int runs = parser.value(runsOption).toInt();
    for (int run = 0; run < runs; ++run) {
        for (const Tool &tool : windows)
            measureWindow(tool);
        for (const Tool &tool : players)
            measureSound(tool);
        qInfo("run %d of %d", run + 1, runs);
    }
    for (int run = 0; run < parser.value(restOption).toInt(); ++run) {
        for (const Tool &tool : windows)
            measureAtRest(tool, parser.value(idleOption).toInt());
    }
    return 0;
}
