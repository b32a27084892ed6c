#pragma once

#include "FileKind.h"
#include "FileRecord.h"
#include "SaturatingMath.h"
#include "SizeMeasure.h"

#include <QByteArray>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

struct KindCensus;

// Sorts files into groups by kind and, within a kind, by extension, and adds up each group's
// files and bytes. A group's kind is the map's (FileKindOf), asked once per distinct suffix: the
// MIME database behind it is far too slow to ask for every file. Names are read as bytes, never
// decoded. Every name is a file, a hard link's too; its bytes count at the name the totals count
// them at (SizeIn), and add up as the folders' totals do, so that a folder's kinds hold exactly
// its total. Not thread-safe: one counter per pass.
class KindCounter
{
public:
    using Group = quint32;

    explicit KindCounter(SizeMeasure measure = SizeMeasure::Apparent);

    // `bytes`, a file's size, tells what its ending alone may not (see FileKindOf).
    Group groupOf(QByteArrayView name, quint64 bytes);
    FileKind kindOf(Group group) const { return m_groups[group].kind; }
    // Lower-cased, after the last dot; empty for a name without one (a leading dot does not count).
    const QByteArray &extensionOf(Group group) const { return m_groups[group].extension; }

    void add(const FileRecord &file)
    {
        Tally &tally = m_groups[groupOf(file.name, file.size)];
        ++tally.count;
        tally.bytes = SaturatingAdd(tally.bytes, SizeIn(m_measure, file));
    }
    // Every kind that has files, in the kinds' order; its extensions the biggest first.
    KindCensus census() const;

private:
    Group groupOf(QByteArrayView name); // by the name alone
    struct Tally
    {
        FileKind kind;
        QByteArray extension;
        quint64 count = 0;
        quint64 bytes = 0;
    };

    SizeMeasure m_measure;
    std::vector<Tally> m_groups;
    // By the lower-cased suffixes FileKindOf reads, versioned libraries apart.
    std::unordered_map<std::string, Group> m_bySuffixes;
    std::map<std::pair<FileKind, QByteArray>, Group> m_byKindAndExtension;
    std::string m_key; // kept between files, so that a look-up allocates nothing
};
