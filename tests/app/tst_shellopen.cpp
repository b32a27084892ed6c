#include "ShellOpen.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestShellOpen : public QObject
{
    Q_OBJECT
private slots:
    void opensWhatExists_data();
    void opensWhatExists();
    void fileToUrl_data();
    void fileToUrl();
    void existingNameWithColonStaysAFile();
};

void TestShellOpen::opensWhatExists_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("taken"); // by the application, when it is asked
    QTest::addColumn<QString>("asked"); // DIR: the test's folder; empty: nothing asked

    const QString doc = u"DIR/a%20b%231.dat"_s;
    QTest::newRow("taken") << u"Open"_s << u"a b#1.dat"_s << true << doc;
    QTest::newRow("refused") << u"explore"_s << u"a b#1.dat"_s << false << doc;
    QTest::newRow("address") << QString() << u"https://example.org/x"_s << true
                             << u"https://example.org/x"_s;
    QTest::newRow("missing file") << u"Open"_s << u"gone.dat"_s << true << QString();
    QTest::newRow("unknown verb") << u"print"_s << u"a b#1.dat"_s << true << QString();
}

void TestShellOpen::opensWhatExists()
{
    QFETCH(QString, operation);
    QFETCH(QString, file);
    QFETCH(bool, taken);
    QFETCH(QString, asked);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile doc(dir.filePath(u"a b#1.dat"_s));
    QVERIFY(doc.open(QIODevice::WriteOnly));
    asked.replace(u"DIR"_s, QUrl::fromLocalFile(dir.path()).toString(QUrl::FullyEncoded));

    QString seen;
    const bool opened = ShellOpen(operation, file, dir.path(), [&](const QUrl &url) {
        seen = url.toString(QUrl::FullyEncoded);
        return taken;
    });
    QCOMPARE(seen, asked);
    QCOMPARE(opened, taken && !asked.isEmpty());
}

void TestShellOpen::fileToUrl_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("expected");

    QTest::newRow("absolute, directory ignored") << u"/data/r.txt"_s << u"/else"_s << u"file:///data/r.txt"_s;
    QTest::newRow("relative to directory") << u"r.txt"_s << u"/data/docs"_s << u"file:///data/docs/r.txt"_s;
    QTest::newRow("space and hash") << u"/data/a b#1.txt"_s << QString() << u"file:///data/a%20b%231.txt"_s;
    QTest::newRow("https kept") << u"https://example.org/p?q=1#top"_s << u"/data"_s
                                << u"https://example.org/p?q=1#top"_s;
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
}

QTEST_GUILESS_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
