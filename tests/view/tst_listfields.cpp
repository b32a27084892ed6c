#include "Formatting.h"
#include "ListFields.h"
#include "NumberReader.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<double>)

class TestListFields : public QObject
{
    Q_OBJECT
private slots:
    void getField_data();
    void getField();
    void complementDigits_data();
    void complementDigits();
    void readNumber_data();
    void readNumber();
    void readsBackSizeTexts();
    void randomTextsKeepInvariants();
};

void TestListFields::getField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    const QString aligns = u"L|R|L|L"_s;
    QTest::newRow("first") << aligns << u"|"_s << 1 << u"L"_s;
    QTest::newRow("second") << aligns << u"|"_s << 2 << u"R"_s;
    QTest::newRow("fourth") << aligns << u"|"_s << 4 << u"L"_s;
    QTest::newRow("beyond the last") << aligns << u"|"_s << 5 << u""_s;
    QTest::newRow("zero") << aligns << u"|"_s << 0 << u""_s;
    QTest::newRow("blanks trimmed") << u"  a  |  b  | c"_s << u"|"_s << 2 << u"b"_s;
    QTest::newRow("tabs kept") << u"\ta\t|b"_s << u"|"_s << 1 << u"\ta\t"_s;
    QTest::newRow("empty field") << u"a||c"_s << u"|"_s << 2 << u""_s;
    QTest::newRow("no separator, first") << u" whole "_s << u"|"_s << 1 << u"whole"_s;
    QTest::newRow("no separator, second") << u"whole"_s << u"|"_s << 2 << u""_s;
    QTest::newRow("separator case ignored") << u"oneXtwoxthree"_s << u"x"_s << 3 << u"three"_s;
    QTest::newRow("long separator") << u"a<>b<>c"_s << u"<>"_s << 2 << u"b"_s;
    QTest::newRow("empty separator") << u"abc"_s << u""_s << 1 << u""_s;
    QTest::newRow("empty text") << u""_s << u"|"_s << 1 << u""_s;
}

void TestListFields::getField()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(GetField(text, separator, n), expected);
}

void TestListFields::complementDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("digits") << u"0123456789"_s << u"9876543210"_s;
    QTest::newRow("sign and point") << u"-12.5"_s << u" 87.4"_s;
    QTest::newRow("comma") << u"1,5"_s << u"8,4"_s;
    QTest::newRow("others stay") << u"a b&é"_s << u"a b&é"_s;
    QTest::newRow("empty") << u""_s << u""_s;
}

void TestListFields::complementDigits()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ComplementDigits(text), expected);
}

void TestListFields::readNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<std::optional<double>>("expected");
    const std::optional<double> none;
    const auto row = [](const char *name, const QString &text, const QString &sep,
                        std::optional<double> value) { QTest::newRow(name) << text << sep << value; };
    row("grouped size", u" 1 234 567"_s, u"."_s, 1234567.0);
    row("padded size", u"   5"_s, u"."_s, 5.0);
    row("size of zero", u"   "_s, u"."_s, none);
    row("empty", u""_s, u"."_s, none);
    row("negative decimal", u"-2.5"_s, u"."_s, -2.5);
    row("negative decimal comma", u"-2,5"_s, u","_s, -2.5);
    row("plus sign", u"+3"_s, u"."_s, 3.0);
    row("grouped with decimals comma", u"1 234,5"_s, u","_s, 1234.5);
    row("no-break space groups", u"1\u00A0234\u202F567"_s, u","_s, 1234567.0);
    row("trailing separator", u"5."_s, u"."_s, 5.0);
    row("leading separator", u".5"_s, u"."_s, 0.5);
    row("other locale's separator", u"1,5"_s, u"."_s, none);
    row("two separators", u"1.2.3"_s, u"."_s, none);
    row("letters after", u"12abc"_s, u"."_s, none);
    row("sign alone", u"-"_s, u"."_s, none);
    row("separator alone", u","_s, u","_s, none);
    row("blank inside decimals", u"1.2 3"_s, u"."_s, none);
    row("blank before separator", u"1 .5"_s, u"."_s, none);
    row("blank after sign", u"- 5"_s, u"."_s, none);
    row("tab is not a blank", u"\t5"_s, u"."_s, none);
    row("bar of a percentage", u"|| 2.5%"_s, u"."_s, none);
    row("too large for a double", u"9"_s.repeated(400), u"."_s, none);
}

void TestListFields::readNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(std::optional<double>, expected);
    QCOMPARE(ReadNumber(text, separator.front()), expected);
}

// What the size column writes, the sort reads back: every size but 0 (which writes no digit).
void TestListFields::readsBackSizeTexts()
{
    QLocale::setDefault(QLocale(u"fr_FR"_s));
    QRandomGenerator random(3);
    for (int i = 0; i < 10000; ++i) {
        const quint64 size = random.generate64() >> random.bounded(11, 64);
        const std::optional<double> read = ReadNumber(SizeText(size));
        if (size == 0)
            QVERIFY(!read);
        else
            QCOMPARE(read, std::optional<double>(double(size)));
    }
    QLocale::setDefault(QLocale::c());
}

void TestListFields::randomTextsKeepInvariants()
{
    QRandomGenerator random(5);
    const QString alphabet = u"0123456789  -+.,x\u00A0"_s;
    for (int i = 0; i < 50000; ++i) {
        QString text;
        const int length = random.bounded(12);
        for (int k = 0; k < length; ++k)
            text += alphabet[random.bounded(alphabet.size())];
        const std::optional<double> read = ReadNumber(text, u'.');
        if (!read)
            continue;
        QVERIFY2(std::isfinite(*read), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression(u"[0-9]"_s)), qPrintable(text));
        // Blanks around a number never change it.
        QCOMPARE(ReadNumber(u"  "_s + text + u" "_s, u'.'), read);
    }
}

QTEST_APPLESS_MAIN(TestListFields)
#include "tst_listfields.moc"
