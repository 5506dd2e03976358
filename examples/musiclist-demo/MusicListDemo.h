// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class MusicListDemo;
}

// A window that carries a Zimbrel::MusicList and a control for each of its
// members: the sound channel, the looping music channel, the playlist, the
// number composer and the mute flag, with Count and Position shown live.
// The window is laid out in MusicListDemo.ui, where the widget sits as it
// does in Qt Designer, its timer period set there.
class MusicListDemo : public QWidget
{
    Q_OBJECT

public:
    // dataFolder holds sounds/ and numbers/; the file fields start there.
    explicit MusicListDemo(const QString &dataFolder, QWidget *parent = nullptr);
    ~MusicListDemo() override;

private:
    void report(const QString &member, bool succeeded);
    void showCountAndPosition();

    std::unique_ptr<Ui::MusicListDemo> m_ui;
};
