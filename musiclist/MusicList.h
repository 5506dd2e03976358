#pragma once

#include "PositionUnavailable.h"

#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QTimer;

namespace Zimbrel {

namespace Media {
class MediaGraph;
}

// A sound player that a window places on itself: a one-shot sound channel,
// a looping music channel, a playlist of up to 1024 files and a composer that
// speaks numbers from recorded clips. Every member runs on the UI thread;
// playback runs on GStreamer's threads and never blocks the caller for long.
//
// Members that start playback report failure as a false result and never
// throw; stop members never fail.
class MusicList : public QWidget
{
    Q_OBJECT

public:
    explicit MusicList(QWidget *parent = nullptr);
    ~MusicList() override;

    // Sets the playlist's polling period in milliseconds and resets its
    // counters. Stops nothing. False, with nothing changed, for a negative
    // period.
    bool Init(int MusInterval = 200);

    // Extension used to complete short names; always stored with a leading ".".
    QString Dilation() const;
    void Dilation(const QString &DargValue);

    // Folder used to complete short names, with a trailing "/"; empty means
    // names are used as given. Set only through FoldMus.
    QString Folder() const;

    // Sets the extension (a leading "." is added when missing), then the
    // folder (a trailing "/" is added when missing). Once a folder is set,
    // short names are completed as folder + name + extension.
    void FoldMus(const QString &FargValue, const QString &DargValue = QStringLiteral(".mp3"));

    // Plays File once on the sound channel, replacing any earlier sound.
    // With MusicStat true the request is refused while muted, and a short
    // name is completed with the folder and extension; the caller's variable
    // then receives the completed name.
    bool PlaySound(QString &File, bool MusicStat = true);
    bool PlaySound(const QString &File, bool MusicStat = true);

    // Silences the sound channel. Does nothing when it is silent.
    void StopSound();

    // Opens File on a thread of its own and returns at once, so that a later
    // PlaySound, AddFile or PlayMusic of the same, unchanged file only has to
    // start it. The name is used as given. Callable before QApplication exists.
    static void PrepareAhead(const QString &File);

    // Mute flag: any non-zero value mutes the playlist, the composer and
    // PlaySound with MusicStat true.
    qint16 NotPlay() const;
    void NotPlay(qint16 vNewValue);

    // --- Playlist: up to 1024 files played one after another ---------------

    // Appends a file; a short name is completed while a folder is set. The
    // first file of an empty list starts at once, the others wait their turn.
    // False while muted, when the list is full, and before Init or Clear has
    // first run.
    bool AddFile(QString mnFile);

    // Silences the current item and empties the list.
    void Clear();

    // Entries of the current list, played ones included; -1 before Init or
    // Clear has first run.
    qint32 Count() const;

    // Seconds into the item that most recently started successfully; 0 before
    // Init or Clear has first run.
    // Throws PositionUnavailable when no item has started successfully yet.
    float Position() const;

    // --- Spoken numbers -----------------------------------------------------

    // Queues the numeral clips that speak ListNum (0 to 9999) from the folder
    // set through FoldMus. Returns folder + number + extension, or an empty
    // string when muted, when no folder is set, or when the number ends in
    // zeros that are not spoken (20, 100, 3400...).
    QString Number(qint32 ListNum);

    // --- Music channel ------------------------------------------------------

    // Plays File on the music channel, replacing any earlier music. With
    // PlayMusicStat true the music starts again from its beginning each time
    // it reaches its end, until StopMusic or the next PlayMusic. The name is
    // used as given (no completion) and the mute flag does not apply.
    // File is not changed.
    bool PlayMusic(QString &File, bool PlayMusicStat = true);
    bool PlayMusic(const QString &File, bool PlayMusicStat = true);

    // Silences the music channel. Does nothing when it is silent; leaves the
    // loop flag as it is.
    void StopMusic();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Music channel: the graph's news and real pointer movement over
    // MusicPict both arrive here, and both only mean "look at the music".
    void MusicPict_MouseMove(Qt::MouseButtons Button, Qt::KeyboardModifiers Shift, qreal X,
                             qreal Y);
    void CheckLoop();

    using GraphPtr = std::shared_ptr<Media::MediaGraph>;

    // Reads the widget's private state in tests; defined only there.
    friend class MusicListProbe;

    QString completedName(const QString &name) const;

    // Playlist.
    void PlayCurrent();
    void PrepareNext();
    void StopCurrent();
    void MusTim_Timer();
    bool currentItemEnded() const;

    // Spoken numbers.
    static QString NumStr(qint32 value);

    QWidget *MusicPict = nullptr;
    QTimer *MusTim = nullptr;
    QLabel *Label1 = nullptr;

    GraphPtr SoundGraph;
    GraphPtr MusicGraph;
    GraphPtr ListGraph;
    QString DilStr;
    QString FoldStr;
    qint32 ListEnd = 0;
    // Slots 1..1024; element 0 is never used.
    std::array<QString, 1025> ListFiles;
    qint16 NotPlayStat = 0;
    qint32 ListCur = 0;
    bool LoopStat = false;
    GraphPtr ListPos;
};

} // namespace Zimbrel
