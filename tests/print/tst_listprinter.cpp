#include "ListPrinter.h"
#include "PrintedList.h"
#include "RecordingPrinter.h"
#include "PrintSteps.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Kind = RecordingPrinter::Kind;

class TestListPrinter : public QObject
{
    Q_OBJECT
private slots:
    void firstPageLayout();
    void rowLayout_data();
    void rowLayout();
    void hiddenColumnsTakeNoRoom();
    void pageBreaks_data();
    void pageBreaks();
    void nothingToPrintGivesOnePage();
    void errorPath_data();
    void errorPath();
};

namespace {

// The drawing operations only, one line each, so whole pages compare as lists of strings.
QStringList Trace(const RecordingPrinter &printer)
{
    QStringList out;
    for (const RecordingPrinter::Call &c : printer.Calls()) {
        const auto n = [](double v) { return QString::number(v, 'g', 10); };
        switch (c.kind) {
        case Kind::Print:
            out << u"print %1,%2 %3"_s.arg(n(c.x), n(c.y), c.text);
            break;
        case Kind::Line:
            out << u"line %1,%2-%3,%4"_s.arg(n(c.x), n(c.y), n(c.x2), n(c.y2));
            break;
        case Kind::PaintPicture:
            out << u"icon %1,%2 %3x%4"_s.arg(n(c.x), n(c.y), n(c.x2), n(c.y2));
            break;
        case Kind::NewPage:
            out << u"newpage"_s;
            break;
        case Kind::EndDoc:
            out << u"enddoc"_s;
            break;
        case Kind::KillDoc:
            out << u"killdoc"_s;
            break;
        default:
            break;
        }
    }
    return out;
}

void SetMargins(PageSetup &page, qint16 cm)
{
    page.SetLeftMargin(cm);
    page.SetRightMargin(cm);
    page.SetTopMargin(cm);
    page.SetBottomMargin(cm);
}

// One column "C" of 1000 twips, rows "r1".."rN" of rowHeight, 16-pixel icons; margins 1 cm,
// header "H", title "T", footer "F". Rows then start at y 1280 on page 1 and 797 on later pages.
PrintedList Rows(int count, double rowHeight = 240)
{
    PrintedList list;
    list.columns = {{u"C"_s, 1000, 0, false}};
    for (int i = 1; i <= count; ++i)
        list.rows.append({{u"r%1"_s.arg(i)}, std::nullopt});
    list.rowHeight = rowHeight;
    list.iconSize = QSize(16, 16);
    return list;
}

void Prepare(ListPrinter &view, const PrintedList &list)
{
    view.SetControl(list);
    SetMargins(view.Page(), 1);
    view.Page().Header().SetText(u"H"_s);
    view.Page().Footer().SetText(u"F"_s);
    view.Title().SetText(u"T"_s);
}

} // namespace

void TestListPrinter::firstPageLayout()
{
    RecordingPrinter printer;
    ListPrinter view(printer);
    PrintedList list;
    list.columns = {{u"Name"_s, 2000, 0, false}, {u"Size"_s, 1500, 1, false}};
    list.rows = {{{u"a"_s, u"12"_s}, QPixmap()}, {{u"bb"_s, u"7"_s}, std::nullopt}};
    list.rowHeight = 240;
    list.iconSize = QSize(16, 16);
    view.SetControl(list);
    view.HeaderFont().size = 12;
    view.HeaderFont().bold = true;
    SetMargins(view.Page(), 1);
    view.Page().Header().SetText(u"Head"_s);
    view.Title().SetText(u"Title"_s);
    view.Title().SetAlignment(2);
    view.Page().Footer().SetText(u"P<pag>"_s);
    view.Page().Footer().SetAlignment(1);

    const PrintResult result = view.PrintControl();
    QVERIFY(result.ok);
    // Titles from 767 + 283.5 rounded to even, rule one 12-point line (240) lower, rows two
    // pixels under it; the last footer's top on the bottom margin line 16838 - 567.
    const QStringList expected{
        u"print 0,0  "_s,          u"print 567,0 Head"_s,
        u"print 5703,567 Title"_s, u"line 567,1290-2567,1290"_s,
        u"print 567,1050 Name"_s,  u"line 2567,1290-4067,1290"_s,
        u"print 3587,1050 Size"_s, u"icon 567,1320 240x240"_s,
        u"print 822,1340 a"_s,     u"print 3867,1340 12"_s,
        u"print 822,1580 bb"_s,    u"print 3967,1580 7"_s,
        u"print 11139,16271 P1"_s, u"enddoc"_s,
    };
    QCOMPARE(Trace(printer), expected);
    for (const RecordingPrinter::Call &c : printer.Calls()) {
        if (c.kind != Kind::Print)
            continue;
        if (c.text == u"Size"_s)
            QVERIFY(c.font.bold);
        if (c.text == u"12"_s)
            QCOMPARE(c.font, list.font);
    }
    QCOMPARE(view.PrintedItems(), 2);
}

void TestListPrinter::rowLayout_data()
{
    QTest::addColumn<int>("alignment"); // of a second column "ab", 1000 wide; -1: none
    QTest::addColumn<QSize>("iconSize");
    QTest::addColumn<double>("twipsPerPixel");
    QTest::addColumn<double>("rowHeight");
    QTest::addColumn<bool>("withIcon");
    QTest::addColumn<QStringList>("drawn"); // among what is drawn
    const auto row = [](const char *name, int alignment, int icon, double tpp, double height,
                        bool withIcon, const QStringList &drawn) {
        QTest::newRow(name) << alignment << QSize(icon, icon) << tpp << height << withIcon << drawn;
    };
    // The second column starts at x 1567; its title "ab" is 200 wide, its cell "abcd" 400.
    row("left", 0, 16, 15, 240, false, {u"print 1567,1050 ab"_s, u"print 1567,1300 abcd"_s});
    row("right", 1, 16, 15, 240, false, {u"print 2367,1050 ab"_s, u"print 2167,1300 abcd"_s});
    row("centre", 2, 16, 15, 240, false, {u"print 1967,1050 ab"_s, u"print 1867,1300 abcd"_s});
    // Unknown: the title stays where the rule ended, the cell where the previous print left x.
    row("5 keeps pen", 5, 16, 15, 240, false, {u"print 2567,1050 ab"_s, u"print 0,1300 abcd"_s});
    // Rows start two pixels under the rule at 1250; the text is indented by the icon's width.
    row("16 px at 15", -1, 16, 15, 240, true, {u"icon 567,1280 240x240"_s, u"print 822,1300 r1"_s});
    row("icon centred in a taller row", -1, 16, 15, 300, true,
        {u"icon 567,1310 240x240"_s, u"print 822,1330 r1"_s});
    row("no icon, same indent", -1, 16, 15, 240, false, {u"print 822,1300 r1"_s});
    row("20 px at 12", -1, 20, 12, 240, true, {u"icon 567,1274 240x240"_s, u"print 819,1294 r1"_s});
}

void TestListPrinter::rowLayout()
{
    QFETCH(int, alignment);
    QFETCH(QSize, iconSize);
    QFETCH(double, twipsPerPixel);
    QFETCH(double, rowHeight);
    QFETCH(bool, withIcon);
    QFETCH(QStringList, drawn);
    RecordingPrinter printer;
    printer.SetTwipsPerPixel(twipsPerPixel, twipsPerPixel);
    ListPrinter view(printer);
    PrintedList list = Rows(1, rowHeight);
    list.iconSize = iconSize;
    if (withIcon)
        list.rows[0].icon = QPixmap();
    if (alignment >= 0) {
        list.columns.append({u"ab"_s, 1000, alignment, false});
        list.rows[0].texts.append(u"abcd"_s);
    }
    Prepare(view, list);
    QVERIFY(view.PrintControl().ok);
    const QStringList trace = Trace(printer);
    for (const QString &line : drawn)
        QVERIFY2(trace.contains(line), qPrintable(line));
    QCOMPARE(trace.filter(u"icon "_s).isEmpty(), !withIcon);
}

void TestListPrinter::hiddenColumnsTakeNoRoom()
{
    RecordingPrinter printer;
    ListPrinter view(printer);
    PrintedList list = Rows(1);
    list.columns = {{u"A"_s, 1000, 0, false},
                    {u"B"_s, 1000, 0, true},
                    {u"C"_s, 0, 0, false},
                    {u"D"_s, 800, 0, false}};
    list.rows[0].texts = QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    Prepare(view, list);
    QVERIFY(view.PrintControl().ok);
    const QStringList trace = Trace(printer);
    const QStringList expected{
        u"line 567,1250-1567,1250"_s, u"print 567,1050 A"_s, u"line 1567,1250-2367,1250"_s,
        u"print 1567,1050 D"_s,       u"print 822,1300 a"_s, u"print 1567,1300 d"_s,
    };
    QCOMPARE(trace.mid(3, expected.size()), expected);
    QCOMPARE(trace.size(), 3 + expected.size() + 2);
}

void TestListPrinter::pageBreaks_data()
{
    QTest::addColumn<double>("scaleHeight");
    QTest::addColumn<double>("rowHeight");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QList<double>>("footerY");
    // Bottom margin line at scaleHeight - 567; page 1 rows from 1280, later pages from 797.
    QTest::newRow("ends on margin line: next page")
        << 2807.0 << 240.0 << 4 << QStringList{u"H T C r1 r2 r3 F"_s, u"H C r4 F"_s}
        << QList<double>{2240, 2240};
    QTest::newRow("ends just above: stays")
        << 2808.0 << 240.0 << 4 << QStringList{u"H T C r1 r2 r3 r4 F"_s} << QList<double>{2241};
    QTest::newRow("three pages") << 2807.0 << 240.0 << 10
                                 << QStringList{u"H T C r1 r2 r3 F"_s, u"H C r4 r5 r6 r7 r8 r9 F"_s,
                                                u"H C r10 F"_s}
                                 << QList<double>{2240, 2477, 2240};
    QTest::newRow("break footer unrounded")
        << 2807.0 << 240.4 << 4 << QStringList{u"H T C r1 r2 r3 F"_s, u"H C r4 F"_s}
        << QList<double>{2240.4, 2240};
}

void TestListPrinter::pageBreaks()
{
    QFETCH(double, scaleHeight);
    QFETCH(double, rowHeight);
    QFETCH(int, rows);
    QFETCH(QStringList, pages);
    QFETCH(QList<double>, footerY);
    RecordingPrinter printer(11906, scaleHeight);
    ListPrinter view(printer);
    Prepare(view, Rows(rows, rowHeight));
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
    QCOMPARE(printer.Calls().back().kind, Kind::EndDoc);
    QCOMPARE(view.PrintedItems(), rows);
    QVERIFY(view.PrintControl().ok); // counts afresh
    QCOMPARE(view.PrintedItems(), rows);
}

void TestListPrinter::errorPath_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("drawnBeforeKill");
    QTest::newRow("left 58 cm") << u"left"_s << 6 << 1;
    QTest::newRow("right 58 cm") << u"right"_s << 6 << 1;
    QTest::newRow("top 58 cm") << u"top"_s << 6 << 2;
    QTest::newRow("bottom 58 cm, after titles") << u"bottom"_s << 6 << 5;
    QTest::newRow("no icon set, after titles") << u"icons"_s << 91 << 5;
}

void TestListPrinter::errorPath()
{
    QFETCH(QString, fault);
    QFETCH(int, number);
    QFETCH(int, drawnBeforeKill);
    RecordingPrinter printer(11906, 2807);
    ListPrinter view(printer);
    PrintedList list = Rows(4);
    if (fault == u"icons"_s)
        list.iconSize.reset();
    Prepare(view, list);
    PageSetup &page = view.Page();
    if (fault == u"left"_s)
        page.SetLeftMargin(58);
    else if (fault == u"right"_s)
        page.SetRightMargin(58);
    else if (fault == u"top"_s)
        page.SetTopMargin(58);
    else if (fault == u"bottom"_s)
        page.SetBottomMargin(58);

    const PrintResult result = view.PrintControl();
    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, number);
    QVERIFY(!result.errorText.isEmpty());
    const QStringList trace = Trace(printer);
    QCOMPARE(trace.size(), drawnBeforeKill + 1);
    QCOMPARE(trace.back(), u"killdoc"_s);
    QVERIFY(!trace.contains(u"enddoc"_s));
}

void TestListPrinter::nothingToPrintGivesOnePage()
{
    RecordingPrinter printer;
    ListPrinter view(printer);
    PrintedList list = Rows(0);
    list.iconSize.reset(); // no row is printed, so no icons are needed
    Prepare(view, list);
    QVERIFY(view.PrintControl().ok);
    const QStringList expected{
        u"print 0,0  "_s,      u"print 567,0 H"_s,
        u"print 567,567 T"_s,  u"line 567,1250-1567,1250"_s,
        u"print 567,1050 C"_s, u"print 567,16271 F"_s,
        u"enddoc"_s,
    };
    QCOMPARE(Trace(printer), expected);
}

QTEST_GUILESS_MAIN(TestListPrinter)
#include "tst_listprinter.moc"
