// SPDX-License-Identifier: MIT
#include "SoundTheme.h"

#include <gio/gio.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

namespace SoundTheme {

namespace {

template <auto Free>
struct Freeing {
    void operator()(auto *pointer) const { Free(pointer); }
};
// Owns one GLib allocation or reference, dropped by Free.
template <typename T, auto Free>
using Owned = std::unique_ptr<T, Freeing<Free>>;
using OwnedString = Owned<gchar, g_free>;

const QString kFallbackTheme = QStringLiteral("freedesktop");
const QStringList kExtensions = {QStringLiteral(".disabled"), QStringLiteral(".oga"),
                                 QStringLiteral(".ogg"), QStringLiteral(".wav")};

bool staysInside(const QString &name)
{
    return !name.isEmpty() && !name.startsWith(u'.') && !name.contains(u'/')
           && !name.contains(QStringLiteral(".."));
}

// The folders of the theme named theme, then those of the themes it
// inherits, depth first; seen stops a cycle of Inherits.
void addFolders(const QString &theme, const QStringList &bases, QSet<QString> &seen,
                QStringList &folders)
{
    if (!staysInside(theme) || seen.contains(theme))
        return;
    seen.insert(theme);
    // The first index.theme found describes the theme; its folders may lie
    // below every base, so a user can add to a theme of the system.
    for (const QString &base : bases) {
        const QString themeFolder = base + QStringLiteral("/sounds/") + theme + u'/';
        const Owned<GKeyFile, g_key_file_free> index(g_key_file_new());
        if (!g_key_file_load_from_file(index.get(), QFile::encodeName(themeFolder + QStringLiteral("index.theme")),
                                       G_KEY_FILE_NONE, nullptr))
            continue;
        const auto value = [&](const QString &group, const char *key) {
            const OwnedString text(g_key_file_get_string(index.get(), group.toUtf8(), key, nullptr));
            return QString::fromUtf8(text.get());
        };
        // Lists are comma-separated; blanks, too, are found in the wild.
        const QRegularExpression separators(QStringLiteral("[,; ]"));
        const QString theTheme = QStringLiteral("Sound Theme");
        for (const QString &directory : value(theTheme, "Directories").split(separators, Qt::SkipEmptyParts)) {
            const QString profile = value(directory, "OutputProfile");
            if (!staysInside(directory) || (!profile.isEmpty() && profile != QStringLiteral("stereo")))
                continue;
            for (const QString &below : bases)
                folders << below + QStringLiteral("/sounds/") + theme + u'/' + directory + u'/';
        }
        for (const QString &parent : value(theTheme, "Inherits").split(separators, Qt::SkipEmptyParts))
            addFolders(parent, bases, seen, folders);
        return;
    }
}

} // namespace

QString chosenTheme()
{
    // GSettings aborts the program for a schema that is not installed: ask
    // only once the schema is known to be there.
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    const Owned<GSettingsSchema, g_settings_schema_unref> schema(
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.sound", TRUE) : nullptr);
    if (!schema || !g_settings_schema_has_key(schema.get(), "theme-name"))
        return kFallbackTheme;
    const Owned<GSettings, g_object_unref> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    const OwnedString theme(g_settings_get_string(settings.get(), "theme-name"));
    const QString name = QString::fromUtf8(theme.get());
    return name.isEmpty() ? kFallbackTheme : name;
}

QString soundFile(const QString &name)
{
    if (!staysInside(name))
        return {};
    const QStringList bases = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    QSet<QString> seen;
    QStringList folders;
    addFolders(chosenTheme(), bases, seen, folders);
    addFolders(kFallbackTheme, bases, seen, folders);
    // "dialog-warning-big", then "dialog-warning", then "dialog": each in
    // every theme before the next shorter name.
    for (QString variant = name; !variant.isEmpty(); variant.truncate(qMax(variant.lastIndexOf(u'-'), 0))) {
        for (const QString &folder : folders) {
            for (const QString &extension : kExtensions) {
                if (QFileInfo::exists(folder + variant + extension))
                    return extension == kExtensions.first() ? QString() : folder + variant + extension;
            }
        }
    }
    return {};
}

} // namespace SoundTheme
