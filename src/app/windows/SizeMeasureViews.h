#pragma once

#include "SizeMeasure.h"

class BiggestCommand;
class DirListModel;
class DuplicatesCommand;
class HistoryCommand;
class KindsCommand;
class MapCommand;
class PrintCommand;
class ScanController;
class SearchCommand;

// The measure of sizes, apparent or on disk, and every view that follows it: the list and its
// size heading, the shown volume's total that percentages and status texts are of, the map, the
// printout's title and the tool windows with sizes. The list's rows follow once filled again.
// Refers to the views without owning them.
class SizeMeasureViews
{
public:
    struct Views
    {
        DirListModel *list = nullptr;
        ScanController *scans = nullptr;
        MapCommand *map = nullptr;
        PrintCommand *print = nullptr;
        BiggestCommand *biggest = nullptr;
        KindsCommand *kinds = nullptr;
        SearchCommand *search = nullptr;
        DuplicatesCommand *duplicates = nullptr;
        HistoryCommand *history = nullptr;
    };

    explicit SizeMeasureViews(const Views &views)
        : m_views(views)
    {}

    SizeMeasure measure() const { return m_measure; }
    void setMeasure(SizeMeasure measure);

private:
    Views m_views;
    SizeMeasure m_measure = SizeMeasure::Apparent;
};
