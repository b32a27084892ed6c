#include "WindowFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTest>

using namespace Qt::StringLiterals;

const Files Sample{
    {u"b.txt"_s, 3000}, {u"sub/a.dat"_s, 4000}, {u"sub/deeper/c"_s, 96}, {u"p/a"_s, 121}};

Volume VolumeOf(const QTemporaryDir &dir)
{
    return Volume{QFile::encodeName(dir.path()), DriveKind::Fixed};
}

void Write(const QTemporaryDir &dir, const Files &files)
{
    for (const auto &[relative, bytes] : files) {
        QDir().mkpath(QFileInfo(dir.filePath(relative)).path());
        QFile out(dir.filePath(relative));
        if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray(bytes, 'x')) != bytes)
            qFatal("cannot write a file of the test volume");
    }
}

std::unique_ptr<MainWindow> ScannedWindow(const QTemporaryDir &volume)
{
    auto window = std::make_unique<MainWindow>(QList{VolumeOf(volume)}, nullptr);
    window->show();
    window->driveCommand(0);
    if (!Settled(*window))
        qFatal("the test volume's walk did not end");
    return window;
}

bool Settled(const MainWindow &window)
{
    return QTest::qWaitFor([&] { return !window.isScanning(); }, 30000);
}

BoxCatcher::BoxCatcher()
{
    QObject::connect(&timer, &QTimer::timeout, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer.stop();
            text = box->text();
            box->accept();
        }
    });
    timer.start(10);
}
