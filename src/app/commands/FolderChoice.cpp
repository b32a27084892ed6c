#include "FolderChoice.h"

#include "FileSystem.h"
#include "FormatText.h"
#include "TextTable.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

QByteArray FolderChoice::ask(QWidget *window)
{
    return QFile::encodeName(
        QFileDialog::getExistingDirectory(window, Text(TextId::ScanFolderTitle), QDir::homePath()));
}

QByteArray FolderChoice::realFolder(const QByteArray &path, QWidget *window)
{
    // Named by its real path, so that a link or "..", or the root of a listed volume, is the
    // drive it really is.
    const QByteArray real = FileSystem::ResolvedPath(path);
    FileStatus status;
    if (real.isEmpty() || !FileSystem::StatusOfPath(real, status, FileSystem::FollowLink::Yes) ||
        !status.isFolder()) {
        QMessageBox box(QMessageBox::Warning, Text(TextId::ErrorTitle),
                        FormatText(Text(TextId::NotAFolder), QFile::decodeName(path)),
                        QMessageBox::Ok, window);
        box.exec();
        return {};
    }
    return real;
}
