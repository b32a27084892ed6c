#pragma once

#include <QByteArray>

#include <vector>

// Deletes a file, a link or a folder with everything in it, for good. A link is removed as a
// link, never followed; another volume mounted inside is never entered. What could not go stays,
// and is told.
class PermanentDelete
{
public:
    struct Failure
    {
        QByteArray path;
        int error = 0;
    };

    // Empty when everything went.
    static std::vector<Failure> remove(const QByteArray &path);
};
