// SPDX-License-Identifier: MIT
#include "MusicList.h"

#include "GraphHandling.h"

#include <QMouseEvent>

namespace Zimbrel {

namespace {

// How long CheckLoop lets a state change under way hold the UI thread.
constexpr int kStateTimeoutMs = 100;

} // namespace

bool MusicList::PlayMusic(QString &File, bool PlayMusicStat)
{
    // Set first, and kept whatever happens below.
    LoopStat = PlayMusicStat;
    try {
        StopMusic();
        MusicGraph = Media::MediaGraph::create();
        if (MusicGraph && MusicGraph->RenderFile(File)) {
            MusicGraph->SetNotifyWindow(MusicPict);
            if (PlayMusicStat ? MusicGraph->RunLooping() : MusicGraph->Run())
                return true;
        }
    } catch (...) {
    }
    StopMusic();
    return false;
}

bool MusicList::PlayMusic(const QString &File, bool PlayMusicStat)
{
    QString name = File;
    return PlayMusic(name, PlayMusicStat);
}

void MusicList::StopMusic()
{
    stopAndRelease(MusicGraph);
}

bool MusicList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListPict && event->type() == QEvent::MouseMove)
        ListPict_MouseMove();
    if (watched == MusicPict && event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        MusicPict_MouseMove(move->buttons(), move->modifiers(), move->position().x(),
                            move->position().y());
    }
    return QWidget::eventFilter(watched, event);
}

void MusicList::MusicPict_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, qreal, qreal)
{
    if (LoopStat)
        CheckLoop();
}

void MusicList::CheckLoop()
{
    // Stopped, failed and half-built graphs are left as they are; so is a
    // channel with no graph (a pointer movement after StopMusic).
    if (!MusicGraph || MusicGraph->GetState(kStateTimeoutMs) != Media::MediaGraph::Running)
        return;
    const std::optional<double> stopTime = MusicGraph->StopTime();
    const std::optional<double> position = MusicGraph->CurrentPosition();
    if (!stopTime || !position)
        return;
    if (standsAtEnd(*position, *stopTime))
        MusicGraph->PutCurrentPosition(0);
}

} // namespace Zimbrel
