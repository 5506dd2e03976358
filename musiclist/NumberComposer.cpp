// SPDX-License-Identifier: MIT
#include "MusicList.h"

namespace Zimbrel {

namespace {

// Clip names beyond the plain numbers: hundreds are 20 + the count of
// hundreds, the word for thousand has a form for each kind of count before
// it, and one and two have forms of their own in front of it.
constexpr qint32 kHundredsBase = 20;
const QString kThousandAfterOne = QStringLiteral("31");
const QString kThousandAfterTwoToFour = QStringLiteral("32");
const QString kThousandAfterFiveToNine = QStringLiteral("33");
const QString kOneBeforeThousand = QStringLiteral("51");
const QString kTwoBeforeThousand = QStringLiteral("52");

// The sign of a negative number is worth 0, so it is never spoken.
qint32 digitValue(QChar character)
{
    return character.isDigit() ? character.digitValue() : 0;
}

// The working text after a cut never holds a sign: leading zeros only.
qint32 valueOf(const QString &digits)
{
    return digits.toInt();
}

} // namespace

QString MusicList::NumStr(qint32 value)
{
    return QString::number(value);
}

QString MusicList::Number(qint32 ListNum)
{
    if (NotPlayStat || FoldStr.isEmpty())
        return {};
    const auto queue = [this](const QString &clip) { AddFile(clip); };

    qint32 value = ListNum;
    QString text = NumStr(ListNum);

    if (text.size() == 4) {
        const qint32 thousands = digitValue(text.front());
        if (thousands == 1) {
            queue(kOneBeforeThousand);
            queue(kThousandAfterOne);
        } else if (thousands == 2) {
            queue(kTwoBeforeThousand);
            queue(kThousandAfterTwoToFour);
        } else if (thousands == 3 || thousands == 4) {
            queue(NumStr(thousands));
            queue(kThousandAfterTwoToFour);
        } else if (thousands >= 5 && thousands <= 9) {
            queue(NumStr(thousands));
            queue(kThousandAfterFiveToNine);
        }
        if (value % 1000 == 0)
            return {};
        text = text.right(3);
        value = valueOf(text);
    }

    if (text.size() == 3) {
        const qint32 hundreds = digitValue(text.front());
        if (hundreds >= 1 && hundreds <= 9)
            queue(NumStr(kHundredsBase + hundreds));
        if (value % 100 == 0)
            return {};
        text = text.right(2);
        value = valueOf(text);
    }

    if (text.size() == 2) {
        if (value <= 19) {
            // Teens, and -1 to -9, are one clip named by the whole text.
            queue(NumStr(value));
            return completedName(NumStr(ListNum));
        }
        const qint32 tens = digitValue(text.front());
        if (tens >= 2 && tens <= 9)
            queue(NumStr(10 * tens));
        if (value % 10 == 0)
            return {};
        text = text.right(1);
        value = valueOf(text);
    }

    if (text.size() == 1)
        queue(NumStr(value));

    return completedName(NumStr(ListNum));
}

} // namespace Zimbrel
