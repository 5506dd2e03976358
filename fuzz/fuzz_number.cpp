// SPDX-License-Identifier: MIT
#include "MusicList.h"
#include "MusicListProbe.h"
#include "OffscreenApplication.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// Number over any 32-bit value: it queues clips into a real MusicList (whose
// files do not exist, so nothing plays) and must never crash, overflow or
// queue anything but a numeral clip of the folder.

namespace {

const QString kFolder = QStringLiteral("/nonexistent-zimbrel-numbers/");
Zimbrel::MusicList *list = nullptr;

// The clip names: 0 to 19, the tens, the hundreds (20 + count), the forms of
// "thousand" (31 to 33) and the forms of one and two before it (51, 52).
bool isClip(const QString &name)
{
    bool number = false;
    const int clip = name.toInt(&number);
    return number && QString::number(clip) == name && clip >= 0 && clip <= 90
           && (clip <= 33 || clip % 10 == 0 || clip == 51 || clip == 52);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    startOffscreenApplication((*argv)[0]);
    list = new Zimbrel::MusicList;
    list->FoldMus(kFolder, ".mp3");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < sizeof(qint32))
        return 0;
    qint32 value = 0;
    std::memcpy(&value, data, sizeof value);
    list->Clear();
    const QString said = list->Number(value);
    if (!said.isEmpty() && said != kFolder + QString::number(value) + ".mp3")
        std::abort();
    const QStringList queued = Zimbrel::MusicListProbe(*list).entries();
    // Thousands take two clips, hundreds, tens and units one each.
    if (queued.size() > 5)
        std::abort();
    for (const QString &entry : queued) {
        if (!entry.startsWith(kFolder) || !entry.endsWith(".mp3"))
            std::abort();
        if (value >= 0 && value <= 9999 && !isClip(entry.sliced(kFolder.size()).chopped(4)))
            std::abort();
    }
    return 0;
}
