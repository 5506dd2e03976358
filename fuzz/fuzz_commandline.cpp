#include "ExpectedNotification.h"
#include "OffscreenApplication.h"
#include "SubMain.h"
#include "ZMBMain.h"

#include <QPlainTextEdit>

#include <cstdint>
#include <cstdlib>

// The input is the program's arguments, separated by NUL bytes as the kernel
// hands them over; each is read as main() reads it. Main must show the second
// "/" piece of the joined line (or the error text) and take the first as the
// sound's name, for any bytes at all.

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

    const auto expected = ZimbrelTest::expectedNotification(arguments.join(u' '));
    const auto *edit = ZMBMain::instance()->findChild<QPlainTextEdit *>("ZMBEdit");
    const QString sound = SubMain::CmdParts.size() >= 2 ? SubMain::CmdParts.at(0)
                                                        : QStringLiteral("error");
    if (!edit || !ZMBMain::instance()->isVisible()
        || edit->toPlainText() != ZimbrelTest::asShownInTextBox(expected.text)
        || sound != expected.sound)
        std::abort();
    return 0;
}
