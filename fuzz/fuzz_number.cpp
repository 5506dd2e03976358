#include "MusicList.h"
#include "MusicListProbe.h"
#include "OffscreenApplication.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>
#include <cstring>

// Number over any 32-bit value: it queues clips into a real MusicList (whose
// files do not exist, so nothing plays) and must never crash, overflow or
// queue anything but a numeral clip of the folder.

namespace {

const QString kFolder = QStringLiteral("/nonexistent-zimbrel-numbers/");
const QString kExtension = QStringLiteral(".mp3");

Zimbrel::MusicList *list = nullptr;

// The 42 clip names: 0 to 19, the tens, the hundreds (20 + count), the forms
// of "thousand" and the forms of one and two before it.
QSet<QString> clipNames()
{
    QSet<QString> names;
    for (int n = 0; n <= 19; ++n)
        names << QString::number(n);
    for (int n = 20; n <= 90; n += 10)
        names << QString::number(n);
    for (int n = 21; n <= 29; ++n)
        names << QString::number(n);
    names << "31" << "32" << "33" << "51" << "52";
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    startOffscreenApplication((*argv)[0]);
    list = new Zimbrel::MusicList;
    list->FoldMus(kFolder, kExtension);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QSet<QString> clips = clipNames();
    if (size < sizeof(qint32))
        return 0;
    qint32 value = 0;
    std::memcpy(&value, data, sizeof value);

    list->Clear();
    const QString said = list->Number(value);
    if (!said.isEmpty() && said != kFolder + QString::number(value) + kExtension)
        std::abort();

    const QStringList queued = Zimbrel::MusicListProbe(*list).entries();
    // Thousands take two clips, hundreds, tens and units one each.
    if (queued.size() > 5)
        std::abort();
    for (const QString &entry : queued) {
        if (!entry.startsWith(kFolder) || !entry.endsWith(kExtension))
            std::abort();
        const QString clip = entry.mid(kFolder.size(), entry.size() - kFolder.size()
                                                           - kExtension.size());
        if (value >= 0 && value <= 9999 && !clips.contains(clip))
            std::abort();
    }
    return 0;
}
