#include "ItemMenu.h"

#include "ShellOpen.h"
#include "TextTable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>

using namespace Qt::StringLiterals;

namespace {

// A file manager that is started for the request may take a while to answer.
constexpr int FileManagerTimeoutMs = 10000;

// The item's own path, without the trailing "/" of a folder (the root keeps it).
QString LocalPath(const QByteArray &path)
{
    QByteArray local = path;
    while (local.size() > 1 && local.endsWith('/'))
        local.chop(1);
    return QFile::decodeName(local);
}

QUrl FileUrl(const QByteArray &path)
{
    return QUrl::fromLocalFile(LocalPath(path));
}

bool OpenParent(const QByteArray &path, const ItemMenu::Opener &open)
{
    return ShellOpen(u"Open"_s, QFileInfo(LocalPath(path)).absolutePath(), {}, open);
}

ItemMenu::Extender &Extension()
{
    static ItemMenu::Extender extend;
    return extend;
}

ItemMenu::DeleteKey &DeleteKeyHandler()
{
    static ItemMenu::DeleteKey handler;
    return handler;
}

} // namespace

void ItemMenu::setActions(Extender extend, DeleteKey deleteKey)
{
    Extension() = std::move(extend);
    DeleteKeyHandler() = std::move(deleteKey);
}

ItemMenu::ItemMenu(QAbstractItemView *view, PathOf pathOf)
    : QObject(view)
    , m_view(view)
    , m_pathOf(std::move(pathOf))
{
    // A right click reaches the viewport, the keyboard's request the view itself.
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
}

void ItemMenu::attach(QAbstractItemView *view, PathOf pathOf)
{
    new ItemMenu(view, std::move(pathOf));
}

bool ItemMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu) {
        const auto *request = static_cast<QContextMenuEvent *>(event);
        if (request->reason() == QContextMenuEvent::Mouse && watched == m_view->viewport())
            showFor(m_view->indexAt(request->pos()), request->globalPos());
        else if (request->reason() != QContextMenuEvent::Mouse)
            showFor(m_view->currentIndex(), {});
        return true;
    }
    // Qt turns only the Menu key into a request; Shift+F10 is the other usual key for it.
    if (event->type() == QEvent::KeyPress && watched == m_view) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            showFor(m_view->currentIndex(), {});
            return true;
        }
        const bool shifted = key->modifiers() == Qt::ShiftModifier;
        if (key->key() == Qt::Key_Delete && (shifted || key->modifiers() == Qt::NoModifier) &&
            DeleteKeyHandler() && m_view->currentIndex().isValid()) {
            if (const QByteArray path = m_pathOf(m_view->currentIndex()); !path.isEmpty())
                DeleteKeyHandler()(path, shifted);
            return true;
        }
    }
    return false;
}

// A point of null is the keyboard's request: the menu opens on the row itself.
void ItemMenu::showFor(const QModelIndex &index, const QPoint &globalPos)
{
    if (!index.isValid())
        return;
    const QByteArray path = m_pathOf(index);
    if (path.isEmpty())
        return;
    QPoint at = globalPos;
    if (at.isNull()) {
        m_view->scrollTo(index);
        at = m_view->viewport()->mapToGlobal(m_view->visualRect(index).center());
    }
    popup(path, at, m_view);
}

void ItemMenu::popup(const QByteArray &path, const QPoint &globalPos, QWidget *parent)
{
    QMenu *menu = build(path, parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

QMenu *ItemMenu::build(const QByteArray &path, QWidget *parent, const Opener &open)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(u"mnuItem"_s);
    const auto add = [menu](const char *name, TextId text, auto action) {
        QAction *entry = menu->addAction(Text(text));
        entry->setObjectName(QString::fromLatin1(name));
        QObject::connect(entry, &QAction::triggered, menu, action);
    };
    add("mnuItemOpen", TextId::ItemOpen, [path, open] { ItemMenu::open(path, open); });
    add("mnuItemShow", TextId::ItemShowInFileManager,
        [path, open] { showInFileManager(path, open); });
    // A saved scan's item is on no disk here: only its path can be had.
    if (!path.startsWith('/'))
        for (QAction *entry : menu->actions())
            entry->setEnabled(false);
    add("mnuItemCopyPath", TextId::ItemCopyPath,
        [path] { QApplication::clipboard()->setMimeData(pathData(path)); });
    if (Extension())
        Extension()(menu, path);
    return menu;
}

bool ItemMenu::open(const QByteArray &path, const Opener &open)
{
    return ShellOpen(u"Open"_s, LocalPath(path), {}, open);
}

void ItemMenu::showInFileManager(const QByteArray &path, const Opener &open)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        OpenParent(path, open);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
        u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{FileUrl(path).toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, FileManagerTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, path, open] {
        if (watcher->isError())
            OpenParent(path, open);
        watcher->deleteLater();
    });
}

QMimeData *ItemMenu::pathData(const QByteArray &path)
{
    auto *data = new QMimeData;
    data->setText(LocalPath(path));
    data->setUrls({FileUrl(path)});
    return data;
}
