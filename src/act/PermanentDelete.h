#pragma once

#include <QByteArray>

#include <vector>

class HeldPath;

// Deletes a held file, link or folder with everything in it, for good, through descriptors opened
// from the held item down: a link is removed as a link, never followed; another volume or a bind
// mount met inside is never entered; a folder that changes while it is emptied is left as it is
// found. What could not go stays, and is told.
class PermanentDelete
{
public:
    struct Failure
    {
        QByteArray path;
        int error = 0;
    };

    // Empty when everything went.
    static std::vector<Failure> remove(const HeldPath &item);
};
