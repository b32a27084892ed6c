#include "ItemMenu.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

// The menu of a file or folder, how a view asks for it and what it hands over, without a desktop.
class TestItemMenu : public QObject
{
    Q_OBJECT
private slots:
    void rowMenu_data();
    void rowMenu();
    void showFallsBackToParent();
    void deleteKey_data();
    void deleteKey();
};

void TestItemMenu::rowMenu_data()
{
    QTest::addColumn<QString>("how"); // below: a right click under the only row
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QStringList>("copied"); // the text and the URL; empty: no menu
    QTest::newRow("right click, file") << u"right"_s << "/h/a b/r#1"_ba
                                       << QStringList{u"/h/a b/r#1"_s, u"file:///h/a%20b/r%231"_s};
    QTest::newRow("Menu key, folder")
        << u"menu"_s << "/h/été/"_ba << QStringList{u"/h/été"_s, u"file:///h/%C3%A9t%C3%A9"_s};
    QTest::newRow("Shift+F10, /") << u"f10"_s << "/"_ba << QStringList{u"/"_s, u"file:///"_s};
    QTest::newRow("F10 alone") << u"plain f10"_s << "/x"_ba << QStringList();
    QTest::newRow("invalid UTF-8") << u"right"_s << "/t/caf\xe9"_ba
                                   << QStringList{u"/t/caf\ufffd"_s, u"file:///t/caf%EF%BF%BD"_s};
    QTest::newRow("below the rows") << u"below"_s << "/x"_ba << QStringList();
}

void TestItemMenu::rowMenu()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, path);
    QFETCH(QStringList, copied);
    QTreeWidget view;
    view.setCurrentItem(new QTreeWidgetItem(&view, {u"item"_s}));
    ItemMenu::attach(&view, [path](const QModelIndex &) { return path; });
    const bool mouse = how == u"right"_s || how == u"below"_s;
    const QPoint at = how == u"below"_s ? QPoint(5, view.viewport()->height() - 2)
                                        : view.visualItemRect(view.currentItem()).center();
    QContextMenuEvent event(mouse ? QContextMenuEvent::Mouse : QContextMenuEvent::Keyboard, at, at);
    if (how.endsWith(u"f10"_s))
        QTest::keyClick(&view, Qt::Key_F10, how == u"f10"_s ? Qt::ShiftModifier : Qt::NoModifier);
    else
        QApplication::sendEvent(mouse ? view.viewport() : static_cast<QWidget *>(&view), &event);

    auto *menu = view.findChild<QMenu *>(u"mnuItem"_s);
    QCOMPARE(menu != nullptr, !copied.isEmpty());
    if (!menu)
        return;
    QStringList entries;
    for (const QAction *action : menu->actions())
        entries.append(action->text());
    QCOMPARE(entries, (QStringList{u"&Ouvrir"_s, u"Afficher dans le &gestionnaire de fichiers"_s,
                                   u"&Copier le chemin"_s}));
    menu->actions().last()->trigger();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    QCOMPARE((QStringList{data->text(), data->urls().value(0).toString(QUrl::FullyEncoded)}),
             copied);
}

void TestItemMenu::showFallsBackToParent()
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"); // no file manager answers
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
    QList<QUrl> asked;
    for (const QByteArray &item : {"/sub/x.dat"_ba, "/sub/"_ba})
        ItemMenu::showInFileManager(QFile::encodeName(dir.path()) + item, [&](const QUrl &url) {
            asked.append(url);
            return true;
        });
    QTRY_COMPARE(asked, (QList<QUrl>{QUrl::fromLocalFile(dir.filePath(u"sub"_s)),
                                     QUrl::fromLocalFile(dir.path())}));
}

// Delete trashes the current row's item, Shift+Delete deletes it for good; with another
// modifier, or no row, the key is not ours.
void TestItemMenu::deleteKey_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("current");
    QTest::addColumn<QString>("asked");
    QTest::newRow("Delete") << Qt::KeyboardModifiers() << true << u"/d/f trash"_s;
    QTest::newRow("Shift+Delete") << Qt::KeyboardModifiers(Qt::ShiftModifier) << true
                                  << u"/d/f delete"_s;
    QTest::newRow("Ctrl+Delete") << Qt::KeyboardModifiers(Qt::ControlModifier) << true << QString();
    QTest::newRow("no current row") << Qt::KeyboardModifiers() << false << QString();
}

void TestItemMenu::deleteKey()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, current);
    QString asked;
    ItemMenu::setActions({}, [&](const QByteArray &path, bool permanently) {
        asked = QString::fromUtf8(path) + (permanently ? u" delete"_s : u" trash"_s);
    });
    QTreeWidget view;
    auto *item = new QTreeWidgetItem(&view, {u"item"_s});
    if (current)
        view.setCurrentItem(item);
    ItemMenu::attach(&view, [](const QModelIndex &) { return "/d/f"_ba; });
    QTest::keyClick(&view, Qt::Key_Delete, modifiers);
    ItemMenu::setActions({}, {});
    QTEST(asked, "asked");
}

QTEST_MAIN(TestItemMenu)
#include "tst_itemmenu.moc"
