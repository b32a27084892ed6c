#include "ShellOpen.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool IsOpenVerb(const QString &operation)
{
    return operation.isEmpty() || operation.compare(u"open"_s, Qt::CaseInsensitive) == 0
        || operation.compare(u"explore"_s, Qt::CaseInsensitive) == 0;
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

void ShellOpenChooser(const QUrl &url)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString service = u"org.freedesktop.portal.Desktop"_s;
    const QString object = u"/org/freedesktop/portal/desktop"_s;
    const QString interface = u"org.freedesktop.portal.OpenURI"_s;
    const QVariantMap options{{u"ask"_s, true}};
    QDBusMessage call;
    if (url.isLocalFile() && (bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        // The portal wants the file itself, not its name, so that it also works from a sandbox.
        const int fd = ::open(QFile::encodeName(url.toLocalFile()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        const QDBusUnixFileDescriptor handle(fd); // holds its own duplicate
        ::close(fd);
        call = QDBusMessage::createMethodCall(service, object, interface, u"OpenFile"_s);
        call << QString() << QVariant::fromValue(handle) << options;
    } else {
        call = QDBusMessage::createMethodCall(service, object, interface, u"OpenURI"_s);
        call << QString() << url.toString(QUrl::FullyEncoded) << options;
    }
    // The reply only names the portal's request; the user's choice is the portal's business, so
    // nothing waits for it, and a missing portal stays unnoticed.
    bus.send(call);
}

void ShellOpen(const ShellOpenSteps &steps, const QString &operation, const QString &file,
               const QString &directory)
{
    if (!IsOpenVerb(operation))
        return;
    const QUrl url = ShellOpenUrl(file, directory);
    if (!url.isValid() || url.isEmpty())
        return;
    // A missing file is a failure of its own, not a missing association: no chooser for it.
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return;
    if (steps.open && steps.open(url))
        return;
    if (steps.choose)
        steps.choose(url);
}

void ShellOpen(const QString &operation, const QString &file, const QString &parameters,
               const QString &directory, int show)
{
    Q_UNUSED(parameters);
    Q_UNUSED(show);
    ShellOpen(ShellOpenSteps{}, operation, file, directory);
}
