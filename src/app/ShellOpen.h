#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Hands a document, folder or address to the desktop with a verb such as "Open": the associated
// application opens it; when nothing is associated with it, the desktop's application chooser is
// offered instead. The caller learns nothing of the outcome, and nothing is shown on failure except
// the chooser. Linux has one verb: an empty operation, "open" and "explore" (any case) open; any
// other verb ("print", "edit") has no meaning here and does nothing. The parameters and the show
// mode have no meaning for a desktop document launch and are ignored.
void ShellOpen(const QString &operation, const QString &file, const QString &parameters = {},
               const QString &directory = {}, int show = 1);

// The two platform steps, apart so that a test can watch their order.
// The associated application: QDesktopServices::openUrl; false when nothing could take the URL.
bool ShellOpenAssociated(const QUrl &url);
// The chooser: the XDG desktop portal's OpenURI with ask=true (OpenFile for a local file). Quiet
// when no portal is on the session bus.
void ShellOpenChooser(const QUrl &url);

struct ShellOpenSteps
{
    std::function<bool(const QUrl &)> open = ShellOpenAssociated;
    std::function<void(const QUrl &)> choose = ShellOpenChooser;
};

// ShellOpen with the given steps.
void ShellOpen(const ShellOpenSteps &steps, const QString &operation, const QString &file,
               const QString &directory = {});

// The URL for file: an address with a scheme (http:, mailto:, file:) as it is; anything else a
// local path, taken relative to directory when it is relative (to the working folder without one).
// A name that exists as a local file wins over a scheme-like prefix ("notes:1.txt"). Empty for an
// empty file.
QUrl ShellOpenUrl(const QString &file, const QString &directory = {});
