#include "HelpWindow.h"
#include "TextTable.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

class TestHelp : public QObject
{
    Q_OBJECT
private slots:
    void searchOrder();
    void linksAndCaptions();
    void opensAtIndexAndFollowsLinks();
    void secondShowKeepsOneWindow();
};

namespace {

QList<QWidget *> HelpWindows()
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == u"HelpWindow"_s)
            found.append(w);
    return found;
}

} // namespace

void TestHelp::searchOrder()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.path() + u"/bin"_s;
    const QString installed = root.path() + u"/share/quarnel/qnl.html"_s;
    const QString beside = bin + u"/qnl.html"_s;
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(root.path() + u"/share/quarnel"_s));
    for (const QString &path : {installed, beside}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(HelpWindow::helpFilePath(bin), installed);
    QVERIFY(QFile::remove(installed));
    QCOMPARE(HelpWindow::helpFilePath(bin), beside);
    QVERIFY(QFile::remove(beside) && QDir().mkpath(beside)); // a folder is not a help file
    QCOMPARE(HelpWindow::helpFilePath(bin), u":/help/qnl.html"_s);

    // The program in the build tree finds the copy beside it, the same as the built-in one.
    const QString programDir = QStringLiteral(QUARNEL_PROGRAM_DIR);
    QCOMPARE(HelpWindow::helpFilePath(programDir), programDir + u"/qnl.html"_s);
    QFile copy(programDir + u"/qnl.html"_s), builtIn(u":/help/qnl.html"_s);
    QVERIFY(copy.open(QIODevice::ReadOnly) && builtIn.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), builtIn.readAll());
}

// Every internal link leads to an anchor the browser knows, or scrolling to it would do nothing;
// the help names commands by the captions and tooltips the program shows, letter for letter.
void TestHelp::linksAndCaptions()
{
    QTextBrowser browser;
    browser.setSource(HelpWindow::helpFileUrl());
    QSet<QString> anchors;
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            for (const QString &name : it.fragment().charFormat().anchorNames())
                anchors.insert(name);

    QFile file(u":/help/qnl.html"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QSet<QString> links;
    static const QRegularExpression link(uR"re(href="#([^"]*)")re"_s);
    for (const auto &m : link.globalMatch(QString::fromUtf8(file.readAll()))) {
        links.insert(m.captured(1));
        QVERIFY2(anchors.contains(m.captured(1)), qPrintable(u"no anchor for #"_s + m.captured(1)));
    }
    QVERIFY(links.size() >= 10);

    const QString text = browser.toPlainText();
    for (const int id :
         {309,  310,  311,  312,  313,  314,  315,  316,  317,  321,  1000, 1001, 1002,
          1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014}) {
        const QString caption = TextTable::text(id).remove(u'&');
        QVERIFY2(!caption.isEmpty() && text.contains(caption), qPrintable(QString::number(id)));
    }
    for (const QString &key : {u"Ctrl+X"_s, u"Ctrl+P"_s, u"Ctrl+D"_s, u"Ctrl+F"_s, u"Ctrl+A"_s,
                               u"F5"_s, u"F1"_s, u"Ctrl+F1"_s, u"Ctrl+F10"_s, u"Esc"_s, u"Échap"_s})
        QVERIFY2(text.contains(key), qPrintable(key));
}

// The window's own buttons and keys drive the browser's history.
void TestHelp::opensAtIndexAndFollowsLinks()
{
    QWidget owner;
    HelpWindow *window = HelpWindow::showIndex(&owner);
    QVERIFY(window && window->isWindow() && window->isVisible());
    QTextBrowser *browser = window->browser();
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QCOMPARE(browser->document()->firstBlock().text(), u"Aide de Quarnel"_s);
    QVERIFY(browser->toPlainText().contains(u"Présentation"_s)); // read as UTF-8
    auto *back = window->findChild<QAction *>(u"actBack"_s);
    auto *forward = window->findChild<QAction *>(u"actForward"_s);
    QVERIFY(back && forward && !back->isEnabled());

    browser->setSource(QUrl(u"#imprimer"_s));
    QVERIFY(back->isEnabled());
    back->trigger();
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QVERIFY(!back->isEnabled() && forward->isEnabled());
    forward->trigger();
    QCOMPARE(browser->source().fragment(), u"imprimer"_s);

    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(browser, Qt::Key_Home, Qt::AltModifier);
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QTest::keyClick(browser, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(browser->source().fragment(), u"imprimer"_s);
}

void TestHelp::secondShowKeepsOneWindow()
{
    QWidget owner;
    HelpWindow *window = HelpWindow::showIndex(&owner);
    QTextBrowser *browser = window->browser();
    browser->setSource(QUrl(u"#totaux"_s));
    QVERIFY(browser->verticalScrollBar()->value() > 0);

    // Shown again, it is back at the index, and Précédent returns to where the reader was.
    HelpWindow::showIndex(&owner);
    QCOMPARE(HelpWindow::instance(), window);
    QCOMPARE(HelpWindows().size(), 1);
    QVERIFY(window->isVisible());
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QVERIFY(browser->isBackwardAvailable());

    // Closed, it goes; the next request opens a fresh one.
    window->close();
    QTRY_VERIFY(!HelpWindow::instance());
    QCOMPARE(HelpWindows().size(), 0);
    HelpWindow *again = HelpWindow::showIndex(&owner);
    QVERIFY(again);
    QCOMPARE(HelpWindows().size(), 1);
    QVERIFY(!again->browser()->isBackwardAvailable());
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
