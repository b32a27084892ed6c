#include "WalkOrder.h"

#include <vector>

bool WalksBefore(const WalkSink &records, WalkSink::FolderId a, quint32 positionA,
                 WalkSink::FolderId b, quint32 positionB)
{
    if (a == b)
        return positionA < positionB;
    std::vector<WalkSink::FolderId> chainA, chainB; // from the folder up to the root
    for (WalkSink::FolderId f = a; f != WalkSink::NoFolder; f = records.parentOf(f))
        chainA.push_back(f);
    for (WalkSink::FolderId f = b; f != WalkSink::NoFolder; f = records.parentOf(f))
        chainB.push_back(f);
    auto itA = chainA.rbegin();
    auto itB = chainB.rbegin();
    while (itA != chainA.rend() && itB != chainB.rend() && *itA == *itB) {
        ++itA;
        ++itB;
    }
    if (itA == chainA.rend())
        return true; // a holds b: a's own files come before its subfolders
    if (itB == chainB.rend())
        return false;
    return records.ordinalOf(*itA) < records.ordinalOf(*itB);
}
