#include "ListPrinter.h"
#include "PrintSteps.h"
#include "RecordingPrinter.h"

#include <QTest>

#include <array>

using namespace Qt::StringLiterals;
using Kind = RecordingPrinter::Kind;
constexpr std::array Margins{&PageSetup::SetLeftMargin, &PageSetup::SetRightMargin,
                             &PageSetup::SetTopMargin, &PageSetup::SetBottomMargin};

Q_DECLARE_METATYPE(TextAlign)

// Page items and whole printouts, as the operations a recording printer was asked for.
class TestListPrinter : public QObject
{
    Q_OBJECT
private slots:
    void textItem_data();
    void textItem();
    void firstPageLayout();
    void pageBreaks_data();
    void pageBreaks();
    void errorPath_data();
    void errorPath();
};

namespace {

// One line per drawing operation, so that whole pages compare as lists of strings.
QStringList Trace(const RecordingPrinter &printer)
{
    static const QStringList names{u"print"_s,   u"line"_s,   u"icon"_s,
                                   u"newpage"_s, u"enddoc"_s, u"killdoc"_s};
    const auto n = [](double v) { return QString::number(v, 'g', 10); };
    QStringList out;
    for (const RecordingPrinter::Call &c : printer.Calls()) {
        QString line = names[int(c.kind)];
        if (c.kind == Kind::Print)
            line += u" %1,%2 %3"_s.arg(n(c.x), n(c.y), c.text);
        else if (c.kind <= Kind::PaintPicture)
            line += u" %1,%2 %3,%4"_s.arg(n(c.x), n(c.y), n(c.x2), n(c.y2));
        out << line;
    }
    return out;
}

// One column "C" of 1000 twips, rows "r1".."rN"; margins 1 cm, header "H", title "T", footer
// "F". Rows start at y 1280 on page 1 and 797 on later pages.
void Prepare(ListPrinter &view, int rows, double rowHeight = 240, bool icons = true)
{
    PrintedList list;
    list.columns = {{u"C"_s, 1000, TextAlign::Left, false}};
    for (int i = 1; i <= rows; ++i)
        list.rows.append({{u"r%1"_s.arg(i)}, std::nullopt});
    list.rowHeight = rowHeight;
    if (icons)
        list.iconSize = QSize(16, 16);
    view.SetControl(list);
    for (const auto set : Margins)
        (view.Page().*set)(1);
    view.Page().Header().SetText(u"H"_s);
    view.Page().Footer().SetText(u"F"_s);
    view.Title().SetText(u"T"_s);
}

} // namespace

// What the printout's layout does not show. At 12 points the recording printer's text is 120
// twips a character; the printer's width is 11905 twips.
void TestListPrinter::textItem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextAlign>("alignment");
    QTest::addColumn<int>("right");
    QTest::addColumn<QString>("printed"); // on page 10; empty: nothing done
    QTest::addColumn<double>("x");
    // Measured once the item's font is set and the page number is in: 11905 - 567 - 960.
    QTest::newRow("right") << u"Page. <pag>"_s << TextAlign::Right << 567 << u"Page. 10"_s
                           << 10378.0;
    QTest::newRow("centred, margins ignored, half twip kept")
        << u"Page. <pag>"_s << TextAlign::Centre << 5000 << u"Page. 10"_s << 5472.5;
    QTest::newRow("other keeps pen, first marker in exact case")
        << u"<Pag> <pag>/<pag>"_s << static_cast<TextAlign>(5) << 850 << u"<Pag> 10/<pag>"_s
        << 777.5;
    QTest::newRow("empty") << QString() << TextAlign::Left << 850 << QString() << 777.5;
}

void TestListPrinter::textItem()
{
    QFETCH(QString, text);
    QFETCH(TextAlign, alignment);
    QFETCH(int, right);
    QFETCH(QString, printed);
    QFETCH(double, x);
    RecordingPrinter printer;
    printer.scaleWidth = 11905;
    printer.page = 10;
    printer.x = 777.5;
    printer.y = 1000;
    TextItem item;
    item.SetText(text);
    item.SetAlignment(alignment);
    item.Font() = PrintFont{u"Times"_s, 12, true, false, true, false};
    PrintTextItem(printer, item, 850, right);
    QCOMPARE(Trace(printer), printed.isEmpty()
                                 ? QStringList()
                                 : QStringList{u"print %1,1000 %2"_s.arg(x).arg(printed)});
    QCOMPARE(printer.font, printed.isEmpty() ? PrintFont() : item.Font()); // empty: left alone
}

// The printed geometry: every alignment, hidden and empty columns, icons in a taller row, and
// screen pixels that are not square.
void TestListPrinter::firstPageLayout()
{
    RecordingPrinter printer;
    printer.twipsPerPixelX = 12;
    printer.paperSize = PaperCode::A3; // the page setup starts as the printer's, and is kept
    printer.orientation = OrientationCode::Landscape;
    ListPrinter view(printer);
    PrintedList list;
    list.columns = {{u"Name"_s, 2000, TextAlign::Left, false},
                    {u"Size"_s, 1500, TextAlign::Right, false},
                    {u"Hid"_s, 1000, TextAlign::Left, true},
                    {u"Zero"_s, 0, TextAlign::Left, false},
                    {u"Date"_s, 1000, TextAlign::Centre, false},
                    {u"Odd"_s, 800, static_cast<TextAlign>(5), false}};
    list.rows = {{{u"a"_s, u"12"_s, u"h"_s, u"z"_s, u"d1"_s, u"o"_s}, QPixmap()},
                 {{u"bb"_s, u"7"_s}, std::nullopt}};
    list.rowHeight = 360;
    list.iconSize = QSize(16, 20);
    Prepare(view, 0);
    view.SetControl(list);
    view.HeaderFont().size = 12;
    view.HeaderFont().bold = true;
    view.Page().Header().SetText(u"Head"_s);
    view.Title().SetText(u"Title"_s);
    view.Title().SetAlignment(TextAlign::Centre);
    view.Page().Footer().SetText(u"P<pag>"_s);
    view.Page().Footer().SetAlignment(TextAlign::Right);

    QVERIFY(view.PrintControl().ok);
    // Titles from 767 + 283.5 rounded to even, rule one 12-point line lower, rows two pixels
    // under it; an alignment of none leaves a title where its rule ended and a cell at x 0. The
    // last footer's top is on the bottom margin line 16838 - 567.
    const QStringList expected{
        u"print 0,0  "_s,          u"print 567,0 Head"_s,
        u"print 5703,567 Title"_s, u"line 567,1290 2567,1290"_s,
        u"print 567,1050 Name"_s,  u"line 2567,1290 4067,1290"_s,
        u"print 3587,1050 Size"_s, u"line 4067,1290 5067,1290"_s,
        u"print 4327,1050 Date"_s, u"line 5067,1290 5867,1290"_s,
        u"print 5867,1050 Odd"_s,  u"icon 567,1350 192,300"_s,
        u"print 771,1400 a"_s,     u"print 3867,1400 12"_s,
        u"print 4467,1400 d1"_s,   u"print 0,1400 o"_s,
        u"print 771,1760 bb"_s,    u"print 3967,1760 7"_s,
        u"print 4567,1760 "_s,     u"print 0,1760 "_s,
        u"print 11139,16271 P1"_s, u"enddoc"_s,
    };
    QCOMPARE(Trace(printer), expected);
    QCOMPARE(printer.Calls()[4].font, view.HeaderFont());
    QCOMPARE(printer.Calls()[12].font, list.font);
    QCOMPARE(printer.paperSize, PaperCode::A3);
    QCOMPARE(printer.orientation, OrientationCode::Landscape);
}

void TestListPrinter::pageBreaks_data()
{
    QTest::addColumn<double>("scaleHeight");
    QTest::addColumn<double>("rowHeight");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QList<double>>("footerY");
    // Bottom margin line at scaleHeight - 567; page 1 rows from 1280, later pages from 797.
    QTest::newRow("nothing to print")
        << 2807.0 << 240.0 << 0 << QStringList{u"H T C F"_s} << QList<double>{2240};
    QTest::newRow("ends just above the margin line: stays")
        << 2808.0 << 240.0 << 4 << QStringList{u"H T C r1 r2 r3 r4 F"_s} << QList<double>{2241};
    // r4 would end on the margin line; a footer at a break is where that row would have ended.
    QTest::newRow("three pages") << 2807.0 << 240.4 << 10
                                 << QStringList{u"H T C r1 r2 r3 F"_s, u"H C r4 r5 r6 r7 r8 r9 F"_s,
                                                u"H C r10 F"_s}
                                 << QList<double>{2240.4, 2477.4, 2240};
}

void TestListPrinter::pageBreaks()
{
    QFETCH(double, scaleHeight);
    QFETCH(double, rowHeight);
    QFETCH(int, rows);
    QFETCH(QStringList, pages);
    QFETCH(QList<double>, footerY);
    RecordingPrinter printer;
    printer.scaleHeight = scaleHeight;
    ListPrinter view(printer);
    Prepare(view, rows, rowHeight);
    QVERIFY(view.PrintControl().ok);
    QStringList printed{QString()};
    QList<double> footers;
    for (const RecordingPrinter::Call &c : printer.Calls()) {
        if (c.kind == Kind::NewPage)
            printed << QString();
        if (c.kind != Kind::Print || c.text == u" "_s)
            continue;
        printed.back() += (printed.back().isEmpty() ? u""_s : u" "_s) + c.text;
        if (c.text == u"F"_s)
            footers << c.y;
    }
    QCOMPARE(printed, pages);
    QCOMPARE(footers, footerY);
    QVERIFY(view.PrintControl().ok);
    QCOMPARE(view.PrintedItems(), rows); // counted afresh
}

void TestListPrinter::errorPath_data()
{
    QTest::addColumn<int>("margin"); // set to 58 cm: left, right, top, bottom; -1: no icon set
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("drawnBeforeKill");
    QTest::newRow("left") << 0 << ErrorNumber::Overflow << 1;
    QTest::newRow("right") << 1 << ErrorNumber::Overflow << 1;
    QTest::newRow("top") << 2 << ErrorNumber::Overflow << 2;
    QTest::newRow("bottom, after titles") << 3 << ErrorNumber::Overflow << 5;
    QTest::newRow("no icon set, after titles") << -1 << ErrorNumber::ObjectNotSet << 5;
}

void TestListPrinter::errorPath()
{
    QFETCH(int, margin);
    QFETCH(int, number);
    QFETCH(int, drawnBeforeKill);
    RecordingPrinter printer;
    printer.scaleHeight = 2807;
    ListPrinter view(printer);
    Prepare(view, 4, 240, margin >= 0);
    if (margin >= 0)
        (view.Page().*Margins[margin])(58); // 32886 twips: beyond 16 bits
    const PrintResult result = view.PrintControl();
    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, number);
    QVERIFY(!result.errorText.isEmpty());
    const QStringList trace = Trace(printer);
    QCOMPARE(trace.size(), drawnBeforeKill + 1);
    QCOMPARE(trace.back(), u"killdoc"_s);
}

QTEST_GUILESS_MAIN(TestListPrinter)
#include "tst_listprinter.moc"
