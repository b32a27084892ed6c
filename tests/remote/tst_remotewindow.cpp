#include "DriveScan.h"
#include "FolderTreeView.h"
#include "RemoteScanCommand.h"
#include "WindowFixtures.h"

#include <QFile>
#include <QStatusBar>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int Parents = 100, FoldersEach = 100, FilesEach = 100; // a million files

// A scan's text as quarnel-scan writes one, of a million files of 7 bytes each.
bool WriteExport(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text =
        "[1,2,{\"progname\":\"quarnel\",\"progver\":\"1\",\"timestamp\":1764979200},\n"
        "[{\"name\":\"/srv\"}";
    for (int p = 0; p < Parents; ++p) {
        text += ",\n[{\"name\":\"p" + QByteArray::number(p) + "\"}";
        for (int f = 0; f < FoldersEach; ++f) {
            text += ",\n[{\"name\":\"d" + QByteArray::number(f) + "\"}";
            for (int n = 0; n < FilesEach; ++n)
                text += ",\n{\"name\":\"file-" + QByteArray::number(n) +
                        ".dat\",\"asize\":7,\"dsize\":4096}";
            text += ']';
        }
        text += ']';
        if (file.write(text) != text.size())
            return false;
        text.clear();
    }
    text += "]]\n";
    return file.write(text) == text.size();
}

// Stands in for ssh: says which walker runs, then does as `body` says, whatever it is asked.
void StandIn(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(u"ssh"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho 'quarnel-remote: quarnel-scan' >&2\n" + body + '\n');
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("QUARNEL_SSH", QFile::encodeName(path));
}

} // namespace

// A walk of another machine from the window: the scan is read aside while the window stays live,
// then becomes a saved scan's drive; a failure is told, and a stop adds nothing.
class TestRemoteWindow : public QObject
{
    Q_OBJECT

private slots:
    void millionEntries();
    void failureTold();
    void stopped();
};

void TestRemoteWindow::millionEntries()
{
    QTemporaryDir dir;
    QVERIFY(WriteExport(dir.filePath(u"scan.json"_s)));
    StandIn(dir, "exec cat " + QFile::encodeName(dir.filePath(u"scan.json"_s)));
    MainWindow window({}, nullptr);
    window.show();
    QVERIFY(window.remoteScans().walk(u"srv"_s, u"/srv"_s));
    QVERIFY(window.isScanning());
    QVERIFY(QTest::qWaitFor([&] { return !window.isScanning(); }, 600000));
    const QByteArray root = window.folderTree()->rootfolder();
    QCOMPARE(root, "srv:/srv/"_ba);
    const auto records = window.folders().locate(root).first;
    QVERIFY(records);
    QCOMPARE(records->totalSize(), quint64(7) * Parents * FoldersEach * FilesEach);
    QCOMPARE(records->count(), 1 + Parents + Parents * FoldersEach);
    // Nothing of it is on this machine: none of it may be acted on.
    QVERIFY(!window.findChild<QStatusBar *>()->isHidden());
}

void TestRemoteWindow::failureTold()
{
    QTemporaryDir dir;
    StandIn(dir, "exit 86"); // the script's "neither walker"
    MainWindow window({}, nullptr);
    window.show();
    BoxCatcher box;
    QVERIFY(window.remoteScans().walk(u"srv"_s, u"/"_s));
    QVERIFY(Settled(window));
    QVERIFY(QTest::qWaitFor([&] { return !box.text.isEmpty(); }));
    QVERIFY2(box.text.contains(u"ni quarnel-scan ni ncdu"_s), qPrintable(box.text));
    QCOMPARE(window.folders().count(), 0);
}

void TestRemoteWindow::stopped()
{
    QTemporaryDir dir;
    StandIn(dir, "printf '[1,2,{}'\nwhile :; do printf ' ' || exit 1; sleep 0.05; done");
    MainWindow window({}, nullptr);
    window.show();
    QVERIFY(window.remoteScans().walk(u"srv"_s, u"/"_s));
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(Settled(window));
    QCOMPARE(window.folders().count(), 0);
}

QTEST_MAIN(TestRemoteWindow)
#include "tst_remotewindow.moc"
