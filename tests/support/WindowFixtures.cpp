#include "WindowFixtures.h"

#include "DirListModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// Volumes known by their mount points alone, as given.
static Volume VolumeAt(const QByteArray &mountPoint, DriveKind kind)
{
    Volume volume;
    volume.mountPoint = mountPoint;
    volume.kind = kind;
    return volume;
}

Volume TempVolume::volume() const
{
    return VolumeAt(QFile::encodeName(path()), DriveKind::Fixed);
}

BoxCatcher::BoxCatcher()
{
    QObject::connect(&timer, &QTimer::timeout, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer.stop();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    });
    timer.start(10);
}

QList<Volume> NamedDrives(int count)
{
    QList<Volume> drives;
    for (int i = 0; i < count; ++i)
        drives.append(VolumeAt(i == 0 ? QByteArray("/") : "/media/d" + QByteArray::number(i),
                               i % 2 ? DriveKind::Removable : DriveKind::Fixed));
    return drives;
}

std::unique_ptr<MainWindow> ScannedWindow(const QList<Volume> &drives)
{
    auto window = std::make_unique<MainWindow>(drives, nullptr);
    window->show();
    window->driveCommand(0);
    return window;
}

QString Flags(const QWidget &window, const QStringList &names, const char *property)
{
    QString flags;
    for (const QString &name : names)
        for (const QObject *object : window.findChildren<QObject *>(name))
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
