#include "CPage.h"
#include "Ctext.h"
#include "RecordingPrinter.h"
#include "modPrintListView.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

using Kind = RecordingPrinter::Kind;

Q_DECLARE_METATYPE(std::optional<int>)

class TestPageItems : public QObject
{
    Q_OBJECT
private slots:
    void newItemsDefaults();
    void pageSetupReadsPrinter();
    void fontWriteCopiesReadIsLive();
    void expandPagePlaceholder_data();
    void expandPagePlaceholder();
    void printTextItem_data();
    void printTextItem();
    void emptyItemLeavesPrinterAlone();
    void marginTwips_data();
    void marginTwips();
    void applyPageSetupOrder();
    void setPrinterFontOrder();
};

namespace {

void GoToPage(RecordingPrinter &printer, int page)
{
    while (printer.Page() < page)
        printer.NewPage();
}

} // namespace

void TestPageItems::newItemsDefaults()
{
    const Ctext item;
    QCOMPARE(item.Text(), u""_s);
    QCOMPARE(item.Alignment(), 0);
    QCOMPARE(item.Font(), (StdFont{u"Arial"_s, 10, false, false, false, false}));

    const CPage page(nullptr);
    QCOMPARE(page.LeftMargin(), 15);
    QCOMPARE(page.RightMargin(), 15);
    QCOMPARE(page.TopMargin(), 15);
    QCOMPARE(page.BottomMargin(), 15);
    QCOMPARE(page.PaperSize(), 9);
    QCOMPARE(page.Orientation(), 1);
}

void TestPageItems::pageSetupReadsPrinter()
{
    RecordingPrinter printer;
    printer.SetPaperSize(8);
    printer.SetOrientation(2);
    const CPage page(&printer);
    QCOMPARE(page.PaperSize(), 8);
    QCOMPARE(page.Orientation(), 2);
}

void TestPageItems::fontWriteCopiesReadIsLive()
{
    Ctext item;
    StdFont given{u"Courier"_s, 12, false, true, false, false};
    item.SetFont(given);
    given.Bold = true;
    QCOMPARE(item.Font(), (StdFont{u"Courier"_s, 12, false, true, false, false}));

    item.Font().Bold = true;
    QVERIFY(item.Font().Bold);

    CPage page;
    page.Header().SetText(u"head"_s);
    page.Footer().Font().Size = 8;
    QCOMPARE(page.Header().Text(), u"head"_s);
    QCOMPARE(page.Footer().Font().Size, 8.0);
}

void TestPageItems::expandPagePlaceholder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("page 3") << u"Page. <pag>"_s << 3 << u"Page. 3"_s;
    QTest::newRow("two digits") << u"<pag>"_s << 12 << u"12"_s;
    QTest::newRow("first only") << u"<pag>/<pag>"_s << 3 << u"3/<pag>"_s;
    QTest::newRow("capitals kept") << u"Page <PAG>"_s << 3 << u"Page <PAG>"_s;
    QTest::newRow("mixed case, then marker") << u"<Pag> <pag>"_s << 2 << u"<Pag> 2"_s;
    QTest::newRow("no marker") << u"Title"_s << 3 << u"Title"_s;
    QTest::newRow("incomplete marker") << u"<pag"_s << 3 << u"<pag"_s;
}

void TestPageItems::expandPagePlaceholder()
{
    QFETCH(QString, text);
    QFETCH(int, page);
    QFETCH(QString, expected);
    RecordingPrinter printer;
    GoToPage(printer, page);
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
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<double>("penX");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("lineHeight");
    QTest::newRow("left") << 11906.0 << u"abc"_s << 0 << 10.0 << 1 << 8505 << 8505 << 40.0
                          << u"abc"_s << 8505.0 << 200.0;
    // 11906 - 8505 - 800: the text ends on the right margin.
    QTest::newRow("right, page 10") << 11906.0 << u"Page. <pag>"_s << 1 << 10.0 << 10 << 8505
                                    << 850 << 40.0 << u"Page. 10"_s << 10256.0 << 200.0;
    QTest::newRow("right, larger font") << 11906.0 << u"ab"_s << 1 << 12.0 << 1 << 0 << 567
                                        << 40.0 << u"ab"_s << 11099.0 << 240.0;
    QTest::newRow("centred, page 10") << 11906.0 << u"Page. <pag>"_s << 2 << 10.0 << 10 << 850
                                      << 850 << 40.0 << u"Page. 10"_s << 5553.0 << 200.0;
    QTest::newRow("centred, margins ignored") << 11906.0 << u"Page. <pag>"_s << 2 << 10.0 << 10
                                              << 0 << 5000 << 40.0 << u"Page. 10"_s << 5553.0
                                              << 200.0;
    QTest::newRow("centred, half twip kept") << 11905.0 << u"Page. <pag>"_s << 2 << 10.0 << 10
                                             << 0 << 0 << 40.0 << u"Page. 10"_s << 5552.5
                                             << 200.0;
    QTest::newRow("alignment 5 keeps pen") << 11906.0 << u"abc"_s << 5 << 10.0 << 1 << 850 << 850
                                           << 777.5 << u"abc"_s << 777.5 << 200.0;
    QTest::newRow("alignment -1 keeps pen") << 11906.0 << u"abc"_s << -1 << 10.0 << 1 << 850
                                            << 850 << 12.0 << u"abc"_s << 12.0 << 200.0;
}

void TestPageItems::printTextItem()
{
    QFETCH(double, scaleWidth);
    QFETCH(QString, text);
    QFETCH(int, alignment);
    QFETCH(double, fontSize);
    QFETCH(int, page);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(double, penX);
    QFETCH(QString, printed);
    QFETCH(double, x);
    QFETCH(double, lineHeight);

    RecordingPrinter printer(scaleWidth);
    GoToPage(printer, page);
    printer.SetCurrentX(penX);
    printer.SetCurrentY(1000);
    printer.ClearCalls();

    Ctext item;
    item.SetText(text);
    item.SetAlignment(alignment);
    item.Font().Name = u"Times"_s;
    item.Font().Size = fontSize;
    item.Font().Italic = true;
    PrintTextItem(printer, item, left, right);

    QList<RecordingPrinter::Call> prints;
    for (const RecordingPrinter::Call &call : printer.Calls())
        if (call.kind == Kind::Print)
            prints.append(call);
    QCOMPARE(prints.size(), 1);
    QCOMPARE(prints[0].text, printed);
    QCOMPARE(prints[0].x, x);
    QCOMPARE(prints[0].y, 1000.0);
    QCOMPARE(prints[0].font, item.Font());
    QCOMPARE(printer.CurrentX(), 0.0);
    QCOMPARE(printer.CurrentY(), 1000.0 + lineHeight);
    if (alignment == 1)
        QCOMPARE(x + printer.TextWidth(printed), scaleWidth - right);
}

void TestPageItems::emptyItemLeavesPrinterAlone()
{
    for (const int alignment : {0, 1, 2, 5}) {
        RecordingPrinter printer;
        printer.SetCurrentX(300);
        printer.SetCurrentY(400);
        printer.ClearCalls();
        Ctext item;
        item.SetAlignment(alignment);
        item.Font().Bold = true;
        PrintTextItem(printer, item, 850, 850);
        QVERIFY(printer.Calls().isEmpty());
        QCOMPARE(printer.CurrentX(), 300.0);
        QCOMPARE(printer.CurrentY(), 400.0);
        QVERIFY(!printer.FontBold());
    }
}

void TestPageItems::marginTwips_data()
{
    QTest::addColumn<int>("centimetres");
    QTest::addColumn<std::optional<int>>("expected");
    QTest::newRow("zero") << 0 << std::optional<int>(0);
    QTest::newRow("default 15") << 15 << std::optional<int>(8505);
    QTest::newRow("57 fits") << 57 << std::optional<int>(32319);
    QTest::newRow("-57 fits") << -57 << std::optional<int>(-32319);
    QTest::newRow("58 overflows") << 58 << std::optional<int>();
    QTest::newRow("-58 overflows") << -58 << std::optional<int>();
    QTest::newRow("beyond 16 bits") << 70000 << std::optional<int>();
}

void TestPageItems::marginTwips()
{
    QFETCH(int, centimetres);
    QFETCH(std::optional<int>, expected);
    QCOMPARE(MarginTwips(centimetres), expected);
}

void TestPageItems::applyPageSetupOrder()
{
    RecordingPrinter printer;
    CPage page;
    page.SetPaperSize(8);
    page.SetOrientation(2);
    page.SetLeftMargin(3);
    ApplyPageSetup(printer, page);
    const QList<RecordingPrinter::Call> &calls = printer.Calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].kind, Kind::SetPaperSize);
    QCOMPARE(calls[0].value, 8.0);
    QCOMPARE(calls[1].kind, Kind::SetOrientation);
    QCOMPARE(calls[1].value, 2.0);
}

void TestPageItems::setPrinterFontOrder()
{
    RecordingPrinter printer;
    SetPrinterFont(printer, StdFont{u"Courier"_s, 10.1, true, false, true, false});
    const QList<RecordingPrinter::Call> &calls = printer.Calls();
    const QList<Kind> order{Kind::SetFontName, Kind::SetFontSize, Kind::SetFontBold,
                            Kind::SetFontItalic, Kind::SetFontStrikethru, Kind::SetFontUnderline};
    QCOMPARE(calls.size(), order.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        QCOMPARE(calls[i].kind, order[i]);
    QCOMPARE(calls[0].text, u"Courier"_s);
    // The size goes through single precision on its way to the printer.
    QCOMPARE(calls[1].value, static_cast<double>(10.1f));
    QCOMPARE(calls[2].value, 1.0);
    QCOMPARE(calls[3].value, 0.0);
    QCOMPARE(calls[4].value, 0.0);
    QCOMPARE(calls[5].value, 1.0);
}

QTEST_GUILESS_MAIN(TestPageItems)
#include "tst_pageitems.moc"
