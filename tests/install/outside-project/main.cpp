// Uses the installed widget as any program would; exits 1 with a line on
// standard error for each thing it did not get.
#include <Zimbrel/MusicList.h>

#include <QApplication>

#include <cstdio>

namespace {

int failures = 0;

void expect(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "embed-musiclist: %s\n", what);
        ++failures;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Zimbrel::MusicList player;
    expect(player.Count() == -1, "Count is not -1 before Init");
    expect(player.Init(20), "Init(20) failed");
    expect(!player.PlaySound(QStringLiteral("/nonexistent/sound.wav")),
           "PlaySound of a missing file succeeded");

    player.FoldMus(QStringLiteral("/nonexistent/numbers"));
    expect(player.Number(1234) == QStringLiteral("/nonexistent/numbers/1234.mp3"),
           "Number(1234) did not return the clip name");
    expect(player.Count() == 5, "Number(1234) did not queue five clips");

    // The exception type must keep its identity across the library boundary.
    bool thrown = false;
    try {
        player.Position();
    } catch (const Zimbrel::PositionUnavailable &) {
        thrown = true;
    }
    expect(thrown, "Position did not throw PositionUnavailable with nothing played");

    player.Clear();
    expect(player.Count() == 0, "Clear did not empty the list");
    return failures == 0 ? 0 : 1;
}
