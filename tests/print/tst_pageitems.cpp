#include "PageSetup.h"
#include "TextItem.h"
#include "RecordingPrinter.h"
#include "PrintSteps.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

using Kind = RecordingPrinter::Kind;

Q_DECLARE_METATYPE(std::optional<int>)

class TestPageItems : public QObject
{
    Q_OBJECT
private slots:
    void expandPagePlaceholder_data();
    void expandPagePlaceholder();
    void printTextItem_data();
    void printTextItem();
    void marginTwips_data();
    void marginTwips();
    void pageSetupAndFontReachPrinterInOrder();
};

namespace {

void GoToPage(RecordingPrinter &printer, int page)
{
    while (printer.Page() < page)
        printer.NewPage();
}

} // namespace

void TestPageItems::expandPagePlaceholder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // on page 12
    QTest::newRow("marker") << u"Page. <pag>"_s << u"Page. 12"_s;
    QTest::newRow("first only") << u"<pag>/<pag>"_s << u"12/<pag>"_s;
    QTest::newRow("case kept, then marker") << u"<Pag> <pag>"_s << u"<Pag> 12"_s;
    QTest::newRow("incomplete marker") << u"<pag"_s << u"<pag"_s;
}

void TestPageItems::expandPagePlaceholder()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    RecordingPrinter printer;
    GoToPage(printer, 12);
    ExpandPagePlaceholder(printer, text);
    QCOMPARE(text, expected);
}

void TestPageItems::printTextItem_data()
{
    // The recording printer's text is 100 twips per character at 10 points, 200 twips a line.
    QTest::addColumn<double>("scaleWidth");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<double>("fontSize");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<QString>("printed"); // on page 10; empty: nothing printed, pen unmoved
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("lineHeight");
    QTest::newRow("left") << 11906.0 << u"abc"_s << 0 << 10.0 << 8505 << 8505 << u"abc"_s
                          << 8505.0 << 200.0;
    // 11906 - 850 - 800: the text ends on the right margin.
    QTest::newRow("right") << 11906.0 << u"Page. <pag>"_s << 1 << 10.0 << 8505 << 850
                           << u"Page. 10"_s << 10256.0 << 200.0;
    QTest::newRow("right, larger font") << 11906.0 << u"ab"_s << 1 << 12.0 << 0 << 567 << u"ab"_s
                                        << 11099.0 << 240.0;
    QTest::newRow("centred, margins ignored") << 11906.0 << u"Page. <pag>"_s << 2 << 10.0 << 0
                                              << 5000 << u"Page. 10"_s << 5553.0 << 200.0;
    QTest::newRow("centred, half twip kept") << 11905.0 << u"Page. <pag>"_s << 2 << 10.0 << 0 << 0
                                             << u"Page. 10"_s << 5552.5 << 200.0;
    QTest::newRow("alignment 5 keeps pen") << 11906.0 << u"abc"_s << 5 << 10.0 << 850 << 850
                                           << u"abc"_s << 777.5 << 200.0;
    for (const int alignment : {0, 1, 2})
        QTest::addRow("empty, alignment %d", alignment)
            << 11906.0 << QString() << alignment << 10.0 << 850 << 850 << QString() << 777.5
            << 0.0;
}

void TestPageItems::printTextItem()
{
    QFETCH(double, scaleWidth);
    QFETCH(QString, text);
    QFETCH(int, alignment);
    QFETCH(double, fontSize);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(QString, printed);
    QFETCH(double, x);
    QFETCH(double, lineHeight);

    RecordingPrinter printer(scaleWidth);
    GoToPage(printer, 10);
    printer.SetCurrentX(777.5);
    printer.SetCurrentY(1000);
    printer.ClearCalls();

    TextItem item;
    item.SetText(text);
    item.SetAlignment(alignment);
    item.Font().name = u"Times"_s;
    item.Font().size = fontSize;
    item.Font().italic = true;
    PrintTextItem(printer, item, left, right);

    QList<RecordingPrinter::Call> prints;
    for (const RecordingPrinter::Call &call : printer.Calls())
        if (call.kind == Kind::Print)
            prints.append(call);
    QCOMPARE(printer.CurrentY(), 1000.0 + lineHeight);
    if (printed.isEmpty()) {
        QVERIFY(printer.Calls().isEmpty()); // the font is left alone too
        QCOMPARE(printer.CurrentX(), 777.5);
        return;
    }
    QCOMPARE(prints.size(), 1);
    QCOMPARE(prints[0].text, printed);
    QCOMPARE(prints[0].x, x);
    QCOMPARE(prints[0].y, 1000.0);
    QCOMPARE(prints[0].font, item.Font());
    QCOMPARE(printer.CurrentX(), 0.0);
}

void TestPageItems::marginTwips_data()
{
    QTest::addColumn<int>("centimetres");
    QTest::addColumn<std::optional<int>>("expected");
    QTest::newRow("15") << 15 << std::optional<int>(8505);
    QTest::newRow("57 fits") << 57 << std::optional<int>(32319);
    QTest::newRow("-57 fits") << -57 << std::optional<int>(-32319);
    QTest::newRow("58 overflows") << 58 << std::optional<int>();
    QTest::newRow("-58 overflows") << -58 << std::optional<int>();
}

void TestPageItems::marginTwips()
{
    QFETCH(int, centimetres);
    QFETCH(std::optional<int>, expected);
    QCOMPARE(MarginTwips(centimetres), expected);
}

// A page setup starts as the printer's paper and orientation and hands them on, paper first; a
// font goes over property by property, its size in single precision.
void TestPageItems::pageSetupAndFontReachPrinterInOrder()
{
    RecordingPrinter source;
    source.SetPaperSize(8);
    source.SetOrientation(2);
    const PageSetup page(&source);

    RecordingPrinter printer;
    ApplyPageSetup(printer, page);
    SetPrinterFont(printer, FontSpec{u"Courier"_s, 10.1, true, false, true, false});
    QList<QPair<Kind, double>> calls;
    for (const RecordingPrinter::Call &call : printer.Calls())
        calls.append({call.kind, call.value});
    const QList<QPair<Kind, double>> expected{
        {Kind::SetPaperSize, 8},      {Kind::SetOrientation, 2},
        {Kind::SetFontName, 0},       {Kind::SetFontSize, double(10.1f)},
        {Kind::SetFontBold, 1},       {Kind::SetFontItalic, 0},
        {Kind::SetFontStrikethru, 0}, {Kind::SetFontUnderline, 1}};
    QCOMPARE(calls, expected);
    QCOMPARE(printer.Calls()[2].text, u"Courier"_s);
}

QTEST_GUILESS_MAIN(TestPageItems)
#include "tst_pageitems.moc"
