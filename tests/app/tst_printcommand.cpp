#include "CPrintListView.h"
#include "DevicePrinter.h"
#include "DirListModel.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "MainWindow.h"
#include "RecordingPrinter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;
using Kind = RecordingPrinter::Kind;

namespace {

// Notes the status text the window shows while the document is being ended.
class WatchingPrinter : public RecordingPrinter
{
public:
    explicit WatchingPrinter(const MainWindow &window) : m_window(window) {}
    void EndDoc() override
    {
        statusWhilePrinting = m_window.statusPanels()->panelText(1);
        RecordingPrinter::EndDoc();
    }
    QString statusWhilePrinting;

private:
    const MainWindow &m_window;
};

QList<RecordingPrinter::Call> Printed(const RecordingPrinter &printer)
{
    QList<RecordingPrinter::Call> out;
    for (const RecordingPrinter::Call &call : printer.Calls())
        if (call.kind == Kind::Print || call.kind == Kind::PaintPicture)
            out.append(call);
    return out;
}

QStringList Texts(const RecordingPrinter &printer)
{
    QStringList out;
    for (const RecordingPrinter::Call &call : Printed(printer))
        if (call.kind == Kind::Print)
            out.append(call.text);
    return out;
}

} // namespace

// The print command of the real window over a scanned temporary folder.
class TestPrintCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printsTheListAsShown();
    void footersNumberEveryPage();
    void cancelPrintsNothing();
    void failureIsReportedAndClearsTheStatus();

private:
    std::unique_ptr<MainWindow> scanned(int files);
    QAction *print(const MainWindow &window) const
    {
        return window.findChild<QAction *>(u"PRINT"_s);
    }
    QTemporaryDir m_dir;
};

void TestPrintCommand::initTestCase()
{
    QApplication::setApplicationName(u"Quarnel"_s);
    QVERIFY(m_dir.isValid());
}

// A fresh folder of the given number of files, and one subfolder, scanned in a shown window.
std::unique_ptr<MainWindow> TestPrintCommand::scanned(int files)
{
    const QString root = m_dir.filePath(u"vol%1"_s.arg(files));
    QDir().mkpath(root + u"/sous"_s);
    for (int i = 0; i < files; ++i) {
        QFile file(root + u"/f%1.txt"_s.arg(i, 3, 10, QChar(u'0')));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(100 * (i + 1), 'x'));
    }
    Volume volume;
    volume.mountPoint = QFile::encodeName(root);
    volume.kind = DriveKind::Fixed;
    auto window = std::make_unique<MainWindow>(QList<Volume>{volume}, nullptr);
    window->show();
    window->driveCommand(0);
    return window;
}

void TestPrintCommand::printsTheListAsShown()
{
    auto window = scanned(3);
    const QString root = window->folderTree()->rootfolder();
    auto *view = window->findChild<QTreeView *>(u"LVDirView"_s);
    // Sorted by size, largest first, with a selection: both as the user left them.
    view->header()->sectionClicked(DirListModel::Size);
    view->header()->sectionClicked(DirListModel::Size);
    view->selectionModel()->select(window->listModel()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QStringList shown;
    for (int row = 0; row < window->listModel()->rowCount(); ++row)
        shown << window->listModel()->index(row, 0).data().toString();
    QCOMPARE(shown.size(), 4);

    WatchingPrinter *printer = nullptr;
    window->setPrinterFactory([&] {
        auto made = std::make_unique<WatchingPrinter>(*window);
        printer = made.get();
        return made;
    });
    print(*window)->trigger();
    QVERIFY(printer);
    QCOMPARE(printer->statusWhilePrinting, u"Impression en cours..."_s);
    QCOMPARE(window->statusPanels()->panelText(1), QString());
    QCOMPARE(window->lastPrintout()->PrintedItems(), 4);

    const QList<RecordingPrinter::Call> calls = Printed(*printer);
    // The opening space, the title, four column titles, four texts and an icon per row, the footer.
    QCOMPARE(calls.size(), 1 + 1 + 4 + 4 * 5 + 1);
    const RecordingPrinter::Call &title = calls[1];
    QCOMPARE(title.text, u"Disque [-%1-] Répertoire [-%1/-]"_s.arg(root.chopped(1)));
    QCOMPARE(title.font, (StdFont{u"Times New Roman"_s, 14, true, false, false, false}));
    QCOMPARE(title.y, 567.0);
    // The recording printer's characters are 10 twips wide per point.
    QCOMPARE(title.x, (printer->ScaleWidth() - 140.0 * double(title.text.size())) / 2);
    // Column titles in the list's font, bold, at the columns' on-screen widths.
    const StdFont listFont = window->lastPrintout()->FontItem();
    double x = 567;
    for (int column = 0; column < 4; ++column) {
        const RecordingPrinter::Call &heading = calls[2 + column];
        QCOMPARE(heading.text, window->listModel()->headerData(column, Qt::Horizontal).toString());
        QCOMPARE(heading.font.Name, listFont.Name);
        QVERIFY(heading.font.Bold);
        if (column == 1) // right-aligned: the title ends on the column's right edge
            QCOMPARE(heading.x + 10 * heading.font.Size * double(heading.text.size()),
                     x + view->header()->sectionSize(column) * 15.0);
        else if (column == 0)
            QCOMPARE(heading.x, x);
        x += view->header()->sectionSize(column) * 15.0;
    }
    // Rows in the order shown, each with its icon at the left margin; the selection is ignored.
    QStringList rows;
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(calls[6 + row * 5].kind, Kind::PaintPicture);
        QCOMPARE(calls[6 + row * 5].x, 567.0);
        rows << calls[7 + row * 5].text;
    }
    QCOMPARE(rows, shown);
    const RecordingPrinter::Call &footer = calls.last();
    QCOMPARE(footer.text, u"Page. 1"_s);
    QCOMPARE(footer.y, printer->ScaleHeight() - 567);
}

void TestPrintCommand::footersNumberEveryPage()
{
    auto window = scanned(130);
    RecordingPrinter *printer = nullptr;
    window->setPrinterFactory([&] {
        auto made = std::make_unique<RecordingPrinter>();
        printer = made.get();
        return made;
    });
    print(*window)->trigger();
    QVERIFY(printer);
    QStringList footers;
    for (const RecordingPrinter::Call &call : Printed(*printer)) {
        if (call.kind != Kind::Print || !call.text.startsWith(u"Page. "_s))
            continue;
        footers << call.text;
        QCOMPARE(call.font, (StdFont{u"Arial"_s, 8, false, false, false, false}));
        QCOMPARE(call.x, (printer->ScaleWidth() - 80.0 * double(call.text.size())) / 2);
    }
    QVERIFY2(footers.size() >= 3, qPrintable(footers.join(u", ")));
    for (int page = 0; page < footers.size(); ++page)
        QCOMPARE(footers[page], u"Page. %1"_s.arg(page + 1));
    QCOMPARE(window->lastPrintout()->PrintedItems(), 131);
    // The title only once.
    QCOMPARE(Texts(*printer).count(Texts(*printer)[1]), 1);
}

void TestPrintCommand::cancelPrintsNothing()
{
    auto window = scanned(2);
    QVERIFY(!window->statusPanels()->panelText(1).isEmpty());
    int asked = 0;
    window->setPrinterFactory([&] {
        ++asked;
        return std::unique_ptr<Printer>();
    });
    print(*window)->trigger();
    QCOMPARE(asked, 1);
    QVERIFY(!window->lastPrintout());
    QCOMPARE(window->statusPanels()->panelText(1), QString());
}

void TestPrintCommand::failureIsReportedAndClearsTheStatus()
{
    auto window = scanned(2);
    const QString path = m_dir.filePath(u"no/such/folder/out.pdf"_s);
    window->setPrinterFactory([&] {
        auto device = std::make_unique<QPrinter>();
        device->setOutputFormat(QPrinter::PdfFormat);
        device->setOutputFileName(path);
        return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
    });
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown = box->text();
        icon = box->icon();
        box->accept();
    });
    print(*window)->trigger();
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(shown, u"482 Printer error ("_s + path + u')');
    QCOMPARE(window->statusPanels()->panelText(1), QString());
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
