#include "MusicListDemo.h"

#include <MusicList.h>

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr int kRefreshMs = 100;

QPushButton *button(const QString &objectName, const QString &text)
{
    auto *button = new QPushButton(text);
    button->setObjectName(objectName);
    return button;
}

// The widgets side by side, on one row of the form.
QWidget *row(std::initializer_list<QWidget *> widgets)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    layout->addStretch();
    return row;
}

} // namespace

MusicListDemo::MusicListDemo(const QString &dataFolder, QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("MusicList demo"));
    auto *form = new QFormLayout(this);

    m_player = new Zimbrel::MusicList(this);
    m_player->setObjectName(QStringLiteral("player"));
    // A 20 ms tick keeps the gap between playlist items short.
    m_player->Init(20);
    form->addRow(QStringLiteral("The widget:"), m_player);

    m_soundFile = addFileField(QStringLiteral("soundFile"), QStringLiteral("Sound:"),
                               dataFolder + QStringLiteral("/sounds/1.wav"));
    // Preparing opens the file ahead, so that playing it later starts sooner.
    auto *prepareSound = button(QStringLiteral("prepareSound"), QStringLiteral("Prepare"));
    auto *playSound = button(QStringLiteral("playSound"), QStringLiteral("Play sound"));
    auto *stopSound = button(QStringLiteral("stopSound"), QStringLiteral("Stop sound"));
    form->addRow(QString(), row({prepareSound, playSound, stopSound}));
    connect(prepareSound, &QPushButton::clicked, this,
            [this] { Zimbrel::MusicList::PrepareAhead(m_soundFile->text()); });
    connect(playSound, &QPushButton::clicked, this,
            [this] { report(QStringLiteral("PlaySound"), m_player->PlaySound(m_soundFile->text())); });
    connect(stopSound, &QPushButton::clicked, m_player, &Zimbrel::MusicList::StopSound);

    m_musicFile = addFileField(QStringLiteral("musicFile"), QStringLiteral("Music:"),
                               dataFolder + QStringLiteral("/sounds/2.wav"));
    m_loop = new QCheckBox(QStringLiteral("Loop"));
    m_loop->setObjectName(QStringLiteral("loop"));
    m_loop->setChecked(true);
    auto *playMusic = button(QStringLiteral("playMusic"), QStringLiteral("Play music"));
    auto *stopMusic = button(QStringLiteral("stopMusic"), QStringLiteral("Stop music"));
    form->addRow(QString(), row({m_loop, playMusic, stopMusic}));
    connect(playMusic, &QPushButton::clicked, this, [this] {
        report(QStringLiteral("PlayMusic"),
               m_player->PlayMusic(m_musicFile->text(), m_loop->isChecked()));
    });
    connect(stopMusic, &QPushButton::clicked, m_player, &Zimbrel::MusicList::StopMusic);

    m_listFile = addFileField(QStringLiteral("listFile"), QStringLiteral("Playlist:"),
                              dataFolder + QStringLiteral("/sounds/3.wav"));
    auto *addFile = button(QStringLiteral("addFile"), QStringLiteral("Queue file"));
    auto *clear = button(QStringLiteral("clear"), QStringLiteral("Clear"));
    form->addRow(QString(), row({addFile, clear}));
    connect(addFile, &QPushButton::clicked, this,
            [this] { report(QStringLiteral("AddFile"), m_player->AddFile(m_listFile->text())); });
    connect(clear, &QPushButton::clicked, m_player, &Zimbrel::MusicList::Clear);

    m_numbersFolder = addFileField(QStringLiteral("numbersFolder"), QStringLiteral("Numerals:"),
                                   dataFolder + QStringLiteral("/numbers"));
    m_number = new QSpinBox;
    m_number->setObjectName(QStringLiteral("number"));
    m_number->setRange(0, 9999);
    m_number->setValue(1234);
    auto *speak = button(QStringLiteral("speakNumber"), QStringLiteral("Speak number"));
    form->addRow(QString(), row({m_number, speak}));
    connect(speak, &QPushButton::clicked, this, [this] {
        // The clips are folder + name + ".mp3".
        m_player->FoldMus(m_numbersFolder->text());
        const QString last = m_player->Number(m_number->value());
        m_result->setText(last.isEmpty() ? QStringLiteral("Number: nothing queued")
                                         : QStringLiteral("Number: queued up to ") + last);
    });

    auto *mute = new QCheckBox(QStringLiteral("Mute the sound, the playlist and the numbers"));
    mute->setObjectName(QStringLiteral("mute"));
    form->addRow(QString(), mute);
    connect(mute, &QCheckBox::toggled, this, [this](bool on) { m_player->NotPlay(on ? -1 : 0); });

    m_result = new QLabel;
    m_result->setObjectName(QStringLiteral("result"));
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("count"));
    m_position = new QLabel;
    m_position->setObjectName(QStringLiteral("position"));
    form->addRow(QStringLiteral("Last call:"), m_result);
    form->addRow(QStringLiteral("Count:"), m_count);
    form->addRow(QStringLiteral("Position:"), m_position);

    auto *refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &MusicListDemo::showCountAndPosition);
    refresh->start(kRefreshMs);
    showCountAndPosition();
}

QLineEdit *MusicListDemo::addFileField(const QString &objectName, const QString &label,
                                       const QString &path)
{
    auto *field = new QLineEdit(path);
    field->setObjectName(objectName);
    field->setMinimumWidth(320);
    static_cast<QFormLayout *>(layout())->addRow(label, field);
    return field;
}

void MusicListDemo::report(const QString &member, bool succeeded)
{
    m_result->setText(member + (succeeded ? QStringLiteral(": true") : QStringLiteral(": false")));
}

void MusicListDemo::showCountAndPosition()
{
    m_count->setText(QString::number(m_player->Count()));
    try {
        m_position->setText(QString::number(m_player->Position(), 'f', 2) + QStringLiteral(" s"));
    } catch (const Zimbrel::PositionUnavailable &) {
        // No playlist item has started yet.
        m_position->setText(QStringLiteral("unavailable"));
    }
}
