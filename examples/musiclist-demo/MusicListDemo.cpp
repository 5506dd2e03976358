// SPDX-License-Identifier: MIT
#include "MusicListDemo.h"

#include "ui_MusicListDemo.h"

#include <QTimer>

namespace {
constexpr int kRefreshMs = 100;
}

MusicListDemo::MusicListDemo(const QString &dataFolder, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::MusicListDemo>())
{
    m_ui->setupUi(this);
    m_ui->soundFile->setText(dataFolder + QStringLiteral("/sounds/1.wav"));
    m_ui->musicFile->setText(dataFolder + QStringLiteral("/sounds/2.wav"));
    m_ui->listFile->setText(dataFolder + QStringLiteral("/sounds/3.wav"));
    m_ui->numbersFolder->setText(dataFolder + QStringLiteral("/numbers"));
    Zimbrel::MusicList *player = m_ui->player;

    // Preparing opens the file ahead, so that playing it later starts sooner.
    connect(m_ui->prepareSound, &QPushButton::clicked, this,
            [this] { Zimbrel::MusicList::PrepareAhead(m_ui->soundFile->text()); });
    connect(m_ui->playSound, &QPushButton::clicked, this, [this, player] {
        report(QStringLiteral("PlaySound"), player->PlaySound(m_ui->soundFile->text()));
    });
    connect(m_ui->stopSound, &QPushButton::clicked, player, &Zimbrel::MusicList::StopSound);

    connect(m_ui->playMusic, &QPushButton::clicked, this, [this, player] {
        report(QStringLiteral("PlayMusic"),
               player->PlayMusic(m_ui->musicFile->text(), m_ui->loop->isChecked()));
    });
    connect(m_ui->stopMusic, &QPushButton::clicked, player, &Zimbrel::MusicList::StopMusic);

    connect(m_ui->addFile, &QPushButton::clicked, this, [this, player] {
        report(QStringLiteral("AddFile"), player->AddFile(m_ui->listFile->text()));
    });
    connect(m_ui->clear, &QPushButton::clicked, player, &Zimbrel::MusicList::Clear);

    connect(m_ui->speakNumber, &QPushButton::clicked, this, [this, player] {
        // The clips are folder + name + ".mp3".
        player->FoldMus(m_ui->numbersFolder->text());
        const QString last = player->Number(m_ui->number->value());
        m_ui->result->setText(last.isEmpty() ? QStringLiteral("Number: nothing queued")
                                              : QStringLiteral("Number: queued up to ") + last);
    });

    connect(m_ui->mute, &QCheckBox::toggled, player, &Zimbrel::MusicList::setMuted);

    auto *refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &MusicListDemo::showCountAndPosition);
    refresh->start(kRefreshMs);
    showCountAndPosition();
}

MusicListDemo::~MusicListDemo() = default;

void MusicListDemo::report(const QString &member, bool succeeded)
{
    m_ui->result->setText(member
                          + (succeeded ? QStringLiteral(": true") : QStringLiteral(": false")));
}

void MusicListDemo::showCountAndPosition()
{
    m_ui->count->setText(QString::number(m_ui->player->Count()));
    try {
        m_ui->position->setText(QString::number(m_ui->player->Position(), 'f', 2)
                                + QStringLiteral(" s"));
    } catch (const Zimbrel::PositionUnavailable &) {
        // No playlist item has started yet.
        m_ui->position->setText(QStringLiteral("unavailable"));
    }
}
