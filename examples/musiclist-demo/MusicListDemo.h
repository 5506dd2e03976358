#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace Zimbrel {
class MusicList;
}

// A window that carries a Zimbrel::MusicList and a control for each of its
// members: the sound channel, the looping music channel, the playlist, the
// number composer and the mute flag, with Count and Position shown live.
class MusicListDemo : public QWidget
{
    Q_OBJECT

public:
    // dataFolder holds sounds/ and numbers/; the file fields start there.
    explicit MusicListDemo(const QString &dataFolder, QWidget *parent = nullptr);

private:
    QLineEdit *addFileField(const QString &objectName, const QString &label, const QString &path);
    void report(const QString &member, bool succeeded);
    void showCountAndPosition();

    Zimbrel::MusicList *m_player = nullptr;
    QLineEdit *m_soundFile = nullptr;
    QLineEdit *m_musicFile = nullptr;
    QCheckBox *m_loop = nullptr;
    QLineEdit *m_listFile = nullptr;
    QLineEdit *m_numbersFolder = nullptr;
    QSpinBox *m_number = nullptr;
    QLabel *m_result = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_position = nullptr;
};
