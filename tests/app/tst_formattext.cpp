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
    void textTableLookup();
};

void TestFormatText::substitutes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");

    const QString title = TextTable::text(TextId::PrintTitle);
    QTest::newRow("print title") << title << QStringList{u"/"_s, u"/usr/"_s}
                                 << u"Disque [-/-] Répertoire [-/usr/-]"_s;
    QTest::newRow("fewer args than placeholders") << title << QStringList{u"c"_s}
                                                  << u"Disque [-c-] Répertoire [--]"_s;
    QTest::newRow("more args than placeholders") << u"[%s]"_s << QStringList{u"a"_s, u"b"_s}
                                                 << u"[a]"_s;
    QTest::newRow("capital S") << u"<%S>"_s << QStringList{u"x"_s} << u"<x>"_s;
    QTest::newRow("doubled percent uses a position") << u"%%%s"_s << QStringList{u"a"_s, u"b"_s}
                                                     << u"%b"_s;
    QTest::newRow("dropped pair uses a position") << u"%d%s"_s << QStringList{u"a"_s, u"b"_s}
                                                  << u"b"_s;
    QTest::newRow("percent astral dropped whole") << u"a%😀b"_s << QStringList{} << u"ab"_s;
    QTest::newRow("doubled then trailing") << u"%%%"_s << QStringList{} << u"%"_s;
    QTest::newRow("sixth placeholder empty") << u"%s%s%s%s%s%s."_s
                                             << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}
                                             << u"12345."_s;
    QTest::newRow("argument with percent kept") << u"%s%s"_s << QStringList{u"%s"_s, u"b"_s}
                                                << u"%sb"_s;
    QTest::newRow("accents and trailing space") << TextTable::text(TextId::FreeSpace)
                                                << QStringList{u" 1 234"_s}
                                                << u"Espace Disque Libre :  1 234 Mb "_s;
}

void TestFormatText::substitutes()
{
    QFETCH(QString, format);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    const auto arg = [&](int i) { return i < args.size() ? TextArg(args[i]) : TextArg(); };
    QCOMPARE(FormatText(format, arg(0), arg(1), arg(2), arg(3), arg(4)), expected);
}

void TestFormatText::numbersAsPlainDigits()
{
    QCOMPARE(FormatText(u"%s", qint64(1234567890123)), u"1234567890123"_s);
    QCOMPARE(FormatText(u"%s|%s", -5, 0u), u"-5|0"_s);
}

// Ids between and beyond the table's give nothing, whichever side of a known one they fall.
void TestFormatText::textTableLookup()
{
    QCOMPARE(TextTable::text(TextId::ErrorTitle), u"Erreur"_s);
    QCOMPARE(TextTable::text(1014), TextTable::text(TextId::MenuScanRefresh));
    for (int id : {0, 100, 102, 307, 1015, -1})
        QVERIFY(TextTable::text(id).isEmpty());
}

QTEST_APPLESS_MAIN(TestFormatText)
#include "tst_formattext.moc"
