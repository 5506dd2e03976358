#pragma once

#include <QProcess>
#include <QString>
#include <QVector>

#include <memory>

namespace ZimbrelTest {

// One file a host may hand the player: its name, whether it holds audio that
// the player must play (every other one it must refuse), and whether that
// audio can be heard (some play silence).
struct HostileFile {
    QString label;
    QString name;
    bool plays = false;
    bool audible = false;
};

// Makes, in a folder of its own, every kind of name and file that is not
// plainly a playable sound: missing, empty, random, cut, lying headers,
// special files, links, a huge sparse file, video, awkward names. Names that
// look like URLs are relative paths: use them with the folder as the current
// directory. Keeps the writers of its FIFOs alive until it is destroyed.
class HostileFiles
{
public:
    // urlPort: the port named in the URL-like names.
    HostileFiles(const QString &folder, quint16 urlPort);
    ~HostileFiles();
    HostileFiles(const HostileFiles &) = delete;
    HostileFiles &operator=(const HostileFiles &) = delete;

    // False, with error() saying why, when a file could not be made.
    bool make();
    QString error() const { return m_error; }
    const QVector<HostileFile> &files() const { return m_files; }

    // A name whose bytes are not UTF-8, and the QString that reads them as
    // local 8-bit text, which is what a program gets from its arguments.
    static QByteArray invalidUtf8Name();

private:
    bool add(const QString &label, const QString &name, bool plays, bool audible = true);
    QString path(const QString &name) const;

    QString m_folder;
    quint16 m_urlPort;
    QString m_error;
    QVector<HostileFile> m_files;
    int m_silentWriter = -1;
    std::unique_ptr<QProcess> m_writer;
};

} // namespace ZimbrelTest
