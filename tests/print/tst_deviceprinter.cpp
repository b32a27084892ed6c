#include "DevicePrinter.h"
#include "ListPrinter.h"
#include "ListSnapshot.h"

#include <QFile>
#include <QHeaderView>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;

// The printer operations over a QPrinter writing PDF files, and the snapshot of a list view.
class TestDevicePrinter : public QObject
{
    Q_OBJECT
private slots:
    void paperCodes_data();
    void paperCodes();
    void orientationAndMetrics();
    void pagesOfAPdf();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();
    void snapshotOfAView();

private:
    std::unique_ptr<DevicePrinter> pdfPrinter(const QString &name) const
    {
        auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
        device->setOutputFormat(QPrinter::PdfFormat);
        device->setOutputFileName(m_dir.filePath(name));
        device->setPageSize(QPageSize(QPageSize::A4));
        return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
    }
    QTemporaryDir m_dir;
};

void TestDevicePrinter::paperCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("expectedId");
    QTest::addColumn<int>("readBack");
    QTest::newRow("letter") << PaperCode::Letter << int(QPageSize::Letter) << PaperCode::Letter;
    QTest::newRow("small a4 is a4") << PaperCode::A4Small << int(QPageSize::A4) << PaperCode::A4;
    QTest::newRow("unknown keeps the paper") << 999 << int(QPageSize::A4) << PaperCode::A4;
}

void TestDevicePrinter::paperCodes()
{
    QFETCH(int, code);
    QFETCH(int, expectedId);
    QFETCH(int, readBack);
    auto printer = pdfPrinter(u"unused.pdf"_s);
    printer->SetPaperSize(code);
    QCOMPARE(int(printer->device().pageLayout().pageSize().id()), expectedId);
    QCOMPARE(printer->PaperSize(), readBack);
}

void TestDevicePrinter::orientationAndMetrics()
{
    auto printer = pdfPrinter(u"unused.pdf"_s);
    const double width = printer->ScaleWidth();
    const double height = printer->ScaleHeight();
    // The printable area of A4 (210 mm = 11906 twips) less the device's own margins.
    QVERIFY(width > 10000 && width <= 11906 && height > width);
    printer->SetOrientation(OrientationCode::Landscape);
    QCOMPARE(printer->Orientation(), OrientationCode::Landscape);
    QCOMPARE(printer->ScaleWidth(), height);
    printer->SetOrientation(7); // not a code: left as it was
    QCOMPARE(printer->Orientation(), OrientationCode::Landscape);

    printer->SetFontName(u"DejaVu Sans"_s);
    printer->SetFontSize(10);
    const double width10 = printer->TextWidth(u"MMMMMMMMMM"_s);
    const double height10 = printer->TextHeight(u"A"_s);
    // A 10-point line is a little more than 200 twips high; ten Ms about 1.7 inch wide.
    QVERIFY2(height10 > 200 && height10 < 300, qPrintable(QString::number(height10)));
    QVERIFY(width10 > 1500 && width10 < 3000);
    QCOMPARE(printer->TextHeight(u"two\nlines"_s), 2 * height10);
    QCOMPARE(printer->TextWidth(u"MMMMMMMMMM\nM"_s), width10);
    const auto refused = [&](double points) {
        try {
            printer->SetFontSize(points);
            return 0;
        } catch (const PrinterError &error) {
            return error.number;
        }
    };
    QCOMPARE(refused(0), ErrorNumber::InvalidPropertyValue);
    QCOMPARE(refused(2160.5), ErrorNumber::InvalidPropertyValue);
    QCOMPARE(refused(2160), 0);
}

void TestDevicePrinter::pagesOfAPdf()
{
    auto printer = pdfPrinter(u"pages.pdf"_s);
    printer->SetCurrentY(700);
    printer->print(u"Bonjour"_s);
    QCOMPARE(printer->CurrentY(), 700 + printer->TextHeight(u"Bonjour"_s));
    printer->NewPage();
    QCOMPARE(printer->Page(), 2);
    QCOMPARE(printer->CurrentY(), 0.0);
    printer->print(u"deux"_s);
    printer->EndDoc();
    QFile file(m_dir.filePath(u"pages.pdf"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString pdf = QString::fromLatin1(file.readAll());
    QCOMPARE(pdf.count(QRegularExpression(u"/Type\\s*/Page(?!s)"_s)), 2);
    QCOMPARE(printer->Page(), 1); // the next document starts again at page 1
}

void TestDevicePrinter::failuresLeaveNoFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("file cannot be written") << u"missing/out.pdf"_s << ErrorNumber::PrinterFailed;
    // Rows without an icon set fail after the first page's titles.
    QTest::newRow("abandoned mid-way") << u"abandoned.pdf"_s << ErrorNumber::ObjectNotSet;
}

void TestDevicePrinter::failuresLeaveNoFile()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    auto printer = pdfPrinter(name);
    ListPrinter printout(*printer);
    PrintedList list;
    list.columns = {{u"Nom"_s, 3000, TextAlign::Left, false}};
    list.rows = {{{u"fichier"_s}, std::nullopt}};
    if (number == ErrorNumber::PrinterFailed)
        list.iconSize = QSize(16, 16);
    printout.SetControl(list);
    const PrintResult result = printout.PrintControl();
    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, number);
    QCOMPARE(result.errorText.contains(m_dir.filePath(name)), number == ErrorNumber::PrinterFailed);
    QVERIFY(!QFile::exists(m_dir.filePath(name)));
    QCOMPARE(printer->Page(), 1);
}

void TestDevicePrinter::snapshotOfAView()
{
    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({u"Nom"_s, u"Taille"_s, u"Date"_s});
    model.setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                        Qt::TextAlignmentRole);
    model.setHeaderData(2, Qt::Horizontal, int(Qt::AlignHCenter), Qt::TextAlignmentRole);
    QPixmap blue(16, 16);
    blue.fill(Qt::blue);
    for (const QString &name : {u"b"_s, u"a"_s, u"c"_s}) {
        auto *first = new QStandardItem(name);
        if (name != u"a"_s)
            first->setIcon(QIcon(blue));
        model.appendRow({first, new QStandardItem(u"1 000"_s), new QStandardItem(u"hier"_s)});
    }
    QTreeView view;
    view.setModel(&model);
    view.header()->resizeSection(0, 200);
    view.setColumnHidden(2, true);

    const PrintedList list = SnapshotOf(view, 15, 12, QSize(16, 16));
    QCOMPARE(list.columns.size(), 3);
    QCOMPARE(list.columns[0].width, 3000.0);
    QCOMPARE(list.columns[1].alignment, TextAlign::Right);
    QCOMPARE(list.columns[2].alignment, TextAlign::Centre);
    QVERIFY(list.columns[2].hidden && !list.columns[1].hidden);
    QCOMPARE(list.rowHeight, view.sizeHintForRow(0) * 12.0);
    QCOMPARE(list.rows.size(), 3);
    QCOMPARE(list.rows[1].texts, (QStringList{u"a"_s, u"1 000"_s, u"hier"_s}));
    QVERIFY(!list.rows[1].icon && list.rows[2].icon);
    QCOMPARE(list.rows[0].icon->deviceIndependentSize(), QSizeF(16, 16));
}

QTEST_MAIN(TestDevicePrinter)
#include "tst_deviceprinter.moc"
