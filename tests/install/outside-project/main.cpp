// SPDX-License-Identifier: MIT
// Uses the installed widget as any program would: its headers, its library
// and its exception type across the library boundary. Exits 1 on a failure.
#include <Zimbrel/MusicList.h>

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Zimbrel::MusicList player;
    player.FoldMus(QStringLiteral("/nonexistent/numbers"));
    if (!player.Init(20) || player.Number(1234) != QStringLiteral("/nonexistent/numbers/1234.mp3"))
        return 1;
    try {
        player.Position();
    } catch (const Zimbrel::PositionUnavailable &) {
        return 0;
    }
    return 1;
}
