#include "WindowFixtures.h"

#include "DirListModel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>

TempVolume::TempVolume()
{
    if (!m_dir.isValid())
        qFatal("cannot make a temporary folder");
}

void TempVolume::write(const QString &relative, qint64 bytes) const
{
    const QString file = filePath(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray(bytes, 'x')) != bytes)
        qFatal("cannot write a file of the test volume");
}

void TempVolume::mkpath(const QString &relative) const
{
    if (!QDir().mkpath(filePath(relative)))
        qFatal("cannot make a folder of the test volume");
}

Volume TempVolume::volume() const
{
    Volume volume;
    volume.mountPoint = QFile::encodeName(path());
    volume.kind = DriveKind::Fixed;
    return volume;
}

QList<Volume> NamedDrives(int count)
{
    QList<Volume> drives;
    for (int i = 0; i < count; ++i) {
        Volume volume;
        volume.mountPoint = i == 0 ? QByteArray("/") : "/media/d" + QByteArray::number(i);
        volume.kind = i % 2 ? DriveKind::Removable : DriveKind::Fixed;
        drives.append(volume);
    }
    return drives;
}

std::unique_ptr<MainWindow> ScannedWindow(const QList<Volume> &drives)
{
    auto window = std::make_unique<MainWindow>(drives, nullptr);
    window->show();
    window->driveCommand(0);
    return window;
}

QAction *FindAction(const QWidget &window, const QString &name)
{
    return window.findChild<QAction *>(name);
}

QList<QObject *> FindObjects(const QWidget &window, const QStringList &names)
{
    QList<QObject *> objects;
    for (const QString &name : names)
        objects += window.findChildren<QObject *>(name);
    return objects;
}

QString Flags(const QList<QObject *> &objects, const char *property)
{
    QString flags;
    for (const QObject *object : objects)
        flags += object->property(property).toBool() ? u'1' : u'0';
    return flags;
}

QStringList ListNames(const DirListModel &model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(model.index(row, DirListModel::Name).data().toString());
    return names;
}
