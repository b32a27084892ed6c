#include "FolderTreeModel.h"

#include "BackgroundPool.h"
#include "DriveScan.h"
#include "FileSystem.h"
#include "ListSubfolders.h"
#include "Paths.h"
#include "UniqueFd.h"

#include <QCollatorSortKey>
#include <QFile>
#include <QFutureWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <numeric>

struct FolderTreeModel::Node
{
    enum class State : quint8 { Unlisted, Listing, Listed };

    QByteArray name; // the top item's is the whole root path
    QString text;
    Node *parent = nullptr;
    int row = 0;
    State state = State::Unlisted;
    bool mayHaveChildren = true;
    std::vector<std::unique_ptr<Node>> children;

    void renumberFrom(size_t first)
    {
        for (size_t at = first; at < children.size(); ++at)
            children[at]->row = int(at);
    }
};

namespace {

// Rows added to the model in one pass of the event loop: the view's layout of 1,000 rows takes a
// few milliseconds.
constexpr size_t InsertBatch = 1000;

// A row shows one line: a line break in a name is drawn as a visible mark.
QString DisplayText(const QByteArray &name)
{
    QString text = QFile::decodeName(name);
    for (QChar &c : text) {
        if (c == u'\n')
            c = QChar(0x21B5);
        else if (c.unicode() < 0x20)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QCollator FileNameCollator(const QLocale &locale)
{
    QCollator collator(locale);
    collator.setNumericMode(true);
    return collator;
}

std::vector<FolderTreeModel::Listed> SortListed(std::vector<FolderTreeModel::Listed> folders,
                                                const QLocale &locale);

// Runs on a worker thread. Only folders are asked for their status: the entries' types come with
// the listing, so a folder of files costs one read of the folder.
std::vector<FolderTreeModel::Listed> ListFolders(const QByteArray &root, const QByteArray &relative,
                                                 const QLocale &locale)
{
    std::vector<FolderTreeModel::Listed> folders;
    UniqueFd fd(FileSystem::OpenFolder(root));
    if (!relative.isEmpty() && fd.isOpen())
        fd.reset(FileSystem::OpenBelow(fd.get(), relative.chopped(1)));
    if (!fd.isOpen())
        return folders;
    // A folder's link count of 2 says it holds no folder.
    for (Subfolder &folder : ReadSubfolders(fd.get(), true)) {
        QString text = DisplayText(folder.name);
        folders.push_back({std::move(folder.name), std::move(text), folder.links != 2});
    }
    return SortListed(std::move(folders), locale);
}

// A saved scan's folders: its records are all there is of them.
std::vector<FolderTreeModel::Listed>
ListRecordFolders(const DriveScan &records, const QByteArray &path, const QLocale &locale)
{
    std::vector<FolderTreeModel::Listed> folders;
    const qsizetype folder = records.indexOf(path);
    if (folder < 0)
        return folders;
    for (const WalkSink::FolderId child : records.subfoldersOf(WalkSink::FolderId(folder))) {
        QByteArray name = records.nameOf(child).toByteArray();
        QString text = DisplayText(name);
        folders.push_back(
            {std::move(name), std::move(text), records.subfolderEntriesOf(child) > 0});
    }
    return SortListed(std::move(folders), locale);
}

std::vector<FolderTreeModel::Listed> SortListed(std::vector<FolderTreeModel::Listed> folders,
                                                const QLocale &locale)
{
    const QCollator collator = FileNameCollator(locale);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(folders.size());
    for (const FolderTreeModel::Listed &folder : folders)
        keys.push_back(collator.sortKey(folder.text));
    std::vector<size_t> order(folders.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int compared = keys[a].compare(keys[b]);
        return compared != 0 ? compared < 0 : folders[a].name < folders[b].name;
    });
    std::vector<FolderTreeModel::Listed> sorted;
    sorted.reserve(folders.size());
    for (const size_t at : order)
        sorted.push_back(std::move(folders[at]));
    return sorted;
}

} // namespace

FolderTreeModel::FolderTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
    , m_top(std::make_unique<Node>())
    , m_collator(FileNameCollator(QLocale()))
    , m_listings(new QObject(this))
    , m_arrivalTimer(new QTimer(this))
{
    m_arrivalTimer->setSingleShot(true);
    m_arrivalTimer->setInterval(0);
    connect(m_arrivalTimer, &QTimer::timeout, this, &FolderTreeModel::insertArrivals);
}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::setRoot(const QByteArray &root, std::shared_ptr<const DriveScan> records)
{
    beginResetModel();
    m_records = std::move(records);
    // Listings under way belong to the old items: their results are dropped with their watchers.
    delete m_listings;
    m_listings = new QObject(this);
    m_pending = 0;
    m_arrivals.clear();
    m_arrivalTimer->stop();
    m_top = std::make_unique<Node>();
    auto folder = std::make_unique<Node>();
    folder->name = AddSlash(root);
    folder->text = DisplayText(GetFolderName(folder->name));
    folder->parent = m_top.get();
    m_top->children.push_back(std::move(folder));
    endResetModel();
}

QByteArray FolderTreeModel::root() const
{
    return m_top->children.empty() ? QByteArray() : m_top->children.front()->name;
}

QModelIndex FolderTreeModel::indexOf(const QByteArray &folder)
{
    Node *node = find(folder, true);
    return node ? indexOf(node) : QModelIndex();
}

FolderTreeModel::Node *FolderTreeModel::find(const QByteArray &folder, bool add)
{
    const QByteArray top = root();
    if (top.isEmpty() || !AddSlash(folder).startsWith(top))
        return nullptr;
    Node *node = m_top->children.front().get();
    for (const QByteArray &name : folder.mid(top.size()).split('/')) {
        if (name.isEmpty())
            continue;
        const auto found = std::find_if(node->children.begin(), node->children.end(),
                                        [&](const auto &child) { return child->name == name; });
        if (found == node->children.end() && !add)
            return nullptr;
        node = found != node->children.end() ? found->get() : addChild(node, name);
    }
    return node;
}

void FolderTreeModel::relist(const QByteArray &folder)
{
    Node *node = find(folder, false); // one not in the model is listed when the view asks
    if (!node)
        return;
    if (node->state == Node::State::Listing)
        return;
    // Listed even when nobody opened it: it may have subfolders now, whatever its link count
    // said when its parent was listed, and the view shows an arrow only for rows it is given.
    node->state = Node::State::Unlisted;
    node->mayHaveChildren = true;
    fetchMore(indexOf(node));
}

QByteArray FolderTreeModel::pathOf(const QModelIndex &index) const
{
    QByteArray path;
    for (const Node *node = nodeOf(index); node && node != m_top.get(); node = node->parent)
        path.prepend(node->parent == m_top.get() ? node->name : node->name + '/');
    return path;
}

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : m_top.get();
}

QModelIndex FolderTreeModel::indexOf(const Node *node) const
{
    return node == m_top.get() ? QModelIndex()
                               : createIndex(node->row, 0, const_cast<Node *>(node));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    if (column != 0 || row < 0 || size_t(row) >= node->children.size())
        return {};
    return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    return child.isValid() ? indexOf(nodeOf(child)->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    return parent.column() > 0 ? 0 : int(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return nodeOf(index)->text;
    case Qt::DecorationRole:
        return m_folderIcon;
    case PathRole:
        return pathOf(index);
    default:
        return {};
    }
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    if (parent.column() > 0)
        return false;
    return !node->children.empty() ||
           (node->state != Node::State::Listed && node != m_top.get() && node->mayHaveChildren);
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return node != m_top.get() && node->state == Node::State::Unlisted && node->mayHaveChildren;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    Node *node = nodeOf(parent);
    node->state = Node::State::Listing;
    const QByteArray top = root();
    const QByteArray relative = pathOf(parent).mid(top.size());

    using Result = std::vector<Listed>;
    auto *watcher = new QFutureWatcher<Result>(m_listings);
    // The folder may go from the model before its listing comes back.
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, item = QPersistentModelIndex(parent)] {
                --m_pending;
                if (item.isValid())
                    listed(item, watcher->result());
                watcher->deleteLater();
            });
    ++m_pending;
    // The listing holds its own share of a saved scan's records: they cannot go under it.
    watcher->setFuture(
        BackgroundPool::submit([top, relative, records = m_records, locale = m_collator.locale()] {
            return records ? ListRecordFolders(*records, top + relative, locale)
                           : ListFolders(top, relative, locale);
        }));
}

void FolderTreeModel::listed(const QPersistentModelIndex &item, std::vector<Listed> folders)
{
    Node *node = nodeOf(item);
    node->state = Node::State::Listed;
    if (!node->children.empty())
        removeVanished(node, folders);
    Arrival arrival{item, std::move(folders), {}};
    for (const auto &child : node->children)
        arrival.present.insert(child->name);
    m_arrivals.push_back(std::move(arrival));
    insertArrivals();
}

void FolderTreeModel::insertArrivals()
{
    Arrival &arrival = m_arrivals.front();
    if (!arrival.item.isValid() || insertListed(arrival, InsertBatch)) {
        if (arrival.item.isValid() && !hasChildren(arrival.item)) // no arrow left to open
            emit dataChanged(arrival.item, arrival.item);
        m_arrivals.pop_front();
    }
    if (!m_arrivals.empty())
        m_arrivalTimer->start();
}

// Items added ahead of the listing that the listing does not have are gone from the disk; the
// others are put in the listing's order if the two disagree.
void FolderTreeModel::removeVanished(Node *node, const std::vector<Listed> &folders)
{
    const QModelIndex parent = indexOf(node);
    QHash<QByteArray, int> position;
    for (size_t at = 0; at < folders.size(); ++at)
        position.insert(folders[at].name, int(at));
    for (size_t row = node->children.size(); row-- > 0;) {
        if (position.contains(node->children[row]->name))
            continue;
        beginRemoveRows(parent, int(row), int(row));
        node->children.erase(node->children.begin() + std::ptrdiff_t(row));
        node->renumberFrom(row);
        endRemoveRows();
    }
    const auto byListing = [&](const auto &a, const auto &b) {
        return position.value(a->name) < position.value(b->name);
    };
    if (std::is_sorted(node->children.begin(), node->children.end(), byListing))
        return;
    emit layoutAboutToBeChanged({parent});
    std::stable_sort(node->children.begin(), node->children.end(), byListing);
    node->renumberFrom(0);
    // An index keeps its item; only the item's row moved.
    for (const QModelIndex &index : persistentIndexList())
        if (nodeOf(index)->parent == node)
            changePersistentIndex(index, indexOf(nodeOf(index)));
    emit layoutChanged({parent});
}

// Puts up to `budget` more of the listing's folders in, in runs of rows around the items already
// there, each run one insertion. True when all are in.
bool FolderTreeModel::insertListed(Arrival &arrival, size_t budget)
{
    Node *node = nodeOf(arrival.item);
    const std::vector<Listed> &folders = arrival.folders;
    const QModelIndex parent = indexOf(node);
    size_t row = arrival.lastPlaced ? size_t(arrival.lastPlaced->row) + 1 : 0;
    while (arrival.next < folders.size()) {
        const Listed &folder = folders[arrival.next];
        if (arrival.present.contains(folder.name)) {
            // That item stays; items the listing does not have stay where they are.
            const auto found = std::find_if(node->children.begin(), node->children.end(),
                                            [&](const auto &c) { return c->name == folder.name; });
            arrival.lastPlaced = found->get();
            arrival.lastPlaced->mayHaveChildren = folder.mayHaveChildren;
            row = size_t(arrival.lastPlaced->row) + 1;
            ++arrival.next;
            continue;
        }
        if (budget == 0)
            return false;
        std::vector<std::unique_ptr<Node>> run;
        for (; arrival.next < folders.size() && budget > 0 &&
               !arrival.present.contains(folders[arrival.next].name);
             ++arrival.next, --budget) {
            auto child = std::make_unique<Node>();
            child->name = folders[arrival.next].name;
            child->text = folders[arrival.next].text;
            child->mayHaveChildren = folders[arrival.next].mayHaveChildren;
            child->parent = node;
            run.push_back(std::move(child));
        }
        arrival.lastPlaced = run.back().get();
        beginInsertRows(parent, int(row), int(row + run.size() - 1));
        node->children.insert(node->children.begin() + std::ptrdiff_t(row),
                              std::make_move_iterator(run.begin()),
                              std::make_move_iterator(run.end()));
        node->renumberFrom(row);
        endInsertRows();
        row += run.size();
    }
    return true;
}

FolderTreeModel::Node *FolderTreeModel::addChild(Node *parent, const QByteArray &name)
{
    auto child = std::make_unique<Node>();
    child->name = name;
    child->text = DisplayText(name);
    child->parent = parent;
    const auto at =
        std::find_if(parent->children.begin(), parent->children.end(),
                     [&](const auto &other) { return before(child->text, name, *other); });
    const int row = int(at - parent->children.begin());
    parent->mayHaveChildren = true;
    // A listing still going in takes the item as its own when it comes to that name.
    for (Arrival &arrival : m_arrivals)
        if (nodeOf(arrival.item) == parent)
            arrival.present.insert(name);
    beginInsertRows(indexOf(parent), row, row);
    Node *added = parent->children.insert(at, std::move(child))->get();
    parent->renumberFrom(size_t(row));
    endInsertRows();
    return added;
}

bool FolderTreeModel::before(const QString &text, const QByteArray &name, const Node &other) const
{
    const int compared = m_collator.compare(text, other.text);
    return compared != 0 ? compared < 0 : name < other.name;
}
