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
    void bytesThatAreNotText();
};

namespace {

enum Function { Slash, Parent, FileName, FolderName, Last };

template<PathText S> S Apply(Function f, const S &in)
{
    switch (f) {
    case Slash: return AddSlash(in);
    case Parent: return ParentFolder(in);
    case FileName: return GetFileName(in);
    case FolderName: return GetFolderName(in);
    case Last: return S::number(FindLast(in, '/'));
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
    row("slash added", Slash, u"/home/ann"_s, u"/home/ann/"_s);
    row("slash kept", Slash, u"/home/ann/"_s, u"/home/ann/"_s);
    row("parent of deep", Parent, u"/a/b/"_s, u"/a/"_s);
    row("parent of top folder", Parent, u"/a/"_s, u"/"_s);
    row("parent of root", Parent, u"/"_s, u""_s);
    row("parent of one slash", Parent, u"a/"_s, u""_s);
    row("parent without final slash", Parent, u"/a/b"_s, u"/a/"_s);
    row("parent of unicode", Parent, u"/été/ß/"_s, u"/été/"_s);
    row("file name", FileName, u"/a/b.txt"_s, u"b.txt"_s);
    row("file name of folder", FileName, u"/a/"_s, u""_s);
    row("file name bare", FileName, u"name"_s, u"name"_s);
    row("folder name", FolderName, u"/a/b/"_s, u"b"_s);
    row("folder name of root", FolderName, u"/"_s, u"/"_s);
    row("folder name bare", FolderName, u"name"_s, u"name"_s);
    row("folder name empty", FolderName, u""_s, u""_s);
    row("last slash, 1-based", Last, u"/a/b"_s, u"3"_s);
    row("last slash at start", Last, u"/ab"_s, u"1"_s);
    row("no slash", Last, u"abc"_s, u"0"_s);
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

// Names that are not valid UTF-8 go through unchanged.
void TestPaths::bytesThatAreNotText()
{
    const QByteArray odd = "/data/\xff\xfe name/"_ba;
    QCOMPARE(GetFolderName(odd), "\xff\xfe name"_ba);
    QCOMPARE(ParentFolder(odd), "/data/"_ba);
    QCOMPARE(GetFileName(odd + "\x80.bin"_ba), "\x80.bin"_ba);
}

QTEST_APPLESS_MAIN(TestPaths)
#include "tst_paths.moc"
