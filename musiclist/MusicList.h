// SPDX-License-Identifier: MIT
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
class ChannelOutput;
class MediaGraph;
}

// A sound player that a window places on itself: a one-shot sound channel,
// a looping music channel, a playlist of up to 1024 files and a composer that
// speaks numbers from recorded clips.
//
// Threading: create the widget and call every member on the UI thread.
// Playback runs on GStreamer's threads, which reach the widget only through
// Qt's event queue. No member waits for playback to end; starting one waits
// only until the file is open and ready to play, at most a few seconds for a
// file that never becomes ready.
//
// Failures: members that start playback or fill the playlist return false and
// never throw; stop members never fail. Position() alone throws.
//
// The sound server: a channel holds its connection only while it sounds. The
// process takes a connection only while it holds one of the slots that every
// Zimbrel program of the user shares (files in $XDG_RUNTIME_DIR/zimbrel), so
// that many of them sounding at once never find the server full; a sound
// that finds every slot taken starts as soon as one is free, within 10 s.
//
// File names are local paths, never URLs. A "short name" is completed to
// Folder() + name + Dilation() wherever completion applies, and only while a
// folder is set (see FoldMus).
//
// Properties, for forms (Qt Designer, .ui files): each one calls the members
// named beside it, so a form sets the widget as code would.
class MusicList : public QWidget
{
    Q_OBJECT
    // Declared in the order a form applies them: the extension before the
    // folder that keeps it.
    Q_PROPERTY(int timerPeriod READ timerPeriod WRITE setTimerPeriod) // Init
    Q_PROPERTY(QString extension READ Dilation WRITE setExtension)   // Dilation
    Q_PROPERTY(QString folder READ Folder WRITE setFolder)           // FoldMus
    Q_PROPERTY(bool muted READ muted WRITE setMuted)                 // NotPlay

public:
    // Creates an idle widget: every channel silent, no folder, extension
    // empty, not muted, and the playlist unusable until Init or Clear runs.
    explicit MusicList(QWidget *parent = nullptr);
    // Stops and releases every channel, so nothing keeps sounding.
    ~MusicList() override;

    // Sets the playlist's polling period to MusInterval milliseconds (it
    // bounds the gap between two items) and empties the list's counters, so
    // Count() becomes 0. Stops nothing. Returns false, with nothing changed,
    // for a negative period.
    bool Init(int MusInterval = 200);

    // The extension used to complete short names, with its leading "."; empty
    // until set.
    QString Dilation() const;
    // Sets that extension to DargValue; a missing leading "." is added.
    void Dilation(const QString &DargValue);

    // The folder used to complete short names, ending in "/"; empty means
    // names are used as given. Set only through FoldMus.
    QString Folder() const;

    // Sets the extension to DargValue (as Dilation does), then the folder to
    // FargValue (a trailing "/" is added when missing). From then on, short
    // names are completed as folder + name + extension.
    void FoldMus(const QString &FargValue, const QString &DargValue = QStringLiteral(".mp3"));

    // Plays File once on the sound channel, replacing any earlier sound.
    // With MusicStat true the request is refused while muted (NotPlay), and a
    // short name is completed; File then receives the completed name. With
    // MusicStat false, File is played as given, muted or not. Returns whether
    // playback started.
    bool PlaySound(QString &File, bool MusicStat = true);
    // The same for a name the caller does not need back.
    bool PlaySound(const QString &File, bool MusicStat = true);

    // Silences the sound channel. Does nothing when it is silent.
    void StopSound();

    // Starts opening File on a thread of its own and returns at once, so that
    // a later PlaySound, AddFile or PlayMusic of the same, unchanged file only
    // has to start it. The name is used as given. Keeps the two newest
    // requests, each with its output stream open on the sound server and idle
    // until it plays; a file that cannot be opened is simply not prepared.
    // Callable even before QApplication exists.
    static void PrepareAhead(const QString &File);

    // The mute flag.
    qint16 NotPlay() const;
    // Sets the mute flag: any non-zero vNewValue mutes the playlist, the
    // number composer and PlaySound with MusicStat true; the music channel
    // and sounds already playing go on.
    void NotPlay(qint16 vNewValue);

    // --- Properties ---------------------------------------------------------

    // The playlist's polling period in milliseconds; 200 until Init runs.
    int timerPeriod() const;
    // Init(period): a form that sets it has a usable playlist from the start.
    void setTimerPeriod(int period);
    // Dilation(extension).
    void setExtension(const QString &extension);
    // FoldMus(folder, Dilation()), or FoldMus(folder) with its ".mp3" while
    // no extension is set. An empty folder changes nothing, since FoldMus
    // would make it "/".
    void setFolder(const QString &folder);
    // NotPlay() != 0.
    bool muted() const;
    // NotPlay(-1) or NotPlay(0).
    void setMuted(bool on);

    // --- Playlist: up to 1024 files played one after another ---------------

    // Appends mnFile, completed while a folder is set. The first file of an
    // empty list starts at once; the others start in turn as each one ends,
    // checked every Init period. Returns false while muted, when the list
    // holds 1024 files, and before Init or Clear has first run. A file that
    // cannot be played is skipped when its turn comes.
    bool AddFile(QString mnFile);

    // Silences the current item and empties the list (Count() becomes 0).
    void Clear();

    // The number of entries in the current list, played ones included; the
    // list empties itself once its last item has ended. -1 before Init or
    // Clear has first run.
    qint32 Count() const;

    // Seconds into the playlist item that most recently started successfully
    // (it may have ended since); 0 before Init or Clear has first run.
    // Throws PositionUnavailable when no item has started successfully yet,
    // or when that item's playback no longer reports a position.
    float Position() const;

    // --- Spoken numbers -----------------------------------------------------

    // Queues on the playlist the numeral clips that speak ListNum (0 to 9999),
    // from the folder and extension set through FoldMus. Returns folder +
    // ListNum + extension. Returns an empty string, with nothing queued, when
    // muted or when no folder is set; and an empty string, with the clips
    // queued all the same, when ListNum ends in zeros (20, 100, 3400...).
    QString Number(qint32 ListNum);

    // --- Music channel ------------------------------------------------------

    // Plays File on the music channel, replacing any earlier music. With
    // PlayMusicStat true the music starts again from its beginning each time
    // it reaches its end, until StopMusic or the next PlayMusic. The name is
    // used as given (no completion), the mute flag does not apply, and File
    // is not changed. Returns whether playback started.
    bool PlayMusic(QString &File, bool PlayMusicStat = true);
    // The same for a temporary name.
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
    // Playlist: the current item's graph has news, perhaps its end.
    void ListPict_MouseMove();

    using GraphPtr = std::shared_ptr<Media::MediaGraph>;

    // Reads the widget's private state in tests; defined only there.
    friend class MusicListProbe;

    QString completedName(const QString &name) const;

    // Playlist.
    void PlayCurrent();
    GraphPtr newListGraph();
    void PrepareNext();
    void StopCurrent();
    void MusTim_Timer();
    bool currentItemEnded() const;

    // Spoken numbers.
    static QString NumStr(qint32 value);

    QWidget *MusicPict = nullptr;
    // Hidden; receives the current playlist item's notifications.
    QWidget *ListPict = nullptr;
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
    // The playlist's one output stream, made when the list first plays; the
    // item after the current one, already running behind it there, and its slot.
    std::shared_ptr<Media::ChannelOutput> ListOutput;
    GraphPtr ListNext;
    qint32 ListNextSlot = 0;
};

} // namespace Zimbrel
