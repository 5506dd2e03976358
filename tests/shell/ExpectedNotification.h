#pragma once

#include <QString>
#include <QTextDocument>

namespace ZimbrelTest {

// What the window must show and play for a command line, found by searching
// for the slashes rather than by splitting as the program does.
struct ExpectedNotification {
    QString sound;
    QString text;
};

inline ExpectedNotification expectedNotification(const QString &line)
{
    const qsizetype first = line.indexOf(u'/');
    if (first < 0)
        return {QStringLiteral("error"), QStringLiteral("Error command Line!")};
    const qsizetype second = line.indexOf(u'/', first + 1);
    return {line.left(first), line.mid(first + 1, second < 0 ? -1 : second - first - 1)};
}

// A text box turns line and paragraph separators into line breaks: what it
// shows for text.
inline QString asShownInTextBox(const QString &text)
{
    QTextDocument document;
    document.setPlainText(text);
    return document.toPlainText();
}

} // namespace ZimbrelTest
