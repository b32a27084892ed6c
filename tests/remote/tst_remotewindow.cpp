#include "DriveScan.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "RemoteScanCommand.h"
#include "SavedScanCommand.h"
#include "SettingsStore.h"
#include "WindowFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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
    void asked();
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

// Asked from the menu: the machine typed or picked among the recent ones, newest first, with the
// folder last walked; a name ssh would take for an option is refused with the dialog left open.
void TestRemoteWindow::asked()
{
    QTemporaryDir dir;
    StandIn(dir, R"(printf '[1,2,{},[{"name":"/srv"},{"name":"f","asize":5}]]')");
    SettingsStore store(dir.filePath(u"QNL.conf"_s));
    MainWindow window({}, &store);
    window.show();
    // Answers the dialog once it is open, `answer` typed in and OK pressed; what it offered: the
    // machines, and the folder.
    const auto ask = [&](const QString &answer) {
        std::pair<QStringList, QString> offered;
        QTimer::singleShot(0, &window, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            auto *machine = dialog->findChild<QComboBox *>(u"machine"_s);
            auto *folder = dialog->findChild<QLineEdit *>(u"folder"_s);
            for (int i = 0; i < machine->count(); ++i)
                offered.first.append(machine->itemText(i));
            offered.second = folder->text();
            QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
            machine->setEditText({});
            QTest::keyClicks(machine, u"-oProxyCommand=x"_s);
            ok->click();
            QVERIFY(dialog->isVisible() && dialog->findChild<QLabel *>(u"problem"_s)->isVisible());
            machine->setEditText(answer);
            folder->setText(u"/srv"_s);
            ok->click();
            if (dialog->isVisible()) // refused again: closed, so that the test goes on
                qobject_cast<QDialog *>(dialog)->reject();
        });
        window.findChild<QAction *>(u"mnuFileRemoteScan"_s)->trigger();
        [&] { QVERIFY(QTest::qWaitFor([&] { return !window.isScanning(); }, 60000)); }();
        return offered;
    };
    QCOMPARE(ask(u"srv"_s), std::pair(QStringList(), u"/"_s));
    QCOMPARE(window.folderTree()->rootfolder(), "srv:/srv/"_ba);
    QCOMPARE(ask(u"other"_s), std::pair(QStringList({u"srv"_s}), u"/srv"_s));
    QCOMPARE(ask(u"srv"_s), std::pair(QStringList({u"other"_s, u"srv"_s}), u"/srv"_s));
}

QTEST_MAIN(TestRemoteWindow)
#include "tst_remotewindow.moc"
