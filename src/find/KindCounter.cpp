#include "KindCounter.h"

#include "KindCensus.h"

#include <algorithm>

KindCounter::KindCounter(SizeMeasure measure)
    : m_measure(measure)
{}

KindCounter::Group KindCounter::groupOf(QByteArrayView name, quint64 bytes)
{
    const Group group = groupOf(name);
    const FileKind kind = KindBySize(m_groups[group].kind, m_groups[group].extension, bytes);
    if (kind == m_groups[group].kind)
        return group;
    const auto [place, added] = m_byKindAndExtension.try_emplace(
        std::pair(kind, m_groups[group].extension), Group(m_groups.size()));
    if (added)
        m_groups.push_back({kind, m_groups[group].extension});
    return place->second;
}

KindCounter::Group KindCounter::groupOf(QByteArrayView name)
{
    const QByteArrayView suffixes = KindSuffixes(name);
    // "libc.so.6" and "notes.6" share their suffix but not their kind.
    const bool library =
        !name.isEmpty() && name.back() >= '0' && name.back() <= '9' && IsVersionedLibrary(name);
    m_key.assign(library ? 1 : 0, '/'); // no suffix holds a slash
    for (const char c : suffixes)
        m_key.push_back(c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c);
    if (const auto it = m_bySuffixes.find(m_key); it != m_bySuffixes.end())
        return it->second;

    const FileKind kind = library ? FileKind::Program : FileKindOf(name);
    const size_t dot = m_key.rfind('.');
    const size_t from = dot == std::string::npos ? m_key.size() - size_t(suffixes.size()) : dot + 1;
    const QByteArray extension(m_key.data() + from, qsizetype(m_key.size() - from));
    const auto [place, added] =
        m_byKindAndExtension.try_emplace(std::pair(kind, extension), Group(m_groups.size()));
    if (added)
        m_groups.push_back({kind, extension});
    m_bySuffixes.emplace(m_key, place->second);
    return place->second;
}

KindCensus KindCounter::census() const
{
    KindCensus census;
    std::map<FileKind, KindTally> kinds;
    for (const Tally &group : m_groups) {
        if (group.count == 0)
            continue;
        KindTally &kind = kinds[group.kind];
        kind.kind = group.kind;
        kind.count += group.count;
        kind.bytes = SaturatingAdd(kind.bytes, group.bytes);
        kind.extensions.push_back({group.extension, group.count, group.bytes});
        census.count += group.count;
        census.bytes = SaturatingAdd(census.bytes, group.bytes);
    }
    for (auto &[kind, tally] : kinds) {
        std::sort(tally.extensions.begin(), tally.extensions.end(),
                  [](const ExtensionTally &a, const ExtensionTally &b) {
                      if (a.bytes != b.bytes)
                          return a.bytes > b.bytes;
                      if (a.count != b.count)
                          return a.count > b.count;
                      return a.extension < b.extension;
                  });
        census.kinds.push_back(std::move(tally));
    }
    return census;
}
