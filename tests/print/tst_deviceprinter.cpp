#include "DevicePrinter.h"
#include "ListPrinter.h"
#include "ListSnapshot.h"

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

// The printer operations over a QPrinter writing PDF files, and the snapshot of a list view.
class TestDevicePrinter : public QObject
{
    Q_OBJECT
private slots:
    void metrics();
    void pagesOfAPdf();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();
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

void TestDevicePrinter::metrics()
{
    auto printer = pdfPrinter();
    const double width = printer->ScaleWidth();
    const double height = printer->ScaleHeight();
    // The printable area of A4 (210 mm = 11906 twips) less the device's own margins.
    QVERIFY(width > 10000 && width <= 11906 && height > width);
    printer->SetOrientation(OrientationCode::Landscape);
    printer->SetOrientation(7); // not a code: left as it was
    QCOMPARE(printer->Orientation(), OrientationCode::Landscape);
    QCOMPARE(printer->ScaleWidth(), height);

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
    printer->SetPaperSize(PaperCode::A3);
    printer->SetPaperSize(999); // no such code: the paper stays
    QCOMPARE(printer->PaperSize(), PaperCode::A3);
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
    QCOMPARE(printer->Page(), 1); // the next document starts again at page 1
    printer.reset();              // and the finished one stays
    QFile file(m_dir.filePath(u"pages.pdf"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRegularExpression page(u"/Type\\s*/Page(?!s)"_s);
    QCOMPARE(QString::fromLatin1(file.readAll()).count(page), 2);
}

void TestDevicePrinter::failuresLeaveNoFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("file cannot be written") << u"missing/out.pdf"_s << ErrorNumber::PrinterFailed;
    // Rows without an icon set fail after the first page's titles.
    QTest::newRow("abandoned mid-way") << u"abandoned.pdf"_s << ErrorNumber::ObjectNotSet;
    // Qt says nothing when the file's last bytes cannot be written.
    QTest::newRow("disk full") << u"full/out.pdf"_s << ErrorNumber::PrinterFailed;
}

void TestDevicePrinter::failuresLeaveNoFile()
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

void TestDevicePrinter::snapshotOfAView()
{
    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({u"Nom"_s, u"Taille"_s, u"Date"_s});
    model.setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                        Qt::TextAlignmentRole);
    model.setHeaderData(2, Qt::Horizontal, int(Qt::AlignHCenter), Qt::TextAlignmentRole);
    model.appendRow({new QStandardItem(QIcon(QPixmap(16, 16)), u"b"_s),
                     new QStandardItem(u"1 000"_s), new QStandardItem(u"hier"_s)});
    model.appendRow(new QStandardItem(u"a"_s));
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
    QCOMPARE(list.rows.size(), 2);
    QCOMPARE(list.rows[0].texts, (QStringList{u"1 000"_s, u"b"_s, u"hier"_s}));
    QCOMPARE(list.rows[0].icon->deviceIndependentSize(), QSizeF(16, 16));
    QVERIFY(!list.rows[1].icon);
}

QTEST_MAIN(TestDevicePrinter)
#include "tst_deviceprinter.moc"
