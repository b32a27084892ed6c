#include "BoxCatcher.h"
#include "ListPrinter.h"
#include "DevicePrinter.h"
#include "DirListModel.h"
#include "FolderTreeView.h"
#include "MainStatusBar.h"
#include "PrintCommand.h"
#include "RecordingPrinter.h"
#include "WindowFixtures.h"

#include <QApplication>
#include <QHeaderView>
#include <QPrinter>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;
using Kind = RecordingPrinter::Kind;

namespace {

// Notes the status text the window shows while the document is being ended.
class WatchingPrinter : public RecordingPrinter
{
public:
    explicit WatchingPrinter(const MainWindow &window)
        : m_window(window)
    {}
    void EndDoc() override
    {
        statusWhilePrinting = m_window.statusPanels()->panelText(1);
        RecordingPrinter::EndDoc();
    }
    QString statusWhilePrinting;

private:
    const MainWindow &m_window;
};

} // namespace

// The print command's set-up of the printout over a scanned window; the page layout itself is
// the list printer's.
class TestPrintCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setApplicationName(u"Quarnel"_s); }
    void printsTheListAsShown();
    void cancelOrFailurePrintsNothing_data();
    void cancelOrFailurePrintsNothing();

private:
    std::unique_ptr<MainWindow> scanned();
    TempVolume m_volume;
};

std::unique_ptr<MainWindow> TestPrintCommand::scanned()
{
    if (!QFileInfo::exists(m_volume.filePath(u"sous"_s))) {
        m_volume.mkpath(u"sous"_s);
        for (int i = 0; i < 3; ++i)
            m_volume.write(u"f%1.txt"_s.arg(i), 100 * (i + 1));
    }
    return ScannedWindow({m_volume.volume()});
}

void TestPrintCommand::printsTheListAsShown()
{
    const auto window = scanned();
    auto *view = window->findChild<QTreeView *>(u"LVDirView"_s);
    // Sorted by size, largest first, with a selection: both as the user left them.
    view->header()->sectionClicked(DirListModel::Size);
    view->header()->sectionClicked(DirListModel::Size);
    view->selectionModel()->select(window->listModel()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    WatchingPrinter *printer = nullptr;
    window->print().setPrinterFactory([&] {
        auto made = std::make_unique<WatchingPrinter>(*window);
        printer = made.get();
        return made;
    });
    FindAction(*window, u"PRINT"_s)->trigger();
    QVERIFY(printer);
    QCOMPARE(printer->statusWhilePrinting, u"Impression en cours..."_s);
    QCOMPARE(window->statusPanels()->panelText(1), QString());
    QCOMPARE(window->print().lastPrintout()->PrintedItems(), 4);

    QStringList texts;
    QList<FontSpec> fonts;
    QList<double> centred; // how far each text is from the page's centre
    for (const RecordingPrinter::Call &call : printer->Calls())
        if (call.kind == Kind::Print) {
            texts << call.text;
            fonts << call.font;
            // The recording printer's characters are 10 twips wide per point.
            centred << call.x + 5.0 * call.font.size * double(call.text.size()) -
                           printer->ScaleWidth() / 2;
        }
    // The opening space, the title, four headings, four rows of four texts, the footer.
    QCOMPARE(texts.size(), 1 + 1 + 4 + 4 * 4 + 1);
    QCOMPARE(texts[1], u"Disque [-%1-] Répertoire [-%1/-]"_s.arg(m_volume.path()));
    QCOMPARE(fonts[1], (FontSpec{u"Times New Roman"_s, 14, true, false, false, false}));
    QCOMPARE(centred[1], 0.0);
    QVERIFY(fonts[2].bold);
    QStringList rows;
    for (int row = 0; row < 4; ++row)
        rows << texts[6 + 4 * row];
    QCOMPARE(rows, ListNames(*window->listModel()));
    QCOMPARE(texts.last(), u"Page. 1"_s);
    QCOMPARE(fonts.last(), (FontSpec{u"Arial"_s, 8, false, false, false, false}));
    QCOMPARE(centred.last(), 0.0);
}

void TestPrintCommand::cancelOrFailurePrintsNothing_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("box");
    const QString path = m_volume.filePath(u"no/such/folder/out.pdf"_s);
    QTest::newRow("cancelled") << true << QString();
    QTest::newRow("device fails") << false << u"482 Printer error ("_s + path + u')';
}

void TestPrintCommand::cancelOrFailurePrintsNothing()
{
    QFETCH(bool, cancel);
    QFETCH(QString, box);
    const auto window = scanned();
    QVERIFY(!window->statusPanels()->panelText(1).isEmpty());
    const QString path = m_volume.filePath(u"no/such/folder/out.pdf"_s);
    window->print().setPrinterFactory([&]() -> std::unique_ptr<Printer> {
        if (cancel)
            return nullptr;
        auto device = std::make_unique<QPrinter>();
        device->setOutputFormat(QPrinter::PdfFormat);
        device->setOutputFileName(path);
        return std::make_unique<DevicePrinter>(std::move(device), 15, 15);
    });
    BoxCatcher catcher;
    FindAction(*window, u"PRINT"_s)->trigger();
    QCOMPARE(catcher.text(), box);
    QCOMPARE(catcher.icon(), box.isEmpty() ? QMessageBox::NoIcon : QMessageBox::Warning);
    QCOMPARE(window->statusPanels()->panelText(1), QString());
    QCOMPARE(window->print().lastPrintout() == nullptr, cancel);
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
