#include "ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

bool IsOpenVerb(const QString &operation)
{
    return operation.isEmpty() || operation.compare(u"open"_s, Qt::CaseInsensitive) == 0 ||
           operation.compare(u"explore"_s, Qt::CaseInsensitive) == 0;
}

} // namespace

QUrl ShellOpenUrl(const QString &file, const QString &directory)
{
    if (file.isEmpty())
        return {};
    // QDir("") is the working folder, so a relative name without a directory lands there.
    const QString path = QDir::cleanPath(QDir(directory).absoluteFilePath(file));
    // At least two letters of scheme, as a one-letter prefix is more likely a name than an address.
    static const QRegularExpression scheme(u"^[A-Za-z][A-Za-z0-9+.-]+:"_s);
    if (scheme.match(file).hasMatch() && !QFileInfo::exists(path))
        return QUrl(file, QUrl::TolerantMode);
    return QUrl::fromLocalFile(path);
}

bool ShellOpenAssociated(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool ShellOpen(const QString &operation, const QString &file, const QString &directory,
               const std::function<bool(const QUrl &)> &open)
{
    if (!IsOpenVerb(operation))
        return false;
    const QUrl url = ShellOpenUrl(file, directory);
    if (!url.isValid() || url.isEmpty())
        return false;
    // No application is asked to open what is not there.
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    return open ? open(url) : ShellOpenAssociated(url);
}
