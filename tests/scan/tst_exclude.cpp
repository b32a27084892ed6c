#include "DriveScan.h"
#include "ExcludePatterns.h"
#include "FolderRefresh.h"
#include "FolderRelist.h"
#include "Walker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fnmatch.h>

#include <clocale>

using namespace Qt::StringLiterals;

namespace {

// What an export says: the paths left out by a pattern, below the root, and the bytes of the
// files counted.
struct Exported
{
    QStringList excluded;
    qint64 fileBytes = 0;
};

void Gather(const QJsonValue &item, const QString &path, Exported &out)
{
    if (item.isArray()) {
        const QJsonArray folder = item.toArray();
        const QString here = path + folder.at(0).toObject().value("name"_L1).toString() + u'/';
        for (qsizetype i = 1; i < folder.size(); ++i)
            Gather(folder.at(i), here, out);
        return;
    }
    const QJsonObject file = item.toObject();
    if (file.value("excluded"_L1).toString() == "pattern"_L1)
        out.excluded.append(path + file.value("name"_L1).toString());
    else
        out.fileBytes += file.value("asize"_L1).toInteger();
}

Exported Export(const QString &program, QStringList arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(60000);
    const QJsonDocument json = QJsonDocument::fromJson(tool.readAllStandardOutput());
    Exported out;
    const QJsonArray root = json.array().at(3).toArray();
    for (qsizetype i = 1; i < root.size(); ++i)
        Gather(root.at(i), QString(), out);
    out.excluded.sort();
    return out;
}

void Write(const QString &path, qsizetype bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

} // namespace

class TestExclude : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matches_data();
    void matches();
    void paths_data();
    void paths();
    void hostilePattern();
    void lines();
    void sameAsNcdu_data();
    void sameAsNcdu();
    void listedAgain_data();
    void listedAgain();

private:
    QTemporaryDir m_dir;
    QString m_root;
};

void TestExclude::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = QDir(m_dir.path()).canonicalPath() + u"/tree"_s;
    for (const auto &[path, bytes] :
         std::initializer_list<std::pair<QString, qsizetype>>{{u"src/main.c"_s, 100},
                                                              {u"src/main.o"_s, 2000},
                                                              {u"src/lib/util.o"_s, 3000},
                                                              {u"node_modules/x/index.js"_s, 5000},
                                                              {u"app/node_modules/y.js"_s, 700},
                                                              {u"app/.git/HEAD"_s, 41},
                                                              {u"app/notes.txt"_s, 12},
                                                              {u"cache/a.tmp"_s, 300},
                                                              {u"star*name"_s, 7},
                                                              {u"br[a]ck"_s, 9}})
        Write(m_root + u'/' + path, bytes);
}

// Each row is also put to the C library's fnmatch in the C locale, the rules' reference.
void TestExclude::matches_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("expected");
    const auto row = [](const QByteArray &pattern, const QByteArray &text, bool expected) {
        QTest::addRow("%s ~ %s", pattern.constData(), text.constData())
            << pattern << text << expected;
    };
    row("abc", "abc", true);
    row("abc", "abd", false);
    row("*", "", true);
    row("", "", true);
    row("", "a", false);
    row("a*", "a/b/c", true); // '*' takes '/' too
    row("a?c", "a/c", true);
    row("*.o", "main.o", true);
    row("*.o", "main.oo", false);
    row("*a*b", "xaxaxb", true);
    row("*a*b", "xaxaxbx", false);
    row("a*b*c", "abbbc", true);
    row("a*b*c", "acb", false);
    row("**x", "x", true);
    row("?", "", false);
    row("??", "ab", true);
    row("[abc]", "b", true);
    row("[!abc]", "b", false);
    row("[^abc]", "d", true);
    row("[a-c]x", "bx", true);
    row("[a-c]x", "dx", false);
    row("[]a]", "]", true);
    row("[!]a]", "]", false);
    row("[a-]", "-", true);
    row("[[:digit:]]*", "7up", true);
    row("[[:alpha:]]", "7", false);
    row("[/]", "/", true);
    row("[abc", "[abc", true); // no closing bracket: the '[' is itself
    row("\\*", "*", true);
    row("\\*", "x", false);
    row("st\\*r", "st*r", true);
    row("[\\]]", "]", true);
    row("a\\", "a\\", false); // a backslash ending the pattern matches nothing
    row("*.", ".", true);
    row("*", ".hidden", true); // no special case for a leading dot
}

void TestExclude::matches()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(bool, expected);
    QCOMPARE(ExcludePatterns::Matches(pattern, text), expected);
    const QByteArray locale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const bool byLibrary = ::fnmatch(pattern.constData(), text.constData(), 0) == 0;
    std::setlocale(LC_ALL, locale.constData());
    QCOMPARE(byLibrary, expected);
}

// The whole path, or a tail that starts after a '/': never a tail starting with one.
void TestExclude::paths_data()
{
    QTest::addColumn<QByteArrayList>("patterns");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("expected");
    const auto row = [](const char *name, const QByteArrayList &patterns, const QByteArray &path,
                        bool expected) { QTest::newRow(name) << patterns << path << expected; };
    row("a name", {"node_modules"}, "/home/u/app/node_modules", true);
    row("a part of a name", {"node"}, "/home/u/app/node_modules", false);
    row("a tail", {"app/node_modules"}, "/home/u/app/node_modules", true);
    row("a tail from the root", {"home/u"}, "/home/u", true);
    row("the whole path", {"/home/u/app"}, "/home/u/app", true);
    row("a tail with its slash", {"/app"}, "/home/u/app", false);
    row("a star across folders", {"u*modules"}, "/home/u/app/node_modules", true);
    row("any of several", {"x", "*.o"}, "/src/main.o", true);
    row("none of several", {"x", "*.o"}, "/src/main.c", false);
    row("an empty pattern", {""}, "/a", false);
}

void TestExclude::paths()
{
    QFETCH(QByteArrayList, patterns);
    QFETCH(QByteArray, path);
    QFETCH(bool, expected);
    QCOMPARE(ExcludePatterns(patterns).excludes(path), expected);
}

// A pattern that backtracks a naive matcher into years must end as soon as a fair one: this
// test would hang, never pass slowly.
void TestExclude::hostilePattern()
{
    QByteArray pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*a";
    pattern += "*b";
    const QByteArray path = '/' + QByteArray(255, 'a') + '/' + QByteArray(4000, 'a');
    QVERIFY(!ExcludePatterns({pattern}).excludes(path));
    QVERIFY(ExcludePatterns({pattern}).excludes(path + 'b'));
}

void TestExclude::lines()
{
    QCOMPARE(ExcludePatterns::FromLines("a\r\n\n  b\n*.tmp \nlast"),
             QByteArrayList({"a", "  b", "*.tmp ", "last"}));
}

// The same tree, the same patterns: the same items left out and the same bytes counted as by
// ncdu, the tool the rules come from.
void TestExclude::sameAsNcdu_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::newRow("a name anywhere") << QStringList{u"node_modules"_s};
    QTest::newRow("files by suffix") << QStringList{u"*.o"_s, u"*.tmp"_s};
    QTest::newRow("a tail") << QStringList{u"app/.git"_s, u"src/lib"_s};
    QTest::newRow("the absolute path") << QStringList{m_root + u"/cache"_s};
    QTest::newRow("a leading slash") << QStringList{u"/src"_s};
    QTest::newRow("a star across folders") << QStringList{u"tree*.js"_s};
    QTest::newRow("brackets and escapes") << QStringList{u"[!s]???"_s, u"star\\*name"_s};
    QTest::newRow("every item") << QStringList{u"*"_s};
}

void TestExclude::sameAsNcdu()
{
    QFETCH(QStringList, patterns);
    const QString ncdu = QStandardPaths::findExecutable(u"ncdu"_s);
    if (ncdu.isEmpty())
        QSKIP("ncdu is not installed");
    QStringList theirs{u"-o-"_s, u"-x"_s}, ours{u"--export"_s, u"-"_s};
    for (const QString &pattern : patterns) {
        theirs << u"--exclude"_s << pattern;
        ours << u"--exclude"_s << pattern;
    }
    const Exported expected = Export(ncdu, theirs << m_root);
    const Exported got = Export(QStringLiteral(QUARNEL_SCAN_TOOL), ours << m_root);
    QVERIFY(expected.fileBytes > 0 || !expected.excluded.isEmpty()); // ncdu did write
    QCOMPARE(got.excluded, expected.excluded);
    QCOMPARE(got.fileBytes, expected.fileBytes);
}

// A file or folder made after the walk with a name the walk leaves out stays out when its
// folder is listed again, by the live view or by a refresh.
void TestExclude::listedAgain_data()
{
    QTest::addColumn<bool>("refresh");
    QTest::newRow("listed again") << false;
    QTest::newRow("refreshed") << true;
}

void TestExclude::listedAgain()
{
    QFETCH(bool, refresh);
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(QDir(dir.path()).canonicalPath()) + '/';
    Write(QFile::decodeName(root) + u"d/keep.txt"_s, 10);
    const auto patterns = std::make_shared<const ExcludePatterns>(QByteArrayList{"*.tmp", "cache"});
    DriveScan scan(root);
    scan.setExcludePatterns(patterns);
    Walker::Options options;
    options.exclude = patterns;
    QVERIFY(Walk(root, scan, options));
    QCOMPARE(scan.totalSize(), 10u);

    Write(QFile::decodeName(root) + u"d/new.tmp"_s, 1000);
    Write(QFile::decodeName(root) + u"d/cache/c"_s, 2000);
    Write(QFile::decodeName(root) + u"d/more.txt"_s, 5);
    if (refresh) {
        FolderRefresh again(scan, root + "d/");
        QVERIFY(again.start());
        again.wait();
    } else {
        QVERIFY(FolderRelist::Run(scan, root + "d/").changed);
    }
    QCOMPARE(scan.totalSize(), 15u);
    QCOMPARE(scan.indexOf(root + "d/cache/"), -1);
    QStringList excluded;
    for (const FolderNote &note : scan.folderNotes())
        if (note.kind == FolderNote::Excluded)
            excluded.append(QString::fromUtf8(scan.pathOf(note.folder) + note.name));
    excluded.sort();
    QCOMPARE(excluded, QStringList({QString::fromUtf8(root + "d/cache"),
                                    QString::fromUtf8(root + "d/new.tmp")}));
}

QTEST_GUILESS_MAIN(TestExclude)
#include "tst_exclude.moc"
