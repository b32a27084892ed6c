#include "ListPrinter.h"
#include "DevicePrinter.h"

#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// The printer operations over a real QPrinter writing PDF files.
class TestDevicePrinter : public QObject
{
    Q_OBJECT
private slots:
    void paperCodes_data();
    void paperCodes();
    void landscapeSwapsTheScale();
    void textMetricsFollowTheFont();
    void pagesAndPen();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();

private:
    std::unique_ptr<DevicePrinter> pdfPrinter(const QString &path) const;
    QTemporaryDir m_dir;
};

namespace {

int PdfPageCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return int(text.count(QRegularExpression(u"/Type\\s*/Page(?!s)"_s)));
}

PrintedList ListOf(int rows)
{
    PrintedList list;
    list.font.name = u"DejaVu Sans"_s;
    list.font.size = 9;
    list.rowHeight = 19 * 15;
    list.iconSize = QSize(16, 16);
    list.columns = {{u"Nom"_s, 3000, 0, false}, {u"Taille"_s, 1500, 1, false},
                    {u"Date"_s, 2500, 2, false}};
    QPixmap icon(16, 16);
    icon.fill(Qt::darkBlue);
    for (int row = 0; row < rows; ++row)
        list.rows.append({{u"fichier-%1.txt"_s.arg(row), QString::number(row * 1024), u"01/02/2026"_s},
                          icon});
    return list;
}

} // namespace

std::unique_ptr<DevicePrinter> TestDevicePrinter::pdfPrinter(const QString &path) const
{
    auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    device->setOutputFormat(QPrinter::PdfFormat);
    device->setOutputFileName(path);
    device->setPageSize(QPageSize(QPageSize::A4));
    return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
}

void TestDevicePrinter::paperCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("expectedId");
    QTest::addColumn<int>("readBack");
    QTest::newRow("letter") << 1 << int(QPageSize::Letter) << 1;
    QTest::newRow("a3") << 8 << int(QPageSize::A3) << 8;
    QTest::newRow("small a4 is a4") << 10 << int(QPageSize::A4) << 9;
    QTest::newRow("unknown code keeps the paper") << 999 << int(QPageSize::A4) << 9;
}

void TestDevicePrinter::paperCodes()
{
    QFETCH(int, code);
    QFETCH(int, expectedId);
    QFETCH(int, readBack);
    auto printer = pdfPrinter(m_dir.filePath(u"unused.pdf"_s));
    printer->SetPaperSize(code);
    QCOMPARE(int(printer->device().pageLayout().pageSize().id()), expectedId);
    QCOMPARE(printer->PaperSize(), readBack);
}

void TestDevicePrinter::landscapeSwapsTheScale()
{
    auto printer = pdfPrinter(m_dir.filePath(u"unused.pdf"_s));
    QCOMPARE(printer->Orientation(), 1);
    const double width = printer->ScaleWidth();
    const double height = printer->ScaleHeight();
    // The printable area of A4 (210 mm = 11906 twips) less the device's own margins.
    QVERIFY(width > 10000 && width <= 11906);
    QVERIFY(height > width);
    printer->SetOrientation(2);
    QCOMPARE(printer->Orientation(), 2);
    QCOMPARE(printer->ScaleWidth(), height);
    QCOMPARE(printer->ScaleHeight(), width);
    printer->SetOrientation(7); // not a code: left as it was
    QCOMPARE(printer->Orientation(), 2);
}

void TestDevicePrinter::textMetricsFollowTheFont()
{
    auto printer = pdfPrinter(m_dir.filePath(u"unused.pdf"_s));
    printer->SetFontName(u"DejaVu Sans"_s);
    printer->SetFontSize(10);
    const double width10 = printer->TextWidth(u"MMMMMMMMMM"_s);
    const double height10 = printer->TextHeight(u"A"_s);
    // A 10-point line is a little more than 200 twips high; ten Ms about 1.7 inch wide.
    QVERIFY2(height10 > 200 && height10 < 300, qPrintable(QString::number(height10)));
    QVERIFY(width10 > 1500 && width10 < 3000);
    QCOMPARE(printer->TextHeight(u"two\nlines"_s), 2 * height10);
    printer->SetFontSize(20);
    QVERIFY(qAbs(printer->TextWidth(u"MMMMMMMMMM"_s) / width10 - 2) < 0.05);
    // A size no font can have is refused with the property-value error.
    try {
        printer->SetFontSize(0);
        QFAIL("a zero font size was taken");
    } catch (const PrinterError &error) {
        QCOMPARE(error.number, 380);
    }
    QVERIFY(qAbs(printer->TextHeight(u"A"_s) / height10 - 2) < 0.05);
}

void TestDevicePrinter::pagesAndPen()
{
    const QString path = m_dir.filePath(u"pages.pdf"_s);
    auto printer = pdfPrinter(path);
    QCOMPARE(printer->Page(), 1);
    printer->SetFontSize(12);
    printer->SetCurrentY(700);
    printer->print(u"Bonjour"_s);
    QCOMPARE(printer->CurrentY(), 700 + printer->TextHeight(u"Bonjour"_s));
    printer->Line(0, 100, 4000, 100);
    QCOMPARE(printer->CurrentY(), 100.0);
    printer->NewPage();
    QCOMPARE(printer->Page(), 2);
    QCOMPARE(printer->CurrentY(), 0.0);
    printer->print(u"deux"_s);
    printer->EndDoc();
    QCOMPARE(PdfPageCount(path), 2);
    // The next document starts again at page 1.
    QCOMPARE(printer->Page(), 1);
}

void TestDevicePrinter::failuresLeaveNoFile_data()
{
    QTest::addColumn<bool>("unwritable");
    QTest::newRow("file cannot be written") << true;
    QTest::newRow("document abandoned mid-way") << false;
}

void TestDevicePrinter::failuresLeaveNoFile()
{
    QFETCH(bool, unwritable);
    const QString path = unwritable ? m_dir.filePath(u"missing/folder/out.pdf"_s)
                                    : m_dir.filePath(u"abandoned.pdf"_s);
    auto printer = pdfPrinter(path);
    ListPrinter printout(*printer);
    PrintedList list = ListOf(3);
    if (!unwritable)
        list.iconSize.reset(); // rows without an icon set fail after the first page's titles
    printout.SetControl(list);
    const PrintResult result = printout.PrintControl();
    QVERIFY(!result.ok);
    QCOMPARE(result.errorNumber, unwritable ? 482 : 91);
    if (unwritable)
        QVERIFY(result.errorText.contains(path));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(printer->Page(), 1);
}

QTEST_MAIN(TestDevicePrinter)
#include "tst_deviceprinter.moc"
