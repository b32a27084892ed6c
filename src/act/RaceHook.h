#pragma once

#include <QByteArray>

#include <functional>

// The moments between looking at the disk and acting on it where someone else may change it. A
// test sets a handler to change the disk at one of them on purpose; outside tests none is set.
namespace RaceHook {

enum class Moment {
    Acting,         // the user has confirmed; the item is about to be checked again and acted on
    EnteringFolder, // a deletion is about to list a folder of the tree it deletes
    Refreshing,     // a folder is about to be opened to be walked again
};

using Handler = std::function<void(Moment moment, const QByteArray &path)>;

void Set(Handler handler);
void Reach(Moment moment, const QByteArray &path);

} // namespace RaceHook
