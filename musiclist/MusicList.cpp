// SPDX-License-Identifier: MIT
#include "MusicList.h"

#include "ChannelOutput.h"
#include "MediaGraph.h"
#include "Twips.h"

#include <QLabel>
#include <QTimer>

namespace Zimbrel {

namespace {
constexpr int kDesignTimerPeriodMs = 200;
}

MusicList::MusicList(QWidget *parent)
    : QWidget(parent)
{
    setFixedSizeInTwips(this, 1500, 375);

    Label1 = new QLabel(QStringLiteral("Label1"), this);
    setGeometryInTwips(Label1, 150, -45, 1215, 495);

    MusicPict = new QWidget(this);
    MusicPict->setObjectName(QStringLiteral("MusicPict"));
    MusicPict->setMouseTracking(true);
    // Its mouse moves drive the music channel's loop (MusicPict_MouseMove).
    MusicPict->installEventFilter(this);
    setGeometryInTwips(MusicPict, 0, 0, 1500, 375);

    ListPict = new QWidget(this);
    ListPict->setObjectName(QStringLiteral("ListPict"));
    ListPict->hide();
    // Qt drops button-less mouse moves to a widget that does not track them.
    ListPict->setMouseTracking(true);
    ListPict->installEventFilter(this);

    MusTim = new QTimer(this);
    MusTim->setObjectName(QStringLiteral("MusTim"));
    // The playlist's gap between items is bounded by this period: keep it exact.
    MusTim->setTimerType(Qt::PreciseTimer);
    MusTim->setInterval(kDesignTimerPeriodMs);
    connect(MusTim, &QTimer::timeout, this, &MusicList::MusTim_Timer);
}

// Members release their graphs here, which silences every channel.
MusicList::~MusicList()
{
    if (ListOutput)
        ListOutput->shutdown();
}

bool MusicList::Init(int MusInterval)
{
    if (MusInterval < 0)
        return false;
    MusTim->setInterval(MusInterval);
    ListEnd = 1;
    ListCur = ListEnd;
    // No later item of the list is heard; the current one plays to its end.
    ListNext.reset();
    return true;
}

QString MusicList::Dilation() const
{
    return DilStr;
}

void MusicList::Dilation(const QString &DargValue)
{
    DilStr = DargValue.startsWith(u'.') ? DargValue : u'.' + DargValue;
}

QString MusicList::Folder() const
{
    return FoldStr;
}

void MusicList::FoldMus(const QString &FargValue, const QString &DargValue)
{
    Dilation(DargValue);
    FoldStr = FargValue.endsWith(u'/') ? FargValue : FargValue + u'/';
}

qint16 MusicList::NotPlay() const
{
    return NotPlayStat;
}

void MusicList::NotPlay(qint16 vNewValue)
{
    NotPlayStat = vNewValue;
}

int MusicList::timerPeriod() const
{
    return MusTim->interval();
}

void MusicList::setTimerPeriod(int period)
{
    Init(period);
}

void MusicList::setExtension(const QString &extension)
{
    Dilation(extension);
}

void MusicList::setFolder(const QString &folder)
{
    if (folder.isEmpty())
        return;
    if (Dilation().isEmpty())
        FoldMus(folder);
    else
        FoldMus(folder, Dilation());
}

bool MusicList::muted() const
{
    return NotPlay() != 0;
}

void MusicList::setMuted(bool on)
{
    NotPlay(on ? -1 : 0);
}

QString MusicList::completedName(const QString &name) const
{
    return FoldStr + name + DilStr;
}

} // namespace Zimbrel
