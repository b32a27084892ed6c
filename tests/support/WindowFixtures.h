#pragma once

#include "MainWindow.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class DirListModel;
class QAction;

// A temporary folder of the test's own, taken for a volume.
class TempVolume
{
public:
    TempVolume();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    // Writes a file of so many bytes, making the folders it needs.
    void write(const QString &relative, qint64 bytes) const;
    void mkpath(const QString &relative) const;
    Volume volume() const;

private:
    QTemporaryDir m_dir;
};

// Volumes known only by their mount points, "/" then "/media/d1"...; nothing is walked on them.
QList<Volume> NamedDrives(int count);
// A shown window over the volumes, with the first one picked and walked.
std::unique_ptr<MainWindow> ScannedWindow(const QList<Volume> &drives);
// A command of the window by its object name.
QAction *FindAction(const QWidget &window, const QString &name);
// The window's objects of these names, in this order.
QList<QObject *> FindObjects(const QWidget &window, const QStringList &names);
// One character per object, '1' where the property ("enabled", "checked") is true.
QString Flags(const QList<QObject *> &objects, const char *property);
// The names in the list, in the order shown.
QStringList ListNames(const DirListModel &model);
