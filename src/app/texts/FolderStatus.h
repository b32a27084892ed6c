#pragma once

#include <QString>

class DirListModel;
class FolderTreeView;
class ScanComparison;
class ScanController;

// The status bar's text for the folder the list shows, once it is filled: the folder's name (a
// volume's root by the volume's label, as in the scan's notices) and total and, while the volume
// is compared with an earlier scan, what the folder gained since. Refers to the parts it reads
// without owning them.
class FolderStatus
{
public:
    FolderStatus(const ScanController *scans, const FolderTreeView *tree, const DirListModel *list)
        : m_scans(scans)
        , m_tree(tree)
        , m_list(list)
    {}

    // earlier: the scan the shown volume is compared with, or null.
    QString text(const ScanComparison *earlier) const;
    // A saved scan's day, as its drive and the growth since it say it.
    static QString savedDay(qint64 secondsSinceEpoch);

private:
    const ScanController *m_scans;
    const FolderTreeView *m_tree;
    const DirListModel *m_list;
};
