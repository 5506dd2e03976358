// Every sound is heard whole, to its last millisecond, on both sound servers:
// a graph rests, and the playlist or the loop moves on, only once the server
// has played the audio out.

#include "MusicList.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ZimbrelTest;

// The length a sound is heard with may differ from its file by this much.
constexpr double kWholeSeconds = 0.005;

class tst_PlayedOut : public QObject
{
    Q_OBJECT

private slots:
    void heardWhole_data();
    void heardWhole();

private:
    // Silence, then a tone to the file's end: the end is what a cut loses.
    QString file(int silenceMs, int toneMs)
    {
        const QString path = m_folder.filePath(QStringLiteral("%1-%2.wav").arg(silenceMs).arg(toneMs));
        Samples samples = tone(toneMs / 1000.0, 660);
        samples.data.insert(0, silenceMs * samples.rate / 1000, 0);
        return writeWave(path, samples) ? path : QString();
    }

    QTemporaryDir m_folder;
};

void tst_PlayedOut::heardWhole_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QString>("play");
    QTest::addColumn<QVector<int>>("tonesMs");
    for (const char *server : {"PULSEAUDIO", "PIPEWIRE"}) {
        const QByteArray variable = QByteArray("ZIMBREL_TEST_") + server + "_SERVER";
        // Three times: a cut loses more or less by where the server's cycle stands.
        QTest::addRow("%s sound", server) << variable << "sound" << QVector<int>{200, 200, 200};
        QTest::addRow("%s playlist", server) << variable << "playlist"
                                             << QVector<int>{150, 250, 350, 90};
        // The first three passes; the fourth is stopped part-way.
        QTest::addRow("%s loop", server) << variable << "loop" << QVector<int>{200, 200, 200};
    }
}

void tst_PlayedOut::heardWhole()
{
    QFETCH(QByteArray, server);
    QFETCH(QString, play);
    QFETCH(QVector<int>, tonesMs);
    const QByteArray address = qgetenv(server.constData());
    QVERIFY2(!address.isEmpty(), "run the test through tests/with-services");
    // Read by each new connection to a server, the recorder's and the graphs'
    // alike: no graph of an earlier row is left to hold one open.
    qputenv("PULSE_SERVER", address);
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    {
        Zimbrel::MusicList list;
        QVERIFY(list.Init(20));
        // The first stream beside the recorder changes PipeWire's cycle, and
        // the change can drop audio at its start: the silence takes it.
        QVERIFY(list.PlaySound(file(100, 0)));
        QTest::qWait(300);
        if (play == QLatin1String("sound")) {
            for (int toneMs : tonesMs) {
                QVERIFY(list.PlaySound(file(0, toneMs)));
                QTest::qWait(toneMs + 400);
            }
        } else if (play == QLatin1String("playlist")) {
            for (int toneMs : tonesMs)
                QVERIFY(list.AddFile(file(0, toneMs)));
            QTRY_COMPARE_WITH_TIMEOUT(list.Count(), 0, 5000);
            QTest::qWait(300);
        } else {
            QVERIFY(list.PlayMusic(file(60, tonesMs[0])));
            QTest::qWait(tonesMs.size() * (60 + tonesMs[0]) + 300);
        }
    }
    QTest::qWait(100);
    const QVector<Segment> heard = findSounds(recorder.stop(), 0.02, 0.0005);

    QStringList lengths;
    for (const Segment &sound : heard)
        lengths.append(QString::number(sound.length, 'f', 3));
    const QByteArray described = lengths.join(u' ').toLatin1();
    QVERIFY2(heard.size() >= tonesMs.size(), described.constData());
    for (qsizetype i = 0; i < tonesMs.size(); ++i)
        QVERIFY2(qAbs(heard[i].length - tonesMs[i] / 1000.0) <= kWholeSeconds,
                 described.constData());
    qInfo("heard %s", described.constData());
}

QTEST_MAIN(tst_PlayedOut)
#include "tst_playedout.moc"
