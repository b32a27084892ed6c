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
    void copyBesideProgramIsCurrent();
    void opensAtIndex();
    void internalLinksHaveAnchors();
    void captionsAsShown();
    void followLinkAndComeBack();
    void secondShowKeepsOneWindow();

private:
    static QByteArray builtInHelp();
    static QTextCursor anchorCursor(const QTextDocument *document, const QString &href);
    static QList<QWidget *> helpWindows();
};

QByteArray TestHelp::builtInHelp()
{
    QFile file(u":/help/qnl.html"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A cursor inside the first link to href.
QTextCursor TestHelp::anchorCursor(const QTextDocument *document, const QString &href)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorHref() == href) {
                QTextCursor cursor(block);
                cursor.setPosition(it.fragment().position() + 1);
                return cursor;
            }
    return QTextCursor();
}

QList<QWidget *> TestHelp::helpWindows()
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == u"HelpWindow"_s)
            found.append(w);
    return found;
}

void TestHelp::searchOrder()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.path() + u"/bin"_s;
    const QString installed = root.path() + u"/share/quarnel/qnl.html"_s;
    const QString beside = bin + u"/qnl.html"_s;
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(root.path() + u"/share/quarnel"_s));
    for (const QString &path : {installed, beside}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    QCOMPARE(HelpWindow::helpFilePath(bin), installed);
    QVERIFY(QFile::remove(installed));
    QCOMPARE(HelpWindow::helpFilePath(bin), beside);
    QVERIFY(QFile::remove(beside));
    QCOMPARE(HelpWindow::helpFilePath(bin), u":/help/qnl.html"_s);
    // A folder of that name is not a help file.
    QVERIFY(QDir().mkpath(beside));
    QCOMPARE(HelpWindow::helpFilePath(bin), u":/help/qnl.html"_s);
}

void TestHelp::copyBesideProgramIsCurrent()
{
    // The program in the build tree finds the copy beside it.
    const QString programDir = QStringLiteral(QUARNEL_PROGRAM_DIR);
    const QString path = HelpWindow::helpFilePath(programDir);
    QCOMPARE(path, programDir + u"/qnl.html"_s);
    QFile copy(path);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    const QByteArray builtIn = builtInHelp();
    QVERIFY(!builtIn.isEmpty());
    QCOMPARE(copy.readAll(), builtIn);
}

void TestHelp::opensAtIndex()
{
    QWidget owner;
    HelpWindow *window = HelpWindow::showIndex(&owner);
    QVERIFY(window);
    QCOMPARE(HelpWindow::instance(), window);
    QCOMPARE(window->objectName(), u"HelpWindow"_s);
    QVERIFY(window->isWindow());
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"Aide de Quarnel"_s);

    const QTextBrowser *browser = window->browser();
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QCOMPARE(browser->documentTitle(), u"Aide de Quarnel"_s);
    const QTextBlock first = browser->document()->firstBlock();
    QCOMPARE(first.blockFormat().headingLevel(), 1);
    QCOMPARE(first.text(), u"Aide de Quarnel"_s);
    // The French text came through as UTF-8.
    QVERIFY(browser->toPlainText().contains(u"Présentation"_s));
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QVERIFY(!browser->isBackwardAvailable());
}

void TestHelp::internalLinksHaveAnchors()
{
    const QString html = QString::fromUtf8(builtInHelp());
    QSet<QString> targets;
    static const QRegularExpression anchor(uR"re((?:name|id)="([^"]+)")re"_s);
    for (const auto &m : anchor.globalMatch(html))
        targets.insert(m.captured(1));

    // The anchors must also be ones the browser knows, or scrolling to them does nothing.
    QTextBrowser browser;
    browser.setSource(HelpWindow::helpFileUrl());
    QSet<QString> known;
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            for (const QString &name : it.fragment().charFormat().anchorNames())
                known.insert(name);

    QSet<QString> links;
    static const QRegularExpression link(uR"re(href="#([^"]*)")re"_s);
    for (const auto &m : link.globalMatch(html)) {
        const QString name = m.captured(1);
        links.insert(name);
        QVERIFY2(targets.contains(name), qPrintable(u"no anchor for #"_s + name));
        QVERIFY2(known.contains(name), qPrintable(u"the browser has no anchor "_s + name));
    }
    const QSet<QString> sections{u"sommaire"_s, u"presentation"_s, u"analyser"_s, u"liste"_s, u"trier"_s,
                                 u"imprimer"_s, u"menus"_s, u"totaux"_s, u"reglages"_s, u"apropos"_s};
    QVERIFY(links.contains(sections));
}

void TestHelp::captionsAsShown()
{
    // The help names commands by the captions and tooltips the program shows, letter for letter.
    QTextBrowser browser;
    browser.setSource(HelpWindow::helpFileUrl());
    const QString text = browser.toPlainText();
    const int ids[] = {309, 310, 311, 312, 313, 314, 315, 316, 317, 321,
                       1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009,
                       1010, 1011, 1012, 1013, 1014};
    for (const int id : ids) {
        const QString caption = TextTable::text(id).remove(u'&');
        QVERIFY2(!caption.isEmpty(), qPrintable(QString::number(id)));
        QVERIFY2(text.contains(caption), qPrintable(caption));
    }
    for (const QString &key : {u"Ctrl+X"_s, u"Ctrl+P"_s, u"Ctrl+D"_s, u"Ctrl+F"_s, u"Ctrl+A"_s, u"F5"_s,
                               u"F1"_s, u"Ctrl+F1"_s, u"Ctrl+F10"_s, u"Esc"_s, u"Échap"_s})
        QVERIFY2(text.contains(key), qPrintable(key));
}

void TestHelp::followLinkAndComeBack()
{
    QWidget owner;
    HelpWindow *window = HelpWindow::showIndex(&owner);
    QTextBrowser *browser = window->browser();
    auto *back = window->findChild<QAction *>(u"actBack"_s);
    auto *forward = window->findChild<QAction *>(u"actForward"_s);
    QVERIFY(back && forward);
    QVERIFY(!back->isEnabled());

    const QTextCursor link = anchorCursor(browser->document(), u"#imprimer"_s);
    QVERIFY(!link.isNull());
    const QPoint at = browser->cursorRect(link).center();
    QVERIFY(browser->viewport()->rect().contains(at));
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);

    QCOMPARE(browser->source().fragment(), u"imprimer"_s);
    QVERIFY(browser->verticalScrollBar()->value() > 0);
    QVERIFY(back->isEnabled());
    // The section's heading is now at the top of the view.
    QTextCursor heading(browser->document());
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        if (block.text().trimmed() == u"5. Imprimer"_s)
            heading = QTextCursor(block);
    QVERIFY(heading.block().isValid());
    const int top = browser->cursorRect(heading).top();
    QVERIFY2(top >= 0 && top < 40, qPrintable(QString::number(top)));

    back->trigger();
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QVERIFY(!back->isEnabled());
    QVERIFY(forward->isEnabled());

    forward->trigger();
    QCOMPARE(browser->source().fragment(), u"imprimer"_s);

    // The keys: Alt+Home for the index, Alt+Left back to where the reader was.
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

    ShowHelp(&owner);
    QCOMPARE(HelpWindow::instance(), window);
    QCOMPARE(helpWindows().size(), 1);
    QVERIFY(window->isVisible());
    // Shown again, it is back at the index, and Précédent returns to where the reader was.
    QCOMPARE(browser->source(), HelpWindow::helpFileUrl());
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QVERIFY(browser->isBackwardAvailable());

    // Closed, it goes; the next request opens a fresh one.
    window->close();
    QTRY_VERIFY(!HelpWindow::instance());
    QCOMPARE(helpWindows().size(), 0);
    HelpWindow *again = HelpWindow::showIndex(&owner);
    QVERIFY(again);
    QCOMPARE(helpWindows().size(), 1);
    QVERIFY(!again->browser()->isBackwardAvailable());
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
