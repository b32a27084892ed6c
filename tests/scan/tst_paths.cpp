#include "Paths.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Each case runs on both kinds of path text: the display's QString and the engine's bytes.
class TestPaths : public QObject
{
    Q_OBJECT
private slots:
    void pathFunctions_data();
    void pathFunctions();
    void findLast_data();
    void findLast();
    void bytesThatAreNotText();
};

namespace {

enum Function { Slash, Parent, FileName, FolderName, Null };

template<PathText S> S Apply(Function f, const S &in)
{
    switch (f) {
    case Slash: return AddSlash(in);
    case Parent: return ParentFolder(in);
    case FileName: return GetFileName(in);
    case FolderName: return GetFolderName(in);
    case Null: return TrimNull(in);
    }
    return {};
}

} // namespace

void TestPaths::pathFunctions_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, Function f, const QString &in, const QString &out) {
        QTest::newRow(name) << int(f) << in << out;
    };
    row("slash empty", Slash, u""_s, u""_s);
    row("slash root", Slash, u"/"_s, u"/"_s);
    row("slash added", Slash, u"/home/ann"_s, u"/home/ann/"_s);
    row("slash kept", Slash, u"/home/ann/"_s, u"/home/ann/"_s);
    row("slash relative", Slash, u"a"_s, u"a/"_s);
    row("parent of deep", Parent, u"/a/b/"_s, u"/a/"_s);
    row("parent of top folder", Parent, u"/a/"_s, u"/"_s);
    row("parent of root", Parent, u"/"_s, u""_s);
    row("parent of empty", Parent, u""_s, u""_s);
    row("parent of one slash", Parent, u"a/"_s, u""_s);
    row("parent of relative", Parent, u"a/b/"_s, u"a/"_s);
    row("parent without final slash", Parent, u"/a/b"_s, u"/a/"_s);
    row("parent of unicode", Parent, u"/été/ß/"_s, u"/été/"_s);
    row("file name", FileName, u"/a/b.txt"_s, u"b.txt"_s);
    row("file name of folder", FileName, u"/a/"_s, u""_s);
    row("file name bare", FileName, u"name"_s, u"name"_s);
    row("file name empty", FileName, u""_s, u""_s);
    row("file name leading dash", FileName, u"/x/-rf"_s, u"-rf"_s);
    row("folder name", FolderName, u"/a/b/"_s, u"b"_s);
    row("folder name of root", FolderName, u"/"_s, u"/"_s);
    row("folder name top", FolderName, u"/home/"_s, u"home"_s);
    row("folder name bare", FolderName, u"name"_s, u"name"_s);
    row("folder name empty", FolderName, u""_s, u""_s);
    row("folder name with newline", FolderName, u"/a/line\nbreak/"_s, u"line\nbreak"_s);
    row("trim null", Null, u"abc\u0000def"_s, u"abc"_s);
    row("trim no null", Null, u"abc"_s, u"abc"_s);
    row("trim leading null", Null, u"\u0000x"_s, u""_s);
}

void TestPaths::pathFunctions()
{
    QFETCH(int, function);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const auto f = Function(function);
    QCOMPARE(Apply(f, input), expected);
    QCOMPARE(Apply(f, input.toUtf8()), expected.toUtf8());
}

void TestPaths::findLast_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("expected");
    QTest::newRow("last of several") << u"/a/b"_s << u"/"_s << 3;
    QTest::newRow("only at start") << u"/ab"_s << u"/"_s << 1;
    QTest::newRow("at end") << u"ab/"_s << u"/"_s << 3;
    QTest::newRow("none") << u"abc"_s << u"/"_s << 0;
    QTest::newRow("empty") << u""_s << u"/"_s << 0;
    QTest::newRow("other character") << u"a.b.c"_s << u"."_s << 4;
}

void TestPaths::findLast()
{
    QFETCH(QString, text);
    QFETCH(QString, character);
    QFETCH(int, expected);
    const char c = character.toLatin1().front();
    QCOMPARE(FindLast(text, c), expected);
    QCOMPARE(FindLast(text.toUtf8(), c), expected);
}

// Names that are not valid UTF-8, and paths far beyond PATH_MAX, go through unchanged.
void TestPaths::bytesThatAreNotText()
{
    const QByteArray odd = "/data/\xff\xfe name/"_ba;
    QCOMPARE(GetFolderName(odd), "\xff\xfe name"_ba);
    QCOMPARE(ParentFolder(odd), "/data/"_ba);
    QCOMPARE(GetFileName(odd + "\x80.bin"_ba), "\x80.bin"_ba);

    QByteArray deep = "/"_ba;
    for (int i = 0; i < 2000; ++i)
        deep += "level/"_ba;
    QVERIFY(deep.size() > 4096 * 2);
    QCOMPARE(ParentFolder(deep), deep.left(deep.size() - 6));
    QCOMPARE(GetFolderName(deep), "level"_ba);
    QCOMPARE(AddSlash(deep.chopped(1)), deep);
}

QTEST_APPLESS_MAIN(TestPaths)
#include "tst_paths.moc"
