// SPDX-License-Identifier: MIT
#pragma once

#include <QSet>
#include <QWidget>

#include <utility>

class QPlainTextEdit;
class QPushButton;

namespace Zimbrel {
class MusicList;
}

// The notification window: the message, a close button and the player.
// One instance, made on first use and kept for the life of the program.
class ZMBMain : public QWidget
{
    Q_OBJECT

public:
    static ZMBMain *instance();
    // Destroys the window and with it every sound it still plays.
    static void unload();

    // Shows smText and plays the sound named smNum from the sounds folder.
    void ShowMess(const QString &smNum, const QString &smText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ZMBMain();
    ~ZMBMain() override;

    void ZMBButt_Click();
    // KeyCode: virtual-key code; Shift: 1 Shift, 2 Ctrl, 4 Alt.
    void Form_KeyUp(int KeyCode, int Shift);

    QPlainTextEdit *ZMBEdit = nullptr;
    QPushButton *ZMBButt = nullptr;
    Zimbrel::MusicList *ML = nullptr;
    // Keys whose press reached the window and whose release has not yet.
    QSet<int> m_keysPressedHere;
    // Key and time stamp of the latest release.
    std::pair<int, quint64> m_lastRelease{0, 0};
};
