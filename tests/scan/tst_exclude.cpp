#include "DriveScan.h"
#include "ExcludePatterns.h"
#include "FolderRefresh.h"
#include "FolderRelist.h"
#include "Walker.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fnmatch.h>

#include <algorithm>
#include <clocale>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct Case
{
    const char *pattern, *text;
    bool matches;
};
// '*' and '?' take '/' too; a '[' with no ']' is itself; a final backslash matches nothing.
const Case Cases[] = {
    {"abc", "abc", true},      {"abc", "abd", false},       {"*", "", true},
    {"", "a", false},          {"a*", "a/b/c", true},       {"a?c", "a/c", true},
    {"*.o", "main.oo", false}, {"*a*b", "xaxaxb", true},    {"*a*b", "xaxaxbx", false},
    {"a*b*c", "acb", false},   {"**x", "x", true},          {"?", "", false},
    {"[!abc]", "b", false},    {"[^abc]", "d", true},       {"[a-c]x", "bx", true},
    {"[a-c]x", "dx", false},   {"[]a]", "]", true},         {"[!]a]", "]", false},
    {"[a-]", "-", true},       {"[[:digit:]]*", "7", true}, {"[[:alpha:]]", "7", false},
    {"[/]", "/", true},        {"[abc", "[abc", true},      {"\\*", "*", true},
    {"\\*", "x", false},       {"[\\]]", "]", true},        {"a\\", "a\\", false},
    {"*", ".hidden", true}};

// What an export, ncdu's or ours, left out by a pattern (paths) and the bytes of files it counted.
std::pair<QStringList, qint64> Exported(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(60000);
    QStringList excluded;
    qint64 bytes = 0;
    std::function<void(const QJsonValue &, const QString &)> gather = [&](const QJsonValue &item,
                                                                          const QString &path) {
        if (item.isArray()) {
            for (qsizetype i = 1; i < item.toArray().size(); ++i)
                gather(item[i], path + item[0][u"name"].toString() + u'/');
        } else if (item[u"excluded"].toString() == u"pattern"_s) {
            excluded.append(path + item[u"name"].toString());
        }
        bytes += item[u"asize"].toInteger();
    };
    gather(QJsonDocument::fromJson(tool.readAllStandardOutput())[3], QString());
    excluded.sort();
    return {excluded, bytes};
}

void Make(const QByteArray &root, const QByteArrayList &files) // "path=size"
{
    for (const QByteArray &file : files) {
        const QString path = QFile::decodeName(root + file.split('=')[0]);
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(file.split('=')[1].toInt(), 'x'));
    }
}

} // namespace

class TestExclude : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void pathsAndLines();
    void sameAsNcdu_data();
    void sameAsNcdu();
    void listedAgain();

private:
    QTemporaryDir m_dir;
};

// Each row is also put to the C library's fnmatch in the C locale, the rules' reference.
void TestExclude::matches_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(Cases)); ++row)
        QTest::addRow("%s ~ %s", Cases[row].pattern, Cases[row].text) << row;
}

void TestExclude::matches()
{
    QFETCH(int, row);
    const Case &c = Cases[row];
    QCOMPARE(ExcludePatterns::Matches(c.pattern, c.text), c.matches);
    const QByteArray locale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const bool byLibrary = ::fnmatch(c.pattern, c.text, 0) == 0;
    std::setlocale(LC_ALL, locale.constData());
    QCOMPARE(byLibrary, c.matches);
}

// The whole path, or a tail that starts after a '/'; a pattern that backtracks a naive matcher
// into years ends at once (this would hang, never pass slowly); the lines of --exclude-from.
void TestExclude::pathsAndLines()
{
    const ExcludePatterns patterns({"node_modules", "app/.git", "/home/u/x", "/y", "u*.o"});
    for (const char *path :
         {"/home/u/app/node_modules", "/home/u/app/.git", "/home/u/x", "/a/u/b.o"})
        QVERIFY2(patterns.excludes(path), path);
    for (const char *path : {"/home/u/node", "/home/u/app/.gitx", "/home/y", "/a/z/b.o"})
        QVERIFY2(!patterns.excludes(path), path);
    const ExcludePatterns hostile({QByteArray("*a").repeated(40) + "*b"});
    const QByteArray path = '/' + QByteArray(255, 'a') + '/' + QByteArray(4000, 'a');
    QVERIFY(!hostile.excludes(path) && hostile.excludes(path + 'b'));
    QCOMPARE(ExcludePatterns::FromLines("a\r\n\n  b\n*.tmp \nlast"),
             QByteArrayList({"a", "  b", "*.tmp ", "last"}));
}

// The same tree, the same patterns: the same items left out and the same bytes counted as by
// ncdu, the tool the rules come from.
void TestExclude::sameAsNcdu_data()
{
    QTest::addColumn<QStringList>("patterns");
    const QString root = QDir(m_dir.path()).canonicalPath() + u"/tree"_s;
    Make(QFile::encodeName(root + u'/'),
         {"src/main.c=100", "src/main.o=2000", "src/lib/util.o=3000", "node_modules/x/i.js=5000",
          "app/node_modules/y.js=700", "app/.git/HEAD=41", "cache/a.tmp=300", "star*name=7"});
    QTest::newRow("a name anywhere") << QStringList{u"node_modules"_s, root};
    QTest::newRow("suffixes, tails") << QStringList{u"*.o"_s, u"app/.git"_s, u"src/lib"_s, root};
    QTest::newRow("absolute path") << QStringList{root + u"/cache"_s, u"/src"_s, root};
    QTest::newRow("star across folders") << QStringList{u"tree*.js"_s, root};
    QTest::newRow("brackets, escapes") << QStringList{u"[!s]???"_s, u"star\\*name"_s, root};
    QTest::newRow("every item") << QStringList{u"*"_s, root};
}

void TestExclude::sameAsNcdu()
{
    QFETCH(QStringList, patterns);
    const QString ncdu = QStandardPaths::findExecutable(u"ncdu"_s);
    if (ncdu.isEmpty())
        QSKIP("ncdu is not installed");
    QStringList theirs{u"-o-"_s, u"-x"_s}, ours{u"--export"_s, u"-"_s};
    for (qsizetype i = 0; i + 1 < patterns.size(); ++i) {
        theirs << u"--exclude"_s << patterns[i];
        ours << u"--exclude"_s << patterns[i];
    }
    const auto expected = Exported(ncdu, theirs << patterns.last());
    QVERIFY(!expected.first.isEmpty());
    const auto got = Exported(QStringLiteral(QUARNEL_SCAN_TOOL), ours << patterns.last());
    QCOMPARE(got, expected);
}

// A file or folder made after the walk under a name it leaves out stays out when its folder is
// listed again, by the live view, or refreshed.
void TestExclude::listedAgain()
{
    const QByteArray root = QFile::encodeName(QDir(m_dir.path()).canonicalPath()) + "/again/";
    Make(root, {"d/keep=10"});
    const auto patterns = std::make_shared<const ExcludePatterns>(QByteArrayList{"*.tmp", "cache"});
    DriveScan scan(root);
    scan.setExcludePatterns(patterns);
    Walker::Options options;
    options.exclude = patterns;
    QVERIFY(Walk(root, scan, options));
    Make(root, {"d/new.tmp=1000", "d/cache/c=2000", "d/more=5"});
    QVERIFY(FolderRelist::Run(scan, root + "d/").changed && scan.totalSize() == 15);
    Make(root, {"d/b.tmp=1000", "d/e/cache/c=2000", "d/e/f=5"});
    FolderRefresh again(scan, root + "d/");
    QVERIFY(again.start());
    again.wait();
    QCOMPARE(scan.totalSize(), 20u);
    QByteArrayList excluded;
    for (const FolderNote &note : scan.folderNotes())
        if (note.kind == FolderNote::Excluded)
            excluded.append(scan.pathOf(note.folder).sliced(root.size()) + note.name);
    std::sort(excluded.begin(), excluded.end());
    QCOMPARE(excluded, QByteArrayList({"d/b.tmp", "d/cache", "d/e/cache", "d/new.tmp"}));
}

QTEST_GUILESS_MAIN(TestExclude)
#include "tst_exclude.moc"
