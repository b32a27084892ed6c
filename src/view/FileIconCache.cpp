#include "FileIconCache.h"

#include <QMimeType>

FileIconCache &FileIconCache::instance()
{
    static FileIconCache cache;
    return cache;
}

QIcon FileIconCache::iconFor(const QString &fileName)
{
    auto it = m_icons.constFind(fileName);
    if (it == m_icons.constEnd()) {
        const QMimeType mime = m_mimeTypes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        it = m_icons.insert(fileName,
                            QIcon::fromTheme(mime.iconName(),
                                             QIcon::fromTheme(mime.genericIconName(), m_fallback)));
    }
    return *it;
}
