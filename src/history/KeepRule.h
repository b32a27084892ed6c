#pragma once

#include <QtGlobal>

#include <vector>

// Which walks of a volume's history are kept when it is thinned.
struct KeepRule
{
    enum class Kind {
        All,     // every walk
        Newest,  // the `count` newest
        Thinned, // every walk of the last 30 days, then the last of each day, and after a year
                 // the last of each week (days and weeks in UTC)
    };
    Kind kind = Kind::All;
    int count = 0;

    // Whether each walk is kept at `now`; `dates` in seconds since the epoch, ascending, one
    // per walk of one volume. The newest walk is always kept.
    std::vector<bool> keeps(const std::vector<qint64> &dates, qint64 now) const;
};
