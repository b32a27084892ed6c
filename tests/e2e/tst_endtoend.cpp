#include "DirListModel.h"
#include "FolderTreeView.h"
#include "ItemMenu.h"
#include "MainStatusBar.h"
#include "MainWindow.h"
#include "MapView.h"
#include "SettingsStore.h"
#include "StartUp.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Names a file in a file dialog and accepts it with Return. Typed, the name may open the
// completion list on a busy machine, which then takes the Return and leaves the dialog open: the
// name is set whole, which opens no list.
void ChooseFile(QWidget *modal, const QString &fileName)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    QVERIFY(dialog);
    auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
    QVERIFY(name);
    name->setText(fileName);
    QTest::keyClick(name, Qt::Key_Return);
}

// The visible top-level window of that name, if any.
QWidget *Shown(const QString &name)
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == name && top->isVisible())
            return top;
    return nullptr;
}

void Write(const QString &path, qint64 bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(bytes));
}

} // namespace

// A user's session with the real window on a real X display: start, scan a tree of known totals
// on a volume of its own, browse, sort, switch the percentage mode, stop a long scan, rescan,
// print to PDF, open the About window and the help, close, start again. The slots run in order
// and share the session.
class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void startShowsTheSplashThenTheWindow();
    void scanGivesTheKnownTotals();
    void browseIntoAFolderAndSort();
    void percentagesOfTheDisk();
    void mapAnswersClicks();
    void refreshAFolderThenTrashAFile();
    void aChangeWhileAskingTouchesNothing();
    void stopALongScanThenRescan();
    void printToPdf();
    void saveThenOpenTheScan();
    void aboutAndHelp();
    void closeAndStartAgainRestoresEverything();

private:
    void mountTmpfs(const QString &path);
    void shot(const QString &name) const;
    QAction *action(const char *name) const;
    QStringList names() const;
    void pickDrive(const QString &mountPoint);
    // A key as the user types it: to the focused widget of the active main window.
    void type(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Runs check once the next modal window is up (the modal's own loop runs it).
    void whenModal(std::function<void(QWidget *)> check);
    bool settled();

    QTemporaryDir m_dir;
    QString m_known;
    QString m_big;
    QString m_shots;
    quint64 m_trashInfoSize = 0;
    QStringList m_mounts;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<MainWindow> m_window;
    static constexpr int ModalPatience = 20; // seconds
    QPointer<QWidget> m_modal;               // the modal window up at the last look
    int m_modalSince = 0;                    // looks it has stayed up for
};

void TestEndToEnd::mountTmpfs(const QString &path)
{
    QVERIFY(QDir().mkpath(path));
    const QByteArray target = QFile::encodeName(path);
    QVERIFY2(::mount("tmpfs", target.constData(), "tmpfs", 0, "size=256m,mode=0755") == 0,
             qPrintable(u"mount of a tmpfs at "_s + path + u" failed: "_s + qt_error_string()));
    m_mounts << path;
}

void TestEndToEnd::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("the end-to-end session mounts its own tmpfs volumes and needs root; run the tests "
              "as root to include it");
    if (QGuiApplication::platformName() != u"xcb"_s)
        QSKIP("the end-to-end session needs an X display (it runs under xvfb-run in ctest)");
    QVERIFY(m_dir.isValid());
    // A mount namespace of our own, so that the volumes go with the session however it ends. The
    // threads started from here on share it.
    QVERIFY(::unshare(CLONE_NEWNS) == 0 &&
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0);
    // As the program's own start sets them.
    QApplication::setApplicationName(u"Quarnel"_s);
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setOrganizationName(u"Orvanne"_s);
    m_shots = qEnvironmentVariable("QUARNEL_E2E_SHOTS", m_dir.filePath(u"shots"_s));
    QDir().mkpath(m_shots);

    // A tree whose totals are known: a hard link counts once, a symbolic link as itself.
    m_known = m_dir.filePath(u"connu"_s);
    mountTmpfs(m_known);
    Write(m_known + u"/a.bin"_s, 5000);
    Write(m_known + u"/docs/rapport.txt"_s, 20000);
    Write(m_known + u"/docs/notes/n.txt"_s, 1000);
    Write(m_known + u"/photos/p1.jpg"_s, 300000);
    Write(m_known + u"/photos/p2.jpg"_s, 100000);
    QVERIFY(::link(QFile::encodeName(m_known + u"/photos/p1.jpg"_s).constData(),
                   QFile::encodeName(m_known + u"/photos/p1-copie.jpg"_s).constData()) == 0);
    QVERIFY(QFile::link(u"/usr"_s, m_known + u"/lien"_s));

    // Long enough to stop in the middle: 200,000 empty files in 100 folders.
    m_big = m_dir.filePath(u"grand"_s);
    mountTmpfs(m_big);
    for (int folder = 0; folder < 100; ++folder) {
        const QByteArray path = QFile::encodeName(m_big + u"/d%1"_s.arg(folder));
        QVERIFY(::mkdir(path.constData(), 0755) == 0);
        for (int file = 0; file < 2000; ++file) {
            const int fd = ::open((path + "/f" + QByteArray::number(file)).constData(),
                                  O_CREAT | O_WRONLY, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
    }
    m_store = std::make_unique<SettingsStore>(m_dir.filePath(u"QNL.conf"_s));

    // A window left waiting for an answer no one gives fails the step within seconds and is
    // closed, so that the session goes on to its end instead of waiting for ctest's limit.
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        m_modalSince = modal == m_modal ? m_modalSince + 1 : 0;
        m_modal = modal;
        if (modal && m_modalSince >= ModalPatience) {
            QTest::qFail(qPrintable(u"\""_s + modal->windowTitle() + u"\" waited for an answer"_s),
                         __FILE__, __LINE__);
            modal->close();
        }
    });
    watch->start(1000);
}

void TestEndToEnd::cleanupTestCase()
{
    m_window.reset();
    for (const QString &mount : std::as_const(m_mounts))
        ::umount2(QFile::encodeName(mount).constData(), MNT_DETACH);
}

void TestEndToEnd::shot(const QString &name) const
{
    QCoreApplication::processEvents();
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(screen.save(m_shots + u'/' + name + u".png"_s));
}

QAction *TestEndToEnd::action(const char *name) const
{
    return m_window->findChild<QAction *>(QLatin1StringView(name));
}

QStringList TestEndToEnd::names() const
{
    QStringList texts;
    const DirListModel *model = m_window->listModel();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, DirListModel::Name).data().toString();
    return texts;
}

// By its Ctrl+F key among the first ten drives, else from the drive menu, as a user would; the
// scan has ended when it returns.
void TestEndToEnd::pickDrive(const QString &mountPoint)
{
    const QList<QAction *> drives = m_window->findChildren<QAction *>(u"mnuScanDisk"_s);
    const auto drive = std::ranges::find_if(
        drives, [&](QAction *entry) { return entry->data().toString() == mountPoint; });
    QVERIFY2(drive != drives.end(), qPrintable(u"no drive entry for "_s + mountPoint));
    if (!(*drive)->shortcut().isEmpty())
        type((*drive)->shortcut()[0].key(), (*drive)->shortcut()[0].keyboardModifiers());
    else
        (*drive)->trigger();
    QVERIFY(settled());
}

// A walk, a refresh or a command's work aside ends within the watchdog's time, or the step fails.
bool TestEndToEnd::settled()
{
    return QTest::qWaitFor([this] { return !m_window->isScanning(); }, 20000);
}

void TestEndToEnd::type(int key, Qt::KeyboardModifiers modifiers)
{
    // Without a window manager nobody gives the focus back when a dialog closes.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QWidget *focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : m_window.get(), Qt::Key(key), modifiers);
}

void TestEndToEnd::whenModal(std::function<void(QWidget *)> check)
{
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll, check] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        check(modal);
        // A check that failed has left the box open: close it, so the test ends instead of waiting.
        if (QTest::currentTestFailed() && modal->isVisible())
            modal->close();
    });
    poll->start(50);
}

void TestEndToEnd::startShowsTheSplashThenTheWindow()
{
    bool splashSeen = false;
    QTimer::singleShot(400, this, [&] {
        splashSeen = Shown(u"frmSplash"_s) != nullptr;
        shot(u"01-splash"_s);
    });
    m_window = StartUp(m_store.get());
    QVERIFY(splashSeen);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->move(20, 20);
    m_window->resize(1000, 700);
    QTRY_VERIFY(!QApplication::topLevelWidgets().isEmpty());
    QVERIFY2(!Shown(u"frmSplash"_s), "the splash stayed");
    shot(u"02-start"_s);
}

void TestEndToEnd::scanGivesTheKnownTotals()
{
    pickDrive(m_known);
    // 5000 + 20000 + 1000 + 300000 + 100000 + the link's own 4 bytes; the second name of p1
    // adds nothing.
    QCOMPARE(m_window->diskSize(), quint64(426004));
    QCOMPARE(m_window->statusPanels()->panelText(1), u"4 Repertoires Scannés"_s);
    QCOMPARE(m_window->folderTree()->rootfolder(), QFile::encodeName(m_known + u'/'));
    QCOMPARE(names().size(), 4); // a.bin, lien, docs, photos
    QVERIFY(action("PRINT")->isEnabled());
    shot(u"03-scan-done"_s);
}

void TestEndToEnd::browseIntoAFolderAndSort()
{
    // Down the tree with the keyboard, from the drive's root (shown open) to "docs".
    auto *tree = m_window->folderTree()->findChild<QTreeView *>();
    QVERIFY(tree);
    tree->setFocus();
    // The folders are read in the background: wait until both are listed and sorted.
    QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 2);
    QTRY_COMPARE(tree->model()->index(0, 0, tree->currentIndex()).data().toString(), u"docs"_s);
    type(Qt::Key_Down);
    QTRY_COMPARE(m_window->folderTree()->selectedfolder(),
                 QFile::encodeName(m_known + u"/docs/"_s));
    QTRY_COMPARE(names().size(), 2);
    QStringList sorted = names();
    sorted.sort();
    QCOMPARE(sorted, (QStringList{u"notes"_s, u"rapport.txt"_s}));
    QVERIFY(m_window->statusPanels()->panelText(1).startsWith(u"[-docs-] : "_s));

    // Back up, then a click on the size heading, twice: largest first.
    type(Qt::Key_Up);
    QTRY_COMPARE(names().size(), 4);
    auto *list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    QHeaderView *header = list->header();
    const QPoint sizeHeading(header->sectionViewportPosition(DirListModel::Size) +
                                 header->sectionSize(DirListModel::Size) / 2,
                             header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeading);
    const QStringList ascending = names();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeading);
    const QStringList descending = names();
    QCOMPARE(descending, (QStringList{u"photos"_s, u"docs"_s, u"a.bin"_s, u"lien"_s}));
    QCOMPARE(QStringList(ascending.rbegin(), ascending.rend()), descending);
    QCOMPARE(header->sortIndicatorSection(), int(DirListModel::Size));
    shot(u"04-sorted"_s);
}

void TestEndToEnd::percentagesOfTheDisk()
{
    // In "docs", rapport.txt holds 20000 of the folder's 21000 bytes and of the drive's 426004.
    m_window->folderTree()->findChild<QTreeView *>()->setFocus(Qt::MouseFocusReason);
    type(Qt::Key_Down);
    QTRY_COMPARE(m_window->folderTree()->selectedfolder(),
                 QFile::encodeName(m_known + u"/docs/"_s));
    QTRY_COMPARE(names().size(), 2);
    const auto percentOfReport = [this] {
        const int row = int(names().indexOf(u"rapport.txt"_s));
        const QString text =
            m_window->listModel()->index(row, DirListModel::Percent).data().toString();
        return text.section(u' ', -1).chopped(1).toDouble();
    };
    QVERIFY(qAbs(percentOfReport() - 95.24) < 0.1);
    type(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(m_window->percentBase(), PercentBase::Disk);
    QVERIFY(action("mnuViewSizeDisk")->isChecked());
    QVERIFY(qAbs(percentOfReport() - 4.69) < 0.1);
    shot(u"05-percent-of-disk"_s);
}

// From the volume's root, a click on a photo's rectangle selects its folder in the tree and its
// row in the list; the map stays on for the restart below.
void TestEndToEnd::mapAnswersClicks()
{
    type(Qt::Key_Up, Qt::AltModifier);
    type(Qt::Key_M, Qt::ControlModifier);
    QVERIFY(action("mnuViewMap")->isChecked());
    auto *map = m_window->findChild<MapView *>(u"picMap"_s);
    QTRY_VERIFY(map->isVisible() && map->layout() && !map->isDrawing());
    QCOMPARE(map->folder(), QFile::encodeName(m_known + u'/'));
    const MapLayout &layout = *map->layout();
    const QByteArray photo = QFile::encodeName(m_known + u"/photos/p2.jpg"_s);
    quint32 tile = 0;
    while (tile < layout.tiles().size() && map->pathOf(tile) != photo)
        ++tile;
    QVERIFY(tile < layout.tiles().size());
    // Each large file tile is named with its own file's name, above its size.
    QVERIFY(!map->labels().empty());
    for (const MapView::Label &label : map->labels()) {
        const QStringList lines = label.text.split(u'\n');
        QCOMPARE(lines.size(), 2);
        const QByteArray path = map->pathOf(layout.tileAt(label.rect.center()));
        QVERIFY2(path.endsWith('/' + QFile::encodeName(lines[0])), path.constData());
    }
    const MapTile &t = layout.tiles()[tile];
    QTest::mouseClick(map, Qt::LeftButton, {},
                      QPoint(int(t.x + t.width / 2), int(t.y + t.height / 2)));
    QCOMPARE(m_window->folderTree()->selectedfolder(), QFile::encodeName(m_known + u"/photos/"_s));
    const auto *list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    QCOMPARE(list->currentIndex().data().toString(), u"p2.jpg"_s);
    // The map of the photos, with the row's rectangle outlined.
    QTRY_VERIFY(!map->isDrawing() && map->folder().endsWith("/photos/"));
    QCOMPARE(map->pathOf(map->highlighted()), photo);
    shot(u"06-map"_s);
}

// A file added behind the scan's back is counted once its folder is refreshed; a file trashed
// with the Delete key leaves its folder's total for the trash's at the top of the volume. The
// totals are a fresh walk's each time.
void TestEndToEnd::refreshAFolderThenTrashAFile()
{
    const QByteArray root = QFile::encodeName(m_known + u'/');
    Write(m_known + u"/docs/nouveau.txt"_s, 7000);
    std::unique_ptr<QMenu> menu(ItemMenu::build(root + "docs/", m_window.get()));
    auto *refresh = menu->findChild<QAction *>(u"mnuItemRefresh"_s);
    QVERIFY(refresh && refresh->isEnabled());
    // The volume's own folder can be acted on; a place the records do not hold cannot.
    for (const auto &[path, known] : {std::pair(root, true), std::pair(root + "nowhere/", false)}) {
        std::unique_ptr<QMenu> other(ItemMenu::build(path, m_window.get()));
        QCOMPARE(other->findChild<QAction *>(u"mnuItemRefresh"_s)->isEnabled(), known);
    }
    refresh->trigger();
    QVERIFY(settled());
    QCOMPARE(m_window->diskSize(), quint64(433004));
    QCOMPARE(m_window->folders().find(root + "docs/").size(), quint64(28000));

    m_window->folderTree()->setSelectedfolder(root);
    QTRY_COMPARE(names().size(), 4);
    auto *list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    list->setCurrentIndex(list->model()->index(int(names().indexOf(u"a.bin"_s)), 0));
    list->setFocus();
    bool asked = false;
    whenModal([&](QWidget *box) {
        auto *question = qobject_cast<QMessageBox *>(box);
        QVERIFY(question && question->text().contains(u"a.bin"_s));
        QVERIFY(question->informativeText().contains(u"corbeille"_s));
        QCOMPARE(question->defaultButton(), question->button(QMessageBox::Cancel));
        shot(u"07-trash-question"_s);
        asked = true;
        for (QAbstractButton *button : question->buttons())
            if (question->buttonRole(button) == QMessageBox::DestructiveRole)
                button->click();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    QTRY_VERIFY(asked);
    QTRY_VERIFY(!m_window->isScanning());
    QVERIFY(!QFile::exists(m_known + u"/a.bin"_s));
    QVERIFY(QFile::exists(m_known + u"/.Trash-0/files/a.bin"_s));
    const QFileInfo info(m_known + u"/.Trash-0/info/a.bin.trashinfo"_s);
    QVERIFY(info.exists());
    m_trashInfoSize = quint64(info.size());
    QCOMPARE(m_window->diskSize(), quint64(433004 + info.size()));
    QCOMPARE(m_window->folders().find(root).fileCount(), 1u); // the link stays
    QTRY_COMPARE(names().size(), 4);                          // .Trash-0 in a.bin's place
    QVERIFY(!names().contains(u"a.bin"_s));
    QTest::qWait(300); // for the screen to show it
    shot(u"08-trashed"_s);
}

// The chosen file's folder is swapped for a link while the question is on screen: neither the
// file nor the one of the same name the link leads to is deleted, and the message says why.
void TestEndToEnd::aChangeWhileAskingTouchesNothing()
{
    const QString docs = m_known + u"/docs"_s, elsewhere = m_dir.filePath(u"ailleurs"_s);
    m_window->folderTree()->setSelectedfolder(QFile::encodeName(docs + u'/'));
    QTRY_VERIFY(names().contains(u"rapport.txt"_s));
    auto *list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    list->setCurrentIndex(list->model()->index(int(names().indexOf(u"rapport.txt"_s)), 0));
    list->setFocus();
    QString said;
    whenModal([&](QWidget *box) {
        auto *question = qobject_cast<QMessageBox *>(box);
        QVERIFY(question);
        Write(elsewhere + u"/rapport.txt"_s, 100);
        QVERIFY(QDir().rename(docs, docs + u".avant"_s) && QFile::link(elsewhere, docs));
        for (QAbstractButton *button : question->buttons())
            if (question->buttonRole(button) == QMessageBox::DestructiveRole)
                button->click();
        whenModal([&](QWidget *warning) {
            said = qobject_cast<QMessageBox *>(warning)->text();
            shot(u"08c-changed-while-asking"_s);
            warning->close();
        });
    });
    QTest::keyClick(list, Qt::Key_Delete);
    QTRY_VERIFY(!said.isEmpty());
    QCOMPARE(said, u"« "_s + docs +
                       u" » a changé depuis l'analyse : c'est maintenant un lien "
                       u"symbolique. Rien n'a été mis à la corbeille."_s);
    QVERIFY(QFile::exists(elsewhere + u"/rapport.txt"_s));
    QVERIFY(QFile::exists(docs + u".avant/rapport.txt"_s));
    QVERIFY(QFile::remove(docs) && QDir().rename(docs + u".avant"_s, docs));
}

void TestEndToEnd::stopALongScanThenRescan()
{
    // Esc as soon as the walk is under way: the window must answer while it runs.
    QTimer::singleShot(0, this, [this] {
        QVERIFY(m_window->isScanning());
        type(Qt::Key_Escape);
    });
    pickDrive(m_big);
    QCOMPARE(m_window->diskSize(), quint64(0));
    QVERIFY2(m_window->statusPanels()->panelText(1).contains(m_big),
             qPrintable(m_window->statusPanels()->panelText(1)));
    QVERIFY(!action("PRINT")->isEnabled());
    QVERIFY(!action("mnuScanStop")->isEnabled());
    shot(u"06-stopped"_s);

    // F5 walks the shown drive again, to the end this time.
    type(Qt::Key_F5);
    QVERIFY(settled());
    // 101 folders of this drive beside the 4 of the other and its trash's 3.
    QCOMPARE(m_window->folders().count(), 108);
    QCOMPARE(m_window->statusPanels()->panelText(1), u"108 Repertoires Scannés"_s);
    QCOMPARE(m_window->listModel()->rowCount(), 100);
    // The other volume's records are untouched: back to it without a walk. What changed there
    // after its follower last listed (the last test's restore, if it came within the interval)
    // is caught up from the folders' dates as following resumes.
    pickDrive(m_known);
    QTRY_COMPARE(m_window->diskSize(), 433004 + m_trashInfoSize);
}

void TestEndToEnd::printToPdf()
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a print queue; a test must not print on paper");
    const QString pdf = m_dir.filePath(u"liste.pdf"_s);
    QString suggested;
    whenModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(name);
        suggested = name->text();
        // In the documents folder, or the home folder where there is none.
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(dialog->directory().absolutePath(),
                 QDir(documents).exists() ? documents : QDir::homePath());
        shot(u"07-pdf-dialog"_s);
        ChooseFile(dialog, pdf);
    });
    type(Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(suggested, u"Quarnel - connu.pdf"_s);
    QCOMPARE(m_window->statusPanels()->panelText(1), QString());
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QCOMPARE(QString::fromLatin1(bytes).count(QRegularExpression(u"/Type\\s*/Page(?!s)"_s)), 1);
    // The printed page, as a picture beside the screenshots, when poppler is there to draw it.
    const QString pdftoppm = QStandardPaths::findExecutable(u"pdftoppm"_s);
    if (!pdftoppm.isEmpty())
        QCOMPARE(QProcess::execute(pdftoppm, {u"-r"_s, u"80"_s, u"-png"_s, u"-singlefile"_s, pdf,
                                              m_shots + u"/08-printed-page"_s}),
                 0);
}

// The shown volume saved to a file, then opened as a drive of its own: same totals, its folders
// from the records, its date beside its name.
void TestEndToEnd::saveThenOpenTheScan()
{
    const QString saved = m_dir.filePath(u"connu.json.zst"_s);
    const auto answer = [&](const QString &fileName) {
        whenModal([fileName](QWidget *modal) { ChooseFile(modal, fileName); });
    };
    const quint64 total = m_window->diskSize();
    answer(saved);
    action("mnuFileSaveScan")->trigger();
    QVERIFY(settled());
    QVERIFY(QFileInfo(saved).size() > 0);

    answer(saved);
    type(Qt::Key_O, Qt::ControlModifier);
    QVERIFY(settled());
    const QByteArray root = m_window->folderTree()->rootfolder();
    QVERIFY2(root.endsWith(":" + QFile::encodeName(m_known) + '/'), root.constData());
    QCOMPARE(m_window->diskSize(), total);
    QTRY_COMPARE(names().size(), 4);
    auto *tree = m_window->folderTree()->findChild<QTreeView *>();
    QTRY_COMPARE(tree->model()->rowCount(tree->model()->index(0, 0)), 3);
    const QList<QAction *> buttons = m_window->findChildren<QAction *>();
    QVERIFY(std::ranges::any_of(buttons, [&](QAction *a) {
        return a->text().startsWith(QFile::decodeName(root.chopped(1))) &&
               a->text().contains(u"(enregistré le "_s);
    }));
    // Nothing that would touch the disk is offered for it.
    std::unique_ptr<QMenu> menu(ItemMenu::build(root + "docs/", m_window.get()));
    QVERIFY(!menu->findChild<QAction *>(u"mnuItemTrash"_s)->isEnabled());
    QVERIFY(!menu->findChild<QAction *>(u"mnuItemOpen"_s)->isEnabled());
    shot(u"08b-saved-scan"_s);
    pickDrive(m_known);

    // The volume grows, is walked again, and is compared with the saved scan.
    Write(m_known + u"/docs/ajout.bin"_s, 9000);
    type(Qt::Key_F5);
    QVERIFY(settled());
    answer(saved);
    action("mnuFileCompareScan")->trigger();
    QTRY_COMPARE(m_window->listModel()->columnCount(), int(DirListModel::ColumnCount) + 1);
    auto *list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    QHeaderView *header = list->header();
    const QPoint growthHeading(header->sectionViewportPosition(DirListModel::Growth) + 5,
                               header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, growthHeading);
    if (names().constFirst() != u"docs"_s)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, growthHeading);
    QCOMPARE(names().constFirst(), u"docs"_s);
    QCOMPARE(m_window->listModel()->index(0, DirListModel::Growth).data().toString(), u"+9 000"_s);
    QVERIFY(m_window->statusPanels()->panelText(1).contains(u"depuis le"_s));
    auto *map = m_window->findChild<MapView *>(u"picMap"_s);
    QTRY_VERIFY(!map->isDrawing());
    QTest::qWait(200); // for the screen to show it
    shot(u"08c-growth"_s);
}

void TestEndToEnd::aboutAndHelp()
{
    QString title;
    whenModal([&](QWidget *about) {
        title = about->windowTitle();
        shot(u"09-about"_s);
        auto *ok = about->findChild<QPushButton *>(u"cmdOK"_s);
        QVERIFY(ok);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    type(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(title, u"About Quarnel"_s);
    QVERIFY(!QApplication::activeModalWidget());

    type(Qt::Key_F1);
    QWidget *help = nullptr;
    QTRY_VERIFY((help = Shown(u"HelpWindow"_s)));
    QVERIFY(QTest::qWaitForWindowExposed(help));
    shot(u"10-help"_s);
    help->close();
    QTRY_VERIFY(!help->isVisible());
}

void TestEndToEnd::closeAndStartAgainRestoresEverything()
{
    // Changes a user makes: the drive bar off, the tree and the first column wider, the window
    // moved and resized. The percentage mode is already "of the disk".
    action("mnuViewToolBar")->trigger();
    auto *list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    list->header()->resizeSection(DirListModel::Name, 260);
    m_window->resize(1040, 720);
    m_window->move(60, 40);
    QTRY_COMPARE(m_window->pos(), QPoint(60, 40));
    const QRect geometry = m_window->geometry();
    const int treeWidth = m_window->folderTree()->width();
    type(Qt::Key_X, Qt::ControlModifier);
    QTRY_VERIFY(!m_window->isVisible());
    m_window.reset();

    m_window = StartUp(m_store.get(), 0);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_window->percentBase(), PercentBase::Disk);
    QVERIFY(action("mnuViewSizeDisk")->isChecked());
    QVERIFY(!action("mnuViewToolBar")->isChecked());
    QVERIFY(!m_window->findChild<QToolBar *>(u"Toolbar"_s)->isVisible());
    list = m_window->findChild<QTreeView *>(u"LVDirView"_s);
    QCOMPARE(list->header()->sectionSize(DirListModel::Name), 260);
    QTRY_COMPARE(m_window->geometry(), geometry);
    QCOMPARE(m_window->folderTree()->width(), treeWidth);
    QVERIFY(action("mnuViewMap")->isChecked() && m_window->findChild<MapView *>()->isVisible());
    shot(u"11-restarted"_s);
    m_window->close();
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
