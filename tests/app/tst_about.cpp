#include "AboutWindow.h"
#include "BoxCatcher.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// Markers in the test table: the folder of the temporary directory, and an absent value.
const QString Here = u"<here>"_s;
const QString Absent = u"<absent>"_s;
} // namespace

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(u"Quarnel"_s);
        QCoreApplication::setApplicationVersion(u"1.0.0"_s);
    }

    void launcherLookup_data()
    {
        QTest::addColumn<QString>("path");     // entry 1
        QTest::addColumn<QString>("location"); // entry 2
        QTest::addColumn<bool>("programFile"); // hardinfo exists in the temporary directory
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QStringList>("started");
        QTest::addColumn<bool>("unavailable");

        const QString program = Here + u"/hardinfo"_s;
        QTest::newRow("entry 1 wins over a valid entry 2")
            << u"/opt/si"_s << Here << true << true << QStringList{u"/opt/si"_s} << false;
        QTest::newRow("entry 1 fails to start, entry 2 untried")
            << u"/opt/si"_s << Here << true << false << QStringList{u"/opt/si"_s} << true;
        QTest::newRow("entry 2 folder without the program")
            << Absent << Here << false << true << QStringList{} << true;
        QTest::newRow("entry 2 with the program")
            << Absent << Here << true << true << QStringList{program} << false;
        QTest::newRow("entry 2 program fails to start")
            << Absent << Here << true << false << QStringList{program} << true;
        QTest::newRow("no entries") << Absent << Absent << true << true << QStringList{} << true;
        QTest::newRow("value cut at NUL")
            << u"/opt/si\0junk"_s << Absent << false << true << QStringList{u"/opt/si"_s} << false;
    }

    void launcherLookup()
    {
        QFETCH(QString, path);
        QFETCH(QString, location);
        QFETCH(bool, programFile);
        QFETCH(bool, startWorks);
        QFETCH(QStringList, started);
        QFETCH(bool, unavailable);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto resolve = [&dir](QString text) { return text.replace(Here, dir.path()); };
        if (programFile) {
            QFile file(dir.filePath(u"hardinfo"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        SettingsStore store(dir.filePath(u"QNL.conf"_s));
        {
            QSettings ini(store.fileName(), QSettings::IniFormat);
            if (path != Absent)
                ini.setValue(u"SysInfo/PATH"_s, resolve(path));
            if (location != Absent)
                ini.setValue(u"SysInfo/Location"_s, resolve(location));
        }

        QStringList attempts;
        QStringList reports;
        AboutWindow::Steps steps;
        steps.start = [&](const QString &program) {
            attempts << program;
            return startWorks;
        };
        steps.reportUnavailable = [&](QWidget *, const QString &text) { reports << text; };
        AboutWindow about(&store, nullptr, steps);
        about.StartSysInfo();

        for (QString &program : started)
            program = resolve(program);
        QCOMPARE(attempts, started);
        QCOMPARE(reports, unavailable ? QStringList{u"Le Systeme d'Information est indisponible"_s}
                                      : QStringList{});
    }

    void failingLinkShowsErrorAndStaysOpen()
    {
        AboutWindow::Steps steps;
        steps.openLink = [](const QUrl &) { return false; };
        AboutWindow about(nullptr, nullptr, steps);
        about.show();

        BoxCatcher box;
        emit about.findChild<QLabel *>(u"lblSiteURL"_s)->linkActivated(u"ignored"_s);

        QCOMPARE(box.title(), u"Error"_s);
        QCOMPARE(box.text(), u"Error 31: No application is associated with the address\r\n"
                             u"in frmAbout.lblSiteURL_Click.\r\n"_s);
        QCOMPARE(box.icon(), QMessageBox::Critical);
        QVERIFY(about.isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
