// SPDX-License-Identifier: MIT
#include "MusicListPlugin.h"

#include "AppIcon.h"

#include <MusicList.h>

QString MusicListPlugin::name() const
{
    return QStringLiteral("Zimbrel::MusicList");
}

QString MusicListPlugin::group() const
{
    return QStringLiteral("Zimbrel");
}

QString MusicListPlugin::toolTip() const
{
    return QStringLiteral("Sound player: one-shot sounds, looping music, a playlist, "
                          "spoken numbers");
}

QString MusicListPlugin::whatsThis() const
{
    return QStringLiteral("Plays sounds through GStreamer: a one-shot sound channel, a looping "
                          "music channel, a playlist of up to 1024 files and a composer that "
                          "speaks numbers from 0 to 9999 from recorded clips.");
}

// The angle brackets make uic write #include <Zimbrel/MusicList.h>.
QString MusicListPlugin::includeFile() const
{
    return QStringLiteral("<Zimbrel/MusicList.h>");
}

QIcon MusicListPlugin::icon() const
{
    return Zimbrel::applicationIcon();
}

bool MusicListPlugin::isContainer() const
{
    return false;
}

QWidget *MusicListPlugin::createWidget(QWidget *parent)
{
    return new Zimbrel::MusicList(parent);
}

// The widget's own fixed size at 96 dpi: 1500 x 375 twips.
QString MusicListPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
 <widget class="Zimbrel::MusicList" name="musicList">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>100</width><height>25</height></rect>
  </property>
 </widget>
</ui>
)");
}
