#include "FolderChoice.h"

#include "FormatText.h"
#include "TextTable.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

QByteArray FolderChoice::ask(QWidget *window)
{
    return QFile::encodeName(
        QFileDialog::getExistingDirectory(window, Text(TextId::ScanFolderTitle), QDir::homePath()));
}

QByteArray FolderChoice::realFolder(const QByteArray &path, QWidget *window)
{
    char real[PATH_MAX];
    struct stat status
    {
    };
    if (!::realpath(path.constData(), real) || ::stat(real, &status) != 0 ||
        !S_ISDIR(status.st_mode)) {
        QMessageBox box(QMessageBox::Warning, Text(TextId::ErrorTitle),
                        FormatText(Text(TextId::NotAFolder), QFile::decodeName(path)),
                        QMessageBox::Ok, window);
        box.exec();
        return {};
    }
    return QByteArray(real);
}
