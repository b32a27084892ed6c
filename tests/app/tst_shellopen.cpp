#include "ShellOpen.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestShellOpen : public QObject
{
    Q_OBJECT
private slots:
    void associationFirstChooserOnlyWhenMissing_data();
    void associationFirstChooserOnlyWhenMissing();
    void fileToUrl_data();
    void fileToUrl();
    void existingNameWithColonStaysAFile();
};

void TestShellOpen::associationFirstChooserOnlyWhenMissing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("associated");
    QTest::addColumn<QStringList>("expected"); // the steps taken, in order

    const QString doc = u"file:///DIR/a%20b%231.dat"_s; // DIR: the test's folder
    QTest::newRow("associated") << u"Open"_s << u"a b#1.dat"_s << true << QStringList{u"open "_s + doc};
    QTest::newRow("no association") << u"open"_s << u"a b#1.dat"_s << false
                                    << QStringList{u"open "_s + doc, u"choose "_s + doc};
    QTest::newRow("address, no association")
        << QString() << u"https://example.org/x"_s << false
        << QStringList{u"open https://example.org/x"_s, u"choose https://example.org/x"_s};
    QTest::newRow("missing file") << u"Open"_s << u"gone.dat"_s << false << QStringList{};
    QTest::newRow("unknown verb") << u"print"_s << u"a b#1.dat"_s << false << QStringList{};
}

void TestShellOpen::associationFirstChooserOnlyWhenMissing()
{
    QFETCH(QString, operation);
    QFETCH(QString, file);
    QFETCH(bool, associated);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile doc(dir.filePath(u"a b#1.dat"_s));
    QVERIFY(doc.open(QIODevice::WriteOnly));
    const QString dirUrl = QUrl::fromLocalFile(dir.path()).toString(QUrl::FullyEncoded);
    for (QString &step : expected)
        step.replace(u"file:///DIR"_s, dirUrl);

    QStringList steps;
    ShellOpenSteps fake;
    fake.open = [&](const QUrl &url) {
        steps << u"open "_s + url.toString(QUrl::FullyEncoded);
        return associated;
    };
    fake.choose = [&](const QUrl &url) { steps << u"choose "_s + url.toString(QUrl::FullyEncoded); };
    ShellOpen(fake, operation, file, dir.path());
    QCOMPARE(steps, expected);
}

void TestShellOpen::fileToUrl_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("expected");

    QTest::newRow("absolute, directory ignored") << u"/data/r.txt"_s << u"/else"_s << u"file:///data/r.txt"_s;
    QTest::newRow("relative to directory") << u"r.txt"_s << u"/data/docs"_s << u"file:///data/docs/r.txt"_s;
    QTest::newRow("parent of directory") << u"../r.txt"_s << u"/data/docs/"_s << u"file:///data/r.txt"_s;
    QTest::newRow("space and hash") << u"/data/a b#1.txt"_s << QString() << u"file:///data/a%20b%231.txt"_s;
    QTest::newRow("https kept") << u"https://example.org/p?q=1#top"_s << u"/data"_s
                                << u"https://example.org/p?q=1#top"_s;
    QTest::newRow("mailto kept") << u"mailto:someone@example.org"_s << QString()
                                 << u"mailto:someone@example.org"_s;
    QTest::newRow("empty") << QString() << u"/data"_s << QString();
}

void TestShellOpen::fileToUrl()
{
    QFETCH(QString, file);
    QFETCH(QString, directory);
    QFETCH(QString, expected);
    QCOMPARE(ShellOpenUrl(file, directory).toString(QUrl::FullyEncoded), expected);
}

void TestShellOpen::existingNameWithColonStaysAFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(u"notes:1.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(ShellOpenUrl(u"notes:1.txt"_s, dir.path()), QUrl::fromLocalFile(dir.path() + u"/notes:1.txt"_s));
    // Without a directory the working folder is the base.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QUrl inWorkingFolder = ShellOpenUrl(u"notes:1.txt"_s);
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(inWorkingFolder, QUrl::fromLocalFile(dir.path() + u"/notes:1.txt"_s));
}

QTEST_GUILESS_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
