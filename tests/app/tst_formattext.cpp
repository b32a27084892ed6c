#include "FormatText.h"
#include "TextTable.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFormatText : public QObject
{
    Q_OBJECT
private slots:
    void substitutes_data();
    void substitutes();
    void numbersAsPlainDigits();
    void randomFormatsKeepInvariants();
};

void TestFormatText::substitutes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");

    const QString title = TextTable::text(TextId::PrintTitle);
    QTest::newRow("drive tooltip") << TextTable::text(TextId::DriveButtonTip) << QStringList{u"/home"_s}
                                   << u"Disque Scanné [-/home-]"_s;
    QTest::newRow("print title") << title << QStringList{u"/"_s, u"/usr/"_s}
                                 << u"Disque [-/-] Répertoire [-/usr/-]"_s;
    QTest::newRow("fewer args than placeholders") << title << QStringList{u"c"_s}
                                                  << u"Disque [-c-] Répertoire [--]"_s;
    QTest::newRow("more args than placeholders") << u"[%s]"_s << QStringList{u"a"_s, u"b"_s}
                                                 << u"[a]"_s;
    QTest::newRow("capital S") << u"<%S>"_s << QStringList{u"x"_s} << u"<x>"_s;
    QTest::newRow("doubled percent uses a position") << u"%%%s"_s << QStringList{u"a"_s, u"b"_s}
                                                     << u"%b"_s;
    QTest::newRow("two doubled percents") << u"%%%%%s"_s << QStringList{u"a"_s, u"b"_s, u"c"_s}
                                          << u"%%c"_s;
    QTest::newRow("dropped pair uses a position") << u"%d%s"_s << QStringList{u"a"_s, u"b"_s}
                                                  << u"b"_s;
    QTest::newRow("percent digit dropped") << u"a%1b"_s << QStringList{} << u"ab"_s;
    QTest::newRow("percent space dropped") << u"x% y%s"_s << QStringList{u"1"_s, u"2"_s}
                                           << u"xy2"_s;
    QTest::newRow("percent accent dropped") << u"%é%s"_s << QStringList{u"1"_s, u"2"_s} << u"2"_s;
    QTest::newRow("percent astral dropped whole") << u"a%😀b"_s << QStringList{} << u"ab"_s;
    QTest::newRow("trailing percent dropped") << u"100%"_s << QStringList{} << u"100"_s;
    QTest::newRow("doubled then trailing") << u"%%%"_s << QStringList{} << u"%"_s;
    QTest::newRow("lone percent") << u"%"_s << QStringList{} << QString();
    QTest::newRow("empty format") << QString() << QStringList{u"a"_s} << QString();
    QTest::newRow("empty argument") << u"[%s]"_s << QStringList{QString()} << u"[]"_s;
    QTest::newRow("sixth placeholder empty") << u"%s%s%s%s%s%s."_s
                                             << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}
                                             << u"12345."_s;
    QTest::newRow("argument with percent kept") << u"%s%s"_s << QStringList{u"%s"_s, u"b"_s}
                                                << u"%sb"_s;
    QTest::newRow("accents and trailing space") << TextTable::text(TextId::FreeSpace)
                                                << QStringList{u" 1 234"_s}
                                                << u"Espace Disque Libre :  1 234 Mb "_s;
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

// Random formats over the characters that matter, with arguments made of marker characters that
// the formats never hold, so that every argument's text can be found in the result.
void TestFormatText::randomFormatsKeepInvariants()
{
    QRandomGenerator random(20261206);
    const QString alphabet = u"%%%sSa é\t\u0000%d"_s;
    for (int round = 0; round < 20000; ++round) {
        QString format;
        const int length = random.bounded(24);
        for (int i = 0; i < length; ++i)
            format += alphabet[random.bounded(alphabet.size())];
        QStringList args;
        const int count = random.bounded(6);
        for (int i = 0; i < count; ++i)
            args += QString(random.bounded(3), QChar(u'A' + i));

        const QString result = Format(format, args);

        qsizetype argChars = 0;
        for (const QString &a : args)
            argChars += a.size();
        QVERIFY2(result.size() <= format.size() + argChars, qPrintable(format));
        if (!format.contains(u'%'))
            QCOMPARE(result, format);
        // Each argument lands whole or not at all, and arguments keep their order.
        qsizetype last = -1;
        for (const QString &a : args) {
            if (a.isEmpty())
                continue;
            const qsizetype at = result.indexOf(a.front());
            if (at < 0)
                continue;
            QCOMPARE(result.count(a.front()), a.size());
            QCOMPARE(result.mid(at, a.size()), a);
            QVERIFY2(at > last, qPrintable(format));
            last = at;
        }
        // Without the arguments, what is left is a subsequence of the format.
        QString rest = result;
        rest.removeIf([](QChar c) { return c >= u'A' && c <= u'E'; });
        qsizetype from = 0;
        for (const QChar c : rest) {
            from = format.indexOf(c, from);
            QVERIFY2(from >= 0, qPrintable(format));
            ++from;
        }
    }
}

QTEST_APPLESS_MAIN(TestFormatText)
#include "tst_formattext.moc"
