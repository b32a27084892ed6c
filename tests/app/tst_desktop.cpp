#include "AboutWindow.h"
#include "DirListModel.h"
#include "FolderTreeView.h"
#include "HelpWindow.h"
#include "MainStatusBar.h"
#include "MainWindow.h"
#include "StartUp.h"
#include "StopScan.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using namespace Qt::StringLiterals;

using WindowMaker = std::function<QWidget *()>;
Q_DECLARE_METATYPE(WindowMaker)

// The windows as the desktop meets them: screen readers, its colours, the keyboard alone, and
// Qt's own texts in French.
class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void accessibleNames_data();
    void accessibleNames();
    void listFollowsThePalette();
    void helpPageStaysLight();
    void keyboardAlone();
    void qtTextsInFrench();

private:
    std::unique_ptr<MainWindow> scannedWindow();
    QTemporaryDir m_dir;
    QPalette m_light;
};

namespace {

QPalette DarkPalette()
{
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    return dark;
}

// Qt hands a new palette to the widgets through the event loop, as it does the desktop's.
void SetPalette(const QPalette &palette)
{
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();
}

} // namespace

void TestDesktop::initTestCase()
{
    QApplication::setApplicationName(u"Quarnel"_s);
    QVERIFY(m_dir.isValid() && QDir().mkpath(m_dir.filePath(u"vol/sub"_s)));
    // One row per percentage band at the volume's root: 1, 40 and 80 bytes of 121.
    for (const auto &[name, size] : {std::pair{"a", 1}, {"b", 40}, {"sub/c", 80}}) {
        QFile file(m_dir.filePath(u"vol/"_s + QLatin1StringView(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size);
    }
    m_light = QApplication::palette();
}

void TestDesktop::cleanup()
{
    SetPalette(m_light);
    StopScan = false;
}

std::unique_ptr<MainWindow> TestDesktop::scannedWindow()
{
    Volume volume;
    volume.mountPoint = QFile::encodeName(m_dir.filePath(u"vol"_s));
    auto window = std::make_unique<MainWindow>(QList<Volume>{volume}, nullptr);
    window->show();
    QApplication::setActiveWindow(window.get());
    if (!QTest::qWaitForWindowActive(window.get()))
        return nullptr;
    window->driveCommand(0);
    return window;
}

void TestDesktop::accessibleNames_data()
{
    QTest::addColumn<WindowMaker>("make");
    QList<Volume> drives(2);
    drives[0].mountPoint = "/"_ba;
    drives[1].mountPoint = "/media/usb"_ba;
    QTest::newRow("main") << WindowMaker([drives] { return new MainWindow(drives, nullptr); });
    QTest::newRow("main, no drive, panel emptied") << WindowMaker([] {
        auto *window = new MainWindow({}, nullptr);
        window->statusPanels()->setPanelText(2, u"34 Mb"_s);
        window->statusPanels()->setPanelText(2, {});
        return window;
    });
    QTest::newRow("about") << WindowMaker([] { return new AboutWindow(nullptr); });
    QTest::newRow("help") << WindowMaker([] { return new HelpWindow; });
}

// Whatever a user can reach or read: the window, every widget that takes the focus, the toolbars
// and their buttons, the status bar, and every label, pictures and empty panels included.
void TestDesktop::accessibleNames()
{
    QFETCH(WindowMaker, make);
    const std::unique_ptr<QWidget> window(make());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window.get());
    int checked = 0;
    for (QWidget *widget : widgets) {
        const bool shown = qobject_cast<QLabel *>(widget) || qobject_cast<QToolBar *>(widget) ||
                           qobject_cast<QStatusBar *>(widget) || widget == window.get() ||
                           (qobject_cast<QToolButton *>(widget) &&
                            qobject_cast<QToolBar *>(widget->parentWidget()));
        if (!widget->isVisible() || (widget->focusPolicy() == Qt::NoFocus && !shown))
            continue;
        QVERIFY2(!QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty(),
                 qPrintable(QLatin1StringView(widget->metaObject()->className()) + u' ' +
                            widget->objectName()));
        ++checked;
    }
    QVERIFY(checked >= 3);
}

// A palette turned dark while the window is shown: the list draws on its background, and its
// percentages of every band read on it.
void TestDesktop::listFollowsThePalette()
{
    const auto window = scannedWindow();
    QVERIFY(window);
    SetPalette(DarkPalette());
    const QColor base = QApplication::palette().color(QPalette::Base);
    const auto *list = window->findChild<QTreeView *>(u"LVDirView"_s);
    const QImage drawn = list->viewport()->grab().toImage();
    QCOMPARE(drawn.pixelColor(drawn.width() / 2, drawn.height() - 3), base);

    const DirListModel *model = window->listModel();
    QSet<Rgb> bands;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex cell = model->index(row, DirListModel::Percent);
        const Rgb shown = cell.data(Qt::ForegroundRole).value<QColor>().rgb() & 0xFFFFFF;
        const Rgb band = PercentColourOf(cell.data(DirListModel::SortRole).toDouble(), 0);
        bands.insert(band);
        QVERIFY(ContrastRatio(shown, base.rgb() & 0xFFFFFF) >= 4.5);
    }
    QCOMPARE(bands.size(), 3);
}

// The help file's own dark text needs a light page under it, whatever the desktop's colours.
void TestDesktop::helpPageStaysLight()
{
    HelpWindow help;
    const QTextBrowser *browser = help.browser();
    QCOMPARE(browser->palette().color(QPalette::Base), m_light.color(QPalette::Base));
    SetPalette(DarkPalette());
    QCOMPARE(help.palette().color(QPalette::Base), DarkPalette().color(QPalette::Base));
    QVERIFY(browser->palette().color(QPalette::Base).lightness() > 200);
    SetPalette(m_light);
    QCOMPARE(browser->palette().color(QPalette::Base), m_light.color(QPalette::Base));
}

// Tab goes round tree, splitter and list; the focused splitter moves by 150 twips for Left and
// Right, under the drag's rules, and lets the window's keys through; Alt+Up is Monter.
void TestDesktop::keyboardAlone()
{
    const auto window = scannedWindow();
    QVERIFY(window);
    FolderTreeView *folders = window->folderTree();
    QWidget *tree = folders->findChild<QTreeView *>();
    QWidget *splitter = window->findChild<QWidget *>(u"picSplitter"_s);
    QWidget *list = window->findChild<QWidget *>(u"LVDirView"_s);
    QTRY_COMPARE(QApplication::focusWidget(), list); // not the splitter before it
    for (QWidget *next : {tree, splitter, list, tree}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(tree, Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), splitter);

    const int step = 150 / window->pixelTwips().perPixelX();
    int width = folders->width();
    for (const auto &[key, mods, change] : {std::tuple{Qt::Key_Right, Qt::NoModifier, step},
                                            {Qt::Key_Left, Qt::NoModifier, -step},
                                            {Qt::Key_Right, Qt::ControlModifier, 0}}) {
        QTest::keyClick(splitter, key, mods);
        width += change;
        QCOMPARE(folders->width(), width);
        QCOMPARE(list->x(), folders->x() + folders->width() + splitter->width());
    }
    QTest::keyClick(splitter, Qt::Key_Escape);
    QVERIFY(StopScan);

    folders->setSelectedfolder(folders->rootfolder() + u"sub/"_s);
    QCOMPARE(folders->selectedfolder(), folders->rootfolder() + u"sub/"_s);
    QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(folders->selectedfolder(), folders->rootfolder());
}

// French under the C locale the tests run in: the program's language, not the system's.
void TestDesktop::qtTextsInFrench()
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_fr.qm"_s))
        QSKIP("Qt's French translation is not installed (qt6-translations-l10n)");
    QVERIFY(InstallQtFrench());
    QMessageBox box(QMessageBox::Question, u"Quarnel"_s, u"?"_s,
                    QMessageBox::Cancel | QMessageBox::Yes);
    QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(u'&'), u"Annuler"_s);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), u"Oui"_s);
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
