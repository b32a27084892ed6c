#include "Paths.h"

namespace {

// The character type of each kind of path text, so that one template serves both.
template<PathText S> auto Char(char c)
{
    if constexpr (std::same_as<S, QByteArray>)
        return c;
    else
        return QChar::fromLatin1(c);
}

template<PathText S> const auto Slash = Char<S>('/');

// 1-based position of the last occurrence of c in text, 0 if none.
template<PathText S> qsizetype FindLast(const S &text, char c)
{
    return text.lastIndexOf(Char<S>(c)) + 1;
}

// The text after the last "/".
template<PathText S> S GetFileName(const S &path)
{
    return path.mid(FindLast(path, '/'));
}

} // namespace

template<PathText S> S AddSlash(const S &path)
{
    if (path.isEmpty() || path.endsWith(Slash<S>))
        return path;
    return path + Slash<S>;
}

template<PathText S> S RemoveSlash(const S &path)
{
    return path.size() > 1 && path.endsWith(Slash<S>) ? path.left(path.size() - 1) : path;
}

template<PathText S> S ParentFolder(const S &path)
{
    if (path.count(Slash<S>) < 2)
        return {};
    // The last "/" before the final character ends the parent.
    return path.left(FindLast(path.left(path.size() - 1), '/'));
}

template<PathText S> S GetFolderName(const S &path)
{
    const S trimmed = path.endsWith(Slash<S>) ? path.left(path.size() - 1) : path;
    if (trimmed.isEmpty())
        return path;
    return GetFileName(trimmed);
}

#define QUARNEL_INSTANTIATE_PATHS(S)                                                               \
    template S AddSlash<S>(const S &);                                                             \
    template S RemoveSlash<S>(const S &);                                                          \
    template S ParentFolder<S>(const S &);                                                         \
    template S GetFolderName<S>(const S &);

QUARNEL_INSTANTIATE_PATHS(QByteArray)
QUARNEL_INSTANTIATE_PATHS(QString)

bool IsNumberName(const char *name)
{
    if (*name == '\0')
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}
