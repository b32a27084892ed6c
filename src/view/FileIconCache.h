#pragma once

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

// The small pictures of the list's file rows, chosen by the file's name alone (its extension,
// through the MIME database and the icon theme), so no file is ever opened. Kept per file name
// for the whole run: the picture depends only on the name, so the first lookup of a name serves
// every later row of that name, in any folder. Used from the GUI thread only.
class FileIconCache
{
public:
    static FileIconCache &instance();

    // The picture for names the theme has nothing for; set it before the first lookup, as icons
    // already cached keep the one they got.
    void setFallback(const QIcon &icon) { m_fallback = icon; }
    QIcon iconFor(const QString &fileName);

private:
    FileIconCache() = default;

    QMimeDatabase m_mimeTypes;
    QHash<QString, QIcon> m_icons;
    QIcon m_fallback;
};
