#pragma once

#include <QByteArray>
#include <QString>

#include <concepts>

// Path and text functions shared by the walk and the views. Folder paths end with "/". They work
// on the engine's byte paths (names exactly as the file system gives them) and on the display's
// decoded paths alike.
template<typename S>
concept PathText = std::same_as<S, QByteArray> || std::same_as<S, QString>;

// "" for "", the path itself if it already ends with "/", else the path followed by "/".
template<PathText S> S AddSlash(const S &path);

// The path without its final "/", an item's own name last: "/a/b/" gives "/a/b"; "/" stays "/".
template<PathText S> S RemoveSlash(const S &path);

// The parent of a folder path ending with "/", itself ending with "/" ("/a/b/" gives "/a/", "/a/"
// gives "/"); "" for the root "/" and for any text with fewer than two "/".
template<PathText S> S ParentFolder(const S &path);

// The name of the last folder of a path ending with "/" ("/a/b/" gives "b"); the root "/" gives
// itself, as the volume's label; a text without "/" is returned whole.
template<PathText S> S GetFolderName(const S &path);

// Whether a name is a number, as those of processes and descriptors under /proc are.
bool IsNumberName(const char *name);
