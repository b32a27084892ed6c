#pragma once

#include "MainWindow.h"

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class DirListModel;

// A temporary folder of the test's own, taken for a volume.
class TempVolume
{
public:
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    // Writes a file of so many bytes, making the folders it needs.
    void write(const QString &relative, qint64 bytes) const;
    void mkpath(const QString &relative) const;
    Volume volume() const;

private:
    QTemporaryDir m_dir;
};

// Accepts the first message box the program shows while it exists, noting what the box said.
// It looks a hundred times a second, as the box opens inside some nested event loop.
struct BoxCatcher
{
    BoxCatcher();
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer timer;
};

// Volumes known only by their mount points, "/" then "/media/d1"...; nothing is walked on them.
QList<Volume> NamedDrives(int count);
// A shown window over the volumes, with the first one picked and walked.
std::unique_ptr<MainWindow> ScannedWindow(const QList<Volume> &drives);
// One character per object of these names, in this order: '1' where the property is true.
QString Flags(const QWidget &window, const QStringList &names, const char *property);
// The names in the list, in the order shown.
QStringList ListNames(const DirListModel &model);
