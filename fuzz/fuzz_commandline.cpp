// SPDX-License-Identifier: MIT
#include "OffscreenApplication.h"
#include "SubMain.h"
#include "ZMBMain.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

// The input is the program's arguments, separated by NUL bytes as the kernel
// hands them over; each is read as main() reads it. Main must show the second
// "/" piece of the joined line (or the error text) and take the first as the
// sound's name, for any bytes at all.

namespace {

// What the window must show for a command line, found by searching for the
// slashes rather than by splitting as the program does, as a text box shows
// it (line and paragraph separators become line breaks); and the sound.
std::pair<QString, QString> expectedNotification(const QString &line)
{
    const qsizetype first = line.indexOf(u'/');
    if (first < 0)
        return {QStringLiteral("error"), QStringLiteral("Error command Line!")};
    const qsizetype second = line.indexOf(u'/', first + 1);
    QTextDocument document;
    document.setPlainText(line.mid(first + 1, second < 0 ? -1 : second - first - 1));
    return {line.left(first), document.toPlainText()};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    startOffscreenApplication((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QStringList arguments;
    if (size > 0) {
        const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
        for (const QByteArray &argument : bytes.split('\0'))
            arguments << QString::fromLocal8Bit(argument);
    }
    SubMain::Main(arguments);
    QCoreApplication::processEvents();

    const auto [sound, text] = expectedNotification(arguments.join(u' '));
    const auto *edit = ZMBMain::instance()->findChild<QPlainTextEdit *>("ZMBEdit");
    const QString named = SubMain::CmdParts.size() >= 2 ? SubMain::CmdParts.at(0) : QStringLiteral("error");
    if (!edit || !ZMBMain::instance()->isVisible() || edit->toPlainText() != text || named != sound)
        std::abort();
    return 0;
}
