#include "FolderMatches.h"

#include "DriveScan.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <unordered_map>

namespace {

// Copies of a big group are paired among the first few only: the pairs grow as their square.
constexpr size_t PairedCopies = 8;
constexpr int LeastPercent = 50;
constexpr size_t MostPairs = 1000;

using FolderId = WalkSink::FolderId;
using Pair = std::pair<FolderId, FolderId>;

Pair Ordered(FolderId a, FolderId b)
{
    return a < b ? Pair{a, b} : Pair{b, a};
}

// Whether `inner` is `outer` or below it.
bool IsWithin(const DriveScan &scan, FolderId inner, FolderId outer)
{
    for (FolderId at = inner; at != WalkSink::NoFolder; at = scan.parentOf(at))
        if (at == outer)
            return true;
    return false;
}

FolderId Root(std::unordered_map<FolderId, FolderId> &parent, FolderId folder)
{
    while (parent[folder] != folder)
        folder = parent[folder] = parent[parent[folder]];
    return folder;
}

} // namespace

std::vector<FolderMatch> FolderMatches(const DriveScan &scan, FolderId top,
                                       const std::vector<DuplicateGroup> &groups,
                                       const std::atomic<bool> *cancelled)
{
    const auto stopped = [cancelled] {
        return cancelled && cancelled->load(std::memory_order_relaxed);
    };
    // The pairs of folders holding two copies of one content, and their ancestors at the same
    // height, up to `top` or to a common ancestor.
    std::vector<Pair> pairs;
    for (const DuplicateGroup &group : groups) {
        if (stopped())
            return {};
        const size_t copies = std::min(group.copies.size(), PairedCopies);
        for (size_t i = 0; i < copies; ++i)
            for (size_t j = i + 1; j < copies; ++j) {
                FolderId a = group.copies[i].folder;
                FolderId b = group.copies[j].folder;
                while (a != b && a != top && b != top && a != WalkSink::NoFolder &&
                       b != WalkSink::NoFolder && !IsWithin(scan, a, b) && !IsWithin(scan, b, a)) {
                    pairs.push_back(Ordered(a, b));
                    a = scan.parentOf(a);
                    b = scan.parentOf(b);
                }
            }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    if (pairs.empty())
        return {};

    // The contents below each folder of a pair, as group numbers, each once per copy.
    std::unordered_map<FolderId, std::vector<quint32>> contents;
    for (const Pair &pair : pairs) {
        contents[pair.first];
        contents[pair.second];
    }
    for (size_t g = 0; g < groups.size(); ++g)
        for (const DuplicateCopy &copy : groups[g].copies)
            for (FolderId at = copy.folder; at != WalkSink::NoFolder; at = scan.parentOf(at)) {
                if (auto found = contents.find(at); found != contents.end())
                    found->second.push_back(quint32(g));
                if (at == top)
                    break;
            }
    for (auto &[folder, below] : contents)
        std::sort(below.begin(), below.end());

    std::map<Pair, FolderMatch> matches;
    for (const Pair &pair : pairs) {
        if (stopped())
            return {};
        const std::vector<quint32> &a = contents[pair.first];
        const std::vector<quint32> &b = contents[pair.second];
        std::vector<quint32> common;
        std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
        quint64 bytes = 0;
        for (quint32 g : common)
            bytes += groups[g].size;
        const quint64 bigger = std::max(scan.sizeOf(pair.first), scan.sizeOf(pair.second));
        if (bigger == 0)
            continue;
        const int percent = int(std::min<quint64>(100, bytes * 100 / bigger));
        // One big file in common makes two folders hold a copy, not copy each other.
        if (percent >= LeastPercent && (percent == 100 || common.size() > 1))
            matches[pair] = {{pair.first, pair.second}, percent, bytes};
    }
    // A pair inside a pair that matches as well is that pair's detail.
    std::vector<Pair> details;
    for (const auto &[pair, match] : matches) {
        const auto outer =
            matches.find(Ordered(scan.parentOf(pair.first), scan.parentOf(pair.second)));
        if (outer != matches.end() && outer->second.percent >= match.percent)
            details.push_back(pair);
    }
    for (const Pair &pair : details)
        matches.erase(pair);

    // Identical folders are one group: three copies of a folder are three pairs.
    std::unordered_map<FolderId, FolderId> parent;
    std::vector<FolderMatch> near;
    for (auto &[pair, match] : matches) {
        if (match.percent < 100) {
            near.push_back(std::move(match));
            continue;
        }
        parent.try_emplace(pair.first, pair.first);
        parent.try_emplace(pair.second, pair.second);
        parent[Root(parent, pair.first)] = Root(parent, pair.second);
    }
    std::map<FolderId, FolderMatch> identical;
    for (auto &[folder, unused] : parent) {
        FolderMatch &group = identical[Root(parent, folder)];
        group.folders.push_back(folder);
        group.percent = 100;
        group.bytes = scan.sizeOf(folder);
    }
    // Folders by path, ties too: the walk's threads number them in an order of their own, and
    // one search must read as the next.
    std::unordered_map<FolderId, QByteArray> paths;
    const auto pathOf = [&](FolderId folder) -> const QByteArray & {
        auto [at, added] = paths.try_emplace(folder);
        if (added)
            at->second = scan.pathOf(folder);
        return at->second;
    };
    const auto byPath = [&](FolderId a, FolderId b) { return pathOf(a) < pathOf(b); };
    std::vector<FolderMatch> result;
    for (auto &[root, group] : identical) {
        std::sort(group.folders.begin(), group.folders.end(), byPath);
        result.push_back(std::move(group));
    }
    const auto weight = [](const FolderMatch &match) {
        return match.bytes * (match.folders.size() - 1);
    };
    std::sort(result.begin(), result.end(), [&](const FolderMatch &a, const FolderMatch &b) {
        return weight(a) != weight(b) ? weight(a) > weight(b) : byPath(a.folders[0], b.folders[0]);
    });
    for (FolderMatch &match : near)
        std::sort(match.folders.begin(), match.folders.end(), byPath);
    std::sort(near.begin(), near.end(), [&](const FolderMatch &a, const FolderMatch &b) {
        if (std::tie(a.percent, a.bytes) != std::tie(b.percent, b.bytes))
            return std::tie(a.percent, a.bytes) > std::tie(b.percent, b.bytes);
        return std::tie(pathOf(a.folders[0]), pathOf(a.folders[1])) <
               std::tie(pathOf(b.folders[0]), pathOf(b.folders[1]));
    });
    // A near pair beside a better one tells nothing new: the pair is inside two different folders
    // of the better match, or holds two of them and has nothing in common but what they hold.
    // Folders of one identical group count as one.
    const auto within = [&](FolderId inner, FolderId outer) {
        return IsWithin(scan, inner, outer) || (parent.count(inner) && parent.count(outer) &&
                                                Root(parent, inner) == Root(parent, outer));
    };
    const auto besideBetter = [&](FolderId a, FolderId b, quint64 bytes, const FolderMatch &kept) {
        for (size_t i = 0; i < kept.folders.size(); ++i)
            for (size_t j = 0; j < kept.folders.size(); ++j) {
                if (i == j)
                    continue;
                const FolderId x = kept.folders[i], y = kept.folders[j];
                if ((within(a, x) && within(b, y)) ||
                    (within(x, a) && within(y, b) && kept.bytes >= bytes))
                    return true;
            }
        return false;
    };
    for (FolderMatch &match : near) {
        const FolderId a = match.folders[0], b = match.folders[1];
        if (std::any_of(result.begin(), result.end(), [&](const FolderMatch &kept) {
                return besideBetter(a, b, match.bytes, kept);
            }))
            continue;
        result.push_back(std::move(match));
        if (result.size() >= MostPairs)
            break;
    }
    return result;
}
