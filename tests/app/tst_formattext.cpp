#include "FormatText.h"
#include "TextTable.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFormatText : public QObject
{
    Q_OBJECT
private slots:
    void substitutes_data();
    void substitutes();
    void numbersAsPlainDigits();
};

void TestFormatText::substitutes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");

    const QString title = TextTable::text(TextId::PrintTitle);
    QTest::newRow("drive tooltip") << TextTable::text(TextId::DriveButtonTip) << QStringList{u"/home"_s}
                                   << u"Disque Scanné [-/home-]"_s;
    QTest::newRow("fewer args than placeholders") << title << QStringList{u"c"_s}
                                                  << u"Disque [-c-] Répertoire [--]"_s;
    QTest::newRow("more args than placeholders") << u"[%s]"_s << QStringList{u"a"_s, u"b"_s}
                                                 << u"[a]"_s;
    QTest::newRow("capital S") << u"<%S>"_s << QStringList{u"x"_s} << u"<x>"_s;
    QTest::newRow("doubled percent uses a position") << u"%%%s"_s << QStringList{u"a"_s, u"b"_s}
                                                     << u"%b"_s;
    QTest::newRow("dropped pair uses a position") << u"%d%s"_s << QStringList{u"a"_s, u"b"_s}
                                                  << u"b"_s;
    QTest::newRow("percent digit dropped") << u"a%1b"_s << QStringList{} << u"ab"_s;
    QTest::newRow("percent astral dropped whole") << u"a%😀b"_s << QStringList{} << u"ab"_s;
    QTest::newRow("trailing percent dropped") << u"100%"_s << QStringList{} << u"100"_s;
    QTest::newRow("lone percent") << u"%"_s << QStringList{} << QString();
    QTest::newRow("empty argument") << u"[%s]"_s << QStringList{QString()} << u"[]"_s;
    QTest::newRow("sixth placeholder empty") << u"%s%s%s%s%s%s."_s
                                             << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}
                                             << u"12345."_s;
    QTest::newRow("argument with percent kept") << u"%s%s"_s << QStringList{u"%s"_s, u"b"_s}
                                                << u"%sb"_s;
}

namespace {
QString Format(const QString &format, const QStringList &args)
{
    const auto arg = [&](int i) { return i < args.size() ? TextArg(args[i]) : TextArg(); };
    return FormatText(format, arg(0), arg(1), arg(2), arg(3), arg(4));
}
} // namespace

void TestFormatText::substitutes()
{
    QFETCH(QString, format);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QCOMPARE(Format(format, args), expected);
}

void TestFormatText::numbersAsPlainDigits()
{
    QCOMPARE(FormatText(TextTable::text(TextId::FoldersScanned), 12), u"12 Repertoires Scannés"_s);
    QCOMPARE(FormatText(u"%s", qint64(1234567890123)), u"1234567890123"_s);
    QCOMPARE(FormatText(u"%s|%s", -5, 0u), u"-5|0"_s);
}

QTEST_APPLESS_MAIN(TestFormatText)
#include "tst_formattext.moc"
