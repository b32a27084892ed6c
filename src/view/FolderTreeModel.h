#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QCollator>
#include <QIcon>
#include <QSet>

#include <deque>
#include <memory>
#include <vector>

class DriveScan;
class QTimer;

// The folders below one root folder, for the folder tree: the root is the single top item, and
// below it each folder's subfolders, hidden ones included, links and files left out. Folders go by
// their byte paths, so that a name in any encoding can be shown and selected; the text shown is
// the name through the file-name codec. A folder is listed only when the view asks for it, on a
// worker thread: a folder of any size never holds up the window. Its subfolders come sorted as in
// the file manager, by the locale's collation with numbers in numeric order.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role {
        PathRole = Qt::UserRole, // QByteArray: the folder's path, ending with "/"
    };

    explicit FolderTreeModel(QObject *parent = nullptr);
    ~FolderTreeModel() override;

    void setFolderIcon(const QIcon &icon) { m_folderIcon = icon; }

    // Starts afresh from the root (a byte path ending with "/"): nothing is listed yet. With
    // records, the folders are those of the records (a saved scan's) rather than the disk's.
    void setRoot(const QByteArray &root, std::shared_ptr<const DriveScan> records = {});
    QByteArray root() const;

    // The item of a folder at or below the root, added on the spot, with the items above it, when
    // their parents are not listed yet (they take their place in the listing when it comes).
    // Invalid for a path outside the root. The caller checks that the folder exists.
    QModelIndex indexOf(const QByteArray &folder);
    QByteArray pathOf(const QModelIndex &index) const;
    // The folder's subfolders changed on the disk: a folder listed already is listed again, its
    // items kept where they stay, so that what is expanded and selected stays so.
    void relist(const QByteArray &folder);

    // True while a listing asked for has not come back or not all of its folders are in.
    bool isListing() const { return m_pending > 0 || !m_arrivals.empty(); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // A folder's subfolders as a listing gives them: name, text shown, and whether it may have
    // subfolders of its own (false only when the file system's link count says so).
    struct Listed
    {
        QByteArray name;
        QString text;
        bool mayHaveChildren = true;
    };

private:
    struct Node;

    Node *nodeOf(const QModelIndex &index) const;
    // The folder's item; with `add`, made with those above it when missing, else null then.
    Node *find(const QByteArray &folder, bool add);
    QModelIndex indexOf(const Node *node) const;
    void listed(const QPersistentModelIndex &item, std::vector<Listed> folders);
    void removeVanished(Node *node, const std::vector<Listed> &folders);
    void insertArrivals();
    struct Arrival;
    bool insertListed(Arrival &arrival, size_t budget);
    Node *addChild(Node *parent, const QByteArray &name);
    bool before(const QString &text, const QByteArray &name, const Node &other) const;

    std::unique_ptr<Node> m_top; // invisible; its single child is the root folder
    QIcon m_folderIcon;
    QCollator m_collator;
    QObject *m_listings = nullptr; // parent of the listings under way, replaced with the root
    int m_pending = 0;
    std::shared_ptr<const DriveScan> m_records; // a saved scan's, listed instead of the disk
    // Listings in, whose folders go into the model a batch per pass of the event loop, so that the
    // view's layout of a big folder never stalls the window.
    struct Arrival
    {
        QPersistentModelIndex item; // invalid once the folder is gone from the model
        std::vector<Listed> folders;
        QSet<QByteArray> present; // items there before their turn: added ahead of the listing
        size_t next = 0;          // the first folder not placed yet
        Node *lastPlaced = nullptr;
    };
    std::deque<Arrival> m_arrivals;
    QTimer *m_arrivalTimer;
};
