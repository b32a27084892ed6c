#include "DevicePrinter.h"
#include "ListPrinter.h"
#include "ListSnapshot.h"
#include "PrintQueue.h"
#include "PrintSteps.h"
#include "RecordingPrinter.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

#include <sys/mount.h>

using namespace Qt::StringLiterals;
using Kind = RecordingPrinter::Kind;

// Page items and whole printouts, as the operations a recording printer was asked for; the
// printer operations over a QPrinter writing PDF files; the snapshot of a list view.
class TestListPrinter : public QObject
{
    Q_OBJECT
private slots:
    // No print system of the machine's is asked: ours is on a server that is not there.
    void initTestCase() { qputenv("CUPS_SERVER", "127.0.0.1:9"); }
    void layout();
    void printouts_data();
    void printouts();
    void pdfDevice();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();
    void jobRefused();
    void snapshotOfAView();

private:
    std::unique_ptr<DevicePrinter> pdfPrinter(const QString &name = u"unused.pdf"_s) const
    {
        auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
        device->setOutputFormat(QPrinter::PdfFormat);
        device->setOutputFileName(m_dir.filePath(name));
        device->setPageSize(QPageSize(QPageSize::A4));
        return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
    }
    QTemporaryDir m_dir;
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

// The printed geometry: every alignment, hidden and empty columns, the icon in a taller row with
// the names wherever their column was dragged, screen pixels that are not square, and each cell
// inside its column less the padding, shortened with "…". An empty header prints nothing, and
// only the footer's first page marker in exact case is the page number.
void TestListPrinter::layout()
{
    RecordingPrinter printer;
    printer.scaleWidth = 11905;
    printer.twipsPerPixelX = 12;
    printer.paperSize = PaperCode::A3; // the page setup starts as the printer's, and is kept
    printer.orientation = OrientationCode::Landscape;
    ListPrinter view(printer);
    PrintedList list;
    list.columns = {{u"Date"_s, 1000, TextAlign::Left, false},
                    {u"Nom"_s, 1100, TextAlign::Left, false},
                    {u"Taille"_s, 700, TextAlign::Right, false},
                    {u"Hid"_s, 1000, TextAlign::Left, true},
                    {u"Zero"_s, 0, TextAlign::Left, false},
                    {u"Mid"_s, 1000, TextAlign::Centre, false},
                    {u"Odd"_s, 800, static_cast<TextAlign>(5), false}};
    list.rows = {{{u"06/12/2026"_s, u"rapport-annuel.pdf"_s, u"3 500 000"_s, u"h"_s, u"z"_s,
                   u"d1"_s, u"o"_s},
                  QPixmap()},
                 {{u"d"_s, u"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"_s}, std::nullopt}};
    list.rowHeight = 360;
    list.iconSize = QSize(16, 20);
    list.iconColumn = 1;
    list.cellPadding = 45;
    Prepare(view, 0);
    view.SetControl(list);
    view.HeaderFont().size = 12; // 120 twips a character
    view.HeaderFont().bold = true;
    view.Page().Header().SetText({});
    view.Title().SetAlignment(TextAlign::Centre);
    view.Title().Font().size = 14;
    view.Page().Footer().SetText(u"P<pag> <Pag>/<pag>"_s);
    view.Page().Footer().SetAlignment(TextAlign::Right);

    QVERIFY(view.PrintControl().ok);
    // The title centred on the whole width, half twip kept, in its own font; column titles from
    // 847 + 283.5 rounded to even, rule one 12-point line lower, rows two pixels under it. Rooms:
    // 612 to 1522; the names' text from 1612 + 16 px + 1 px to 2622, its icon at the padding;
    // 2712 to 3322; 3412 to 4322. An alignment of none leaves a title where its rule ended and a
    // cell at x 0. The last footer's top is on the bottom margin line 16838 - 567.
    const QStringList expected{
        u"print 0,0  "_s,
        u"print 5882.5,567 T"_s,
        u"line 567,1370 1567,1370"_s,
        u"print 612,1130 Date"_s,
        u"line 1567,1370 2667,1370"_s,
        u"print 1612,1130 Nom"_s,
        u"line 2667,1370 3367,1370"_s,
        u"print 2722,1130 Tail…"_s,
        u"line 3367,1370 4367,1370"_s,
        u"print 3687,1130 Mid"_s,
        u"line 4367,1370 5167,1370"_s,
        u"print 5167,1130 Odd"_s,
        u"print 612,1480 06/12/20…"_s,
        u"icon 1612,1430 192,300"_s,
        u"print 1816,1480 rapport…"_s,
        u"print 2722,1480 3 500…"_s,
        u"print 3767,1480 d1"_s,
        u"print 0,1480 o"_s,
        u"print 612,1840 d"_s,
        u"print 1816,1840 \U0001F600\U0001F600\U0001F600…"_s, // never half a character
        u"print 3322,1840 "_s,
        u"print 3867,1840 "_s,
        u"print 0,1840 "_s,
        u"print 9938,16271 P1 <Pag>/<pag>"_s,
        u"enddoc"_s,
    };
    QCOMPARE(Trace(printer), expected);
    QCOMPARE(printer.Calls()[3].font, view.HeaderFont());
    QCOMPARE(printer.Calls()[12].font, list.font);
    QCOMPARE(printer.paperSize, PaperCode::A3);
    QCOMPARE(printer.orientation, OrientationCode::Landscape);
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

// Sizes, orientation, paper and text metrics in twips, and pages written to a PDF file.
void TestListPrinter::pdfDevice()
{
    auto printer = pdfPrinter(u"pages.pdf"_s);
    const double width = printer->ScaleWidth();
    const double height = printer->ScaleHeight();
    // The printable area of A4 (210 mm = 11906 twips) less the device's own margins.
    QVERIFY(width > 10000 && width <= 11906 && height > width);
    printer->SetOrientation(OrientationCode::Landscape);
    QCOMPARE(printer->Orientation(), OrientationCode::Landscape);
    printer->SetOrientation(7); // not a code: left as it was
    QCOMPARE(printer->Orientation(), OrientationCode::Landscape);
    QCOMPARE(printer->ScaleWidth(), height);
    printer->SetPaperSize(PaperCode::A3);
    QCOMPARE(printer->PaperSize(), PaperCode::A3);

    printer->SetFontName(u"DejaVu Sans"_s);
    printer->SetFontSize(10);
    const double lineHeight = printer->TextHeight(u"A"_s);
    const double width10 = printer->TextWidth(u"MMMMMMMMMM"_s);
    // A 10-point line is a little more than 200 twips high; ten Ms about 1.7 inch wide.
    QVERIFY2(lineHeight > 200 && lineHeight < 300, qPrintable(QString::number(lineHeight)));
    QVERIFY(width10 > 1500 && width10 < 3000);
    QCOMPARE(printer->TextHeight(u"two\nlines"_s), 2 * lineHeight);
    QCOMPARE(printer->TextWidth(u"MMMMMMMMMM\nM"_s), width10); // the widest line
    for (const double points : {0.0, 2160.5, 2160.0}) {
        int number = 0;
        try {
            printer->SetFontSize(points);
        } catch (const PrinterError &error) {
            number = error.number;
        }
        QCOMPARE(number, points == 2160 ? 0 : ErrorNumber::InvalidPropertyValue);
    }

    printer->SetCurrentY(700);
    printer->print(u"Bonjour"_s);
    QCOMPARE(printer->CurrentY(), 700 + printer->TextHeight(u"Bonjour"_s));
    printer->NewPage();
    QCOMPARE(printer->Page(), 2);
    QCOMPARE(printer->CurrentY(), 0.0);
    printer->print(u"deux"_s);
    printer->EndDoc();
    QCOMPARE(printer->Page(), 1); // the next document starts again at page 1
    printer.reset();              // and the finished one stays
    QFile file(m_dir.filePath(u"pages.pdf"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRegularExpression page(u"/Type\\s*/Page(?!s)"_s);
    QCOMPARE(QString::fromLatin1(file.readAll()).count(page), 2);
}

void TestListPrinter::failuresLeaveNoFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("file cannot be written") << u"missing/out.pdf"_s << ErrorNumber::PrinterFailed;
    // Rows without an icon set fail after the first page's titles.
    QTest::newRow("abandoned mid-way") << u"abandoned.pdf"_s << ErrorNumber::ObjectNotSet;
    // Qt says nothing when the file's last bytes cannot be written.
    QTest::newRow("disk full") << u"full/out.pdf"_s << ErrorNumber::PrinterFailed;
}

void TestListPrinter::failuresLeaveNoFile()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    const QString full = m_dir.filePath(u"full"_s);
    if (name.startsWith(u"full/"_s)) {
        // A memory file system of 64 KiB with 4 KiB left: a page's fonts take more.
        QDir().mkdir(full);
        if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("mounting a small file system needs root");
        QFile filler(full + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly) && filler.write(QByteArray(60 << 10, 'x')) > 0);
    }
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(full).constData(), 0); });
    auto printer = pdfPrinter(name);
    ListPrinter printout(*printer);
    PrintedList list;
    list.columns = {{u"Nom"_s, 3000, TextAlign::Left, false}};
    list.rows = {{{u"fichier"_s}, std::nullopt}};
    if (number == ErrorNumber::PrinterFailed)
        list.iconSize = QSize(16, 16);
    printout.SetControl(list);
    const PrintResult result = printout.PrintControl();
    QCOMPARE(result.errorNumber, number);
    QCOMPARE(result.errorText.contains(m_dir.filePath(name)), number == ErrorNumber::PrinterFailed);
    QVERIFY(!QFile::exists(m_dir.filePath(name)));
    QCOMPARE(printer->Page(), 1);
}

// A job the print system did not take is never reported as printed, and the reason is kept.
void TestListPrinter::jobRefused()
{
    QString answer;
    QVERIFY(!SubmitPrintJob(u"nowhere"_s, QCoreApplication::applicationFilePath(), u"Quarnel - x"_s,
                            QPrinter(), &answer));
    QVERIFY2(answer.contains(u"127.0.0.1"_s), qPrintable(answer));
}

void TestListPrinter::snapshotOfAView()
{
    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({u"Nom"_s, u"Taille"_s, u"Date"_s});
    model.setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                        Qt::TextAlignmentRole);
    model.setHeaderData(2, Qt::Horizontal, int(Qt::AlignHCenter), Qt::TextAlignmentRole);
    model.appendRow({new QStandardItem(QIcon(QPixmap(16, 16)), u"b"_s),
                     new QStandardItem(u"1 000"_s), new QStandardItem(u"hier"_s)});
    model.appendRow(new QStandardItem(u"a"_s));
    auto *picture = new QStandardItem(u"c"_s); // a picture rather than an icon, printed as it is
    picture->setData(QPixmap(24, 24), Qt::DecorationRole);
    model.appendRow(picture);
    QTreeView view;
    view.setModel(&model);
    view.header()->resizeSection(0, 200);
    view.setColumnHidden(2, true);
    view.header()->moveSection(1, 0); // the sizes dragged first: printed first

    const PrintedList list = SnapshotOf(view, 15, 12, QSize(16, 16));
    QCOMPARE(list.columns.size(), 3);
    QCOMPARE(list.columns[1].width, 3000.0);
    QCOMPARE(list.columns[0].alignment, TextAlign::Right);
    QCOMPARE(list.columns[2].alignment, TextAlign::Centre);
    QVERIFY(list.columns[2].hidden && !list.columns[0].hidden);
    QCOMPARE(list.iconColumn, 1);
    QCOMPARE(list.cellPadding,
             15.0 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1));
    QCOMPARE(list.rowHeight, view.sizeHintForRow(0) * 12.0);
    QCOMPARE(list.rows.size(), 3);
    QCOMPARE(list.rows[0].texts, (QStringList{u"1 000"_s, u"b"_s, u"hier"_s}));
    QCOMPARE(list.rows[0].icon->deviceIndependentSize(), QSizeF(16, 16));
    QVERIFY(!list.rows[1].icon);
    QCOMPARE(list.rows[2].icon->size(), QSize(24, 24));
}

QTEST_MAIN(TestListPrinter)
#include "tst_listprinter.moc"
