#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Hands a document, folder or address to the desktop with a verb such as "Open": the associated
// application opens it. Linux has one verb: an empty operation, "open" and "explore" (any case)
// open; any other verb ("print", "edit") has no meaning here and does nothing, and neither does a
// local file that does not exist. True when an application took it. open is the platform step,
// apart so that a test can watch it.
bool ShellOpen(const QString &operation, const QString &file, const QString &directory = {},
               const std::function<bool(const QUrl &)> &open = {});

// QDesktopServices::openUrl; false when nothing could take the URL.
bool ShellOpenAssociated(const QUrl &url);

// The URL for file: an address with a scheme (http:, mailto:, file:) as it is; anything else a
// local path, taken relative to directory when it is relative (to the working folder without one).
// A name that exists as a local file wins over a scheme-like prefix ("notes:1.txt"). Empty for an
// empty file.
QUrl ShellOpenUrl(const QString &file, const QString &directory = {});
