#include "ListPrinter.h"
#include "PrintSteps.h"
#include "RecordingPrinter.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Kind = RecordingPrinter::Kind;

// Page items and whole printouts, as the operations a recording printer was asked for.
class TestListPrinter : public QObject
{
    Q_OBJECT
private slots:
    void textItemAtThePen();
    void firstPageLayout();
    void cellsKeepToTheirColumns();
    void printouts_data();
    void printouts();
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

// One column "C" of 1000 twips, rows "r1".."rN"; margins of `margins` cm, header "H", title "T",
// footer "F". With 1 cm, rows start at y 1280 on page 1 and 797 on later pages.
void Prepare(ListPrinter &view, int rows, double rowHeight = 240, bool icons = true,
             qint16 margins = 1)
{
    PrintedList list;
    list.columns = {{u"C"_s, 1000, TextAlign::Left, false}};
    for (int i = 1; i <= rows; ++i)
        list.rows.append({{u"r%1"_s.arg(i)}, std::nullopt});
    list.rowHeight = rowHeight;
    if (icons)
        list.iconSize = QSize(16, 16);
    view.SetControl(list);
    view.Page().SetLeftMargin(margins);
    view.Page().SetRightMargin(margins);
    view.Page().SetTopMargin(margins);
    view.Page().SetBottomMargin(margins);
    view.Page().Header().SetText(u"H"_s);
    view.Page().Footer().SetText(u"F"_s);
    view.Title().SetText(u"T"_s);
}

} // namespace

// What the layout does not show: an empty item prints nothing, an alignment of none prints at
// the pen, and only the first marker in exact case is the page number.
void TestListPrinter::textItemAtThePen()
{
    RecordingPrinter printer;
    printer.page = 10;
    printer.x = 777.5;
    PrintTextItem(printer, TextItem(), 850, 567);
    TextItem item;
    item.SetText(u"<pag> <Pag>/<pag>"_s);
    item.SetAlignment(static_cast<TextAlign>(5));
    PrintTextItem(printer, item, 850, 567);
    QCOMPARE(Trace(printer), QStringList{u"print 777.5,0 10 <Pag>/<pag>"_s});
}

// The printed geometry: every alignment, hidden and empty columns, icons in a taller row, and
// screen pixels that are not square.
void TestListPrinter::firstPageLayout()
{
    RecordingPrinter printer;
    printer.scaleWidth = 11905;
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
    view.Title().Font().size = 14;
    view.Page().Footer().SetText(u"P<pag>"_s);
    view.Page().Footer().SetAlignment(TextAlign::Right);

    QVERIFY(view.PrintControl().ok);
    // The title centred on the whole width, half twip kept, in its own font; column titles from
    // 847 + 283.5 rounded to even, rule one 12-point line lower, rows two pixels under it; an
    // alignment of none leaves a title where its rule ended and a cell at x 0. The last footer's
    // top is on the bottom margin line 16838 - 567.
    const QStringList expected{
        u"print 0,0  "_s,
        u"print 567,0 Head"_s,
        u"print 5602.5,567 Title"_s,
        u"line 567,1370 2567,1370"_s,
        u"print 567,1130 Name"_s,
        u"line 2567,1370 4067,1370"_s,
        u"print 3587,1130 Size"_s,
        u"line 4067,1370 5067,1370"_s,
        u"print 4327,1130 Date"_s,
        u"line 5067,1370 5867,1370"_s,
        u"print 5867,1130 Odd"_s,
        u"icon 567,1430 192,300"_s,
        u"print 771,1480 a"_s,
        u"print 3867,1480 12"_s,
        u"print 4467,1480 d1"_s,
        u"print 0,1480 o"_s,
        u"print 771,1840 bb"_s,
        u"print 3967,1840 7"_s,
        u"print 4567,1840 "_s,
        u"print 0,1840 "_s,
        u"print 11138,16271 P1"_s,
        u"enddoc"_s,
    };
    QCOMPARE(Trace(printer), expected);
    QCOMPARE(printer.Calls()[4].font, view.HeaderFont());
    QCOMPARE(printer.Calls()[12].font, list.font);
    QCOMPARE(printer.paperSize, PaperCode::A3);
    QCOMPARE(printer.orientation, OrientationCode::Landscape);
}

// Each cell as the screen shows it: inside its column less the padding, shortened with "…",
// the icon with the names wherever their column was dragged.
void TestListPrinter::cellsKeepToTheirColumns()
{
    RecordingPrinter printer;
    ListPrinter view(printer);
    Prepare(view, 0);
    PrintedList list;
    list.font.size = 10; // 100 twips a character
    list.columns = {{u"Date"_s, 1000, TextAlign::Left, false},
                    {u"Nom"_s, 1200, TextAlign::Left, false},
                    {u"Taille"_s, 700, TextAlign::Right, false}};
    list.iconColumn = 1;
    list.cellPadding = 45;
    list.iconSize = QSize(16, 16);
    list.rowHeight = 240;
    list.rows = {
        {{u"06/12/2026"_s, u"rapport-annuel.pdf"_s, u"3 500 000"_s}, QPixmap()},
        {{u"d"_s, u"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"_s, u""_s}, std::nullopt}};
    view.SetControl(list);
    QVERIFY(view.PrintControl().ok);
    // The column titles and the rows: after the page header and the title, before the footer.
    QStringList cells = Trace(printer).mid(3, 13);
    cells.removeIf([](const QString &call) { return call.startsWith(u"line"_s); });
    // Rooms: 612 to 1522; the names' text from 567 + 1000 + 45 + 16 px + 1 px to 2722, its icon
    // at the column's padding; 2812 to 3422.
    const QStringList expected{
        u"print 612,1050 Date"_s,
        u"print 1612,1050 Nom"_s,
        u"print 2822,1050 Taille"_s,
        u"print 612,1300 06/12/20…"_s,
        u"icon 1612,1280 240,240"_s,
        u"print 1867,1300 rapport…"_s,
        u"print 2822,1300 3 500…"_s,
        u"print 612,1540 d"_s,
        u"print 1867,1540 \U0001F600\U0001F600\U0001F600…"_s, // never half a character
        u"print 3422,1540 "_s,
    };
    QCOMPARE(cells, expected);
}

void TestListPrinter::printouts_data()
{
    QTest::addColumn<double>("scaleHeight");
    QTest::addColumn<double>("rowHeight");
    QTest::addColumn<int>("rows");
    QTest::addColumn<qint16>("margins");
    QTest::addColumn<bool>("icons");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("pages"); // the footer with its y
    // Bottom margin line at scaleHeight - 567; page 1 rows from 1280, later pages from 797.
    QTest::newRow("nothing to print")
        << 2807.0 << 240.0 << 0 << qint16(1) << true << 0 << QStringList{u"H T C F@2240"_s};
    QTest::newRow("ends just above the margin line: stays")
        << 2808.0 << 240.0 << 4 << qint16(1) << true << 0
        << QStringList{u"H T C r1 r2 r3 r4 F@2241"_s};
    // r4 would end on the margin line; a footer at a break is where that row would have ended.
    QTest::newRow("three pages") << 2807.0 << 240.4 << 10 << qint16(1) << true << 0
                                 << QStringList{u"H T C r1 r2 r3 F@2240.4"_s,
                                                u"H C r4 r5 r6 r7 r8 r9 F@2477.4"_s,
                                                u"H C r10 F@2240"_s};
    // 58 cm is 32886 twips, beyond 16 bits: the header cannot be placed.
    QTest::newRow("margin overflow") << 2807.0 << 240.0 << 4 << qint16(58) << true
                                     << ErrorNumber::Overflow << QStringList{u"killed"_s};
    QTest::newRow("no icon set, after titles")
        << 2807.0 << 240.0 << 4 << qint16(1) << false << ErrorNumber::ObjectNotSet
        << QStringList{u"H T C killed"_s};
}

void TestListPrinter::printouts()
{
    QFETCH(double, scaleHeight);
    QFETCH(double, rowHeight);
    QFETCH(int, rows);
    QFETCH(qint16, margins);
    QFETCH(bool, icons);
    RecordingPrinter printer;
    printer.scaleHeight = scaleHeight;
    ListPrinter view(printer);
    Prepare(view, rows, rowHeight, icons, margins);
    const PrintResult result = view.PrintControl();
    QTEST(result.errorNumber, "error");
    QCOMPARE(result.ok, result.errorText.isEmpty());
    QStringList printed{QString()};
    for (const RecordingPrinter::Call &c : printer.Calls()) {
        if (c.kind == Kind::NewPage)
            printed << QString();
        const QString text = c.kind == Kind::KillDoc ? u"killed"_s : c.text;
        if (text.trimmed().isEmpty() || (c.kind != Kind::Print && c.kind != Kind::KillDoc))
            continue;
        printed.back() += (printed.back().isEmpty() ? u""_s : u" "_s) + text;
        if (text == u"F"_s)
            printed.back() += u'@' + QString::number(c.y);
    }
    QTEST(printed, "pages");
    QCOMPARE(view.PrintControl().ok, result.ok);
    QCOMPARE(view.PrintedItems(), result.ok ? rows : 0); // counted afresh
}

QTEST_GUILESS_MAIN(TestListPrinter)
#include "tst_listprinter.moc"
