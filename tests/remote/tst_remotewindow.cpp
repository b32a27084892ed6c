#include "DriveScan.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "RemoteScanCommand.h"
#include "SavedScanCommand.h"
#include "WindowFixtures.h"

#include <QApplication>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int Folders = 10000, FilesEach = 100; // a million files

// A scan's text as quarnel-scan writes one, of a million files of 7 bytes each.
bool WriteExport(const QString &path)
{
    QFile file(path);
    QByteArray files;
    for (int n = 0; n < FilesEach; ++n)
        files += ",\n{\"name\":\"file-" + QByteArray::number(n) + ".dat\",\"asize\":7}";
    bool written = file.open(QIODevice::WriteOnly) &&
                   file.write("[1,2,{\"progname\":\"quarnel\"},\n[{\"name\":\"/srv\"}") > 0;
    for (int f = 0; f < Folders && written; ++f)
        written = file.write(",\n[{\"name\":\"d" + QByteArray::number(f) + "\"}" + files + ']') > 0;
    return written && file.write("]]\n") == 3;
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
    QVERIFY(QTest::qWaitFor([&] { return !window.isScanning(); }, 600000));
    const QByteArray root = window.folderTree()->rootfolder();
    QCOMPARE(root, "srv:/srv/"_ba);
    const auto records = window.folders().locate(root).first;
    QVERIFY(records);
    QCOMPARE(records->totalSize(), quint64(7) * Folders * FilesEach);
    QCOMPARE(records->count(), 1 + Folders);
}

void TestRemoteWindow::stopped()
{
    QTemporaryDir dir;
    StandIn(dir, "printf '[1,2,{}'\nwhile :; do printf ' ' || exit 1; sleep 0.05; done");
    MainWindow window({}, nullptr);
    window.show();
    QVERIFY(window.remoteScans().walk(u"srv"_s, u"/"_s));
    // Once bytes come, the walk is told by the walker's name.
    QTRY_VERIFY2(
        window.statusPanels()->panelText(1).startsWith(u"Analyse de srv:/ par quarnel-scan : "_s),
        qPrintable(window.statusPanels()->panelText(1)));
    QVERIFY(!window.savedScans().open(dir.filePath(u"ssh"_s))); // not while a walk runs
    QWidget *focus = QApplication::focusWidget(); // where the key goes, once the window has one
    QTest::keyClick(focus ? focus : &window, Qt::Key_Escape);
    QVERIFY(Settled(window));
    QCOMPARE(window.folders().count(), 0);
}

QTEST_MAIN(TestRemoteWindow)
#include "tst_remotewindow.moc"
