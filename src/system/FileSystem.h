#pragma once

#include "FileStatus.h"
#include "VolumeStatus.h"

#include <QByteArray>
#include <QByteArrayView>

// The program's access to files and folders. Folders are opened relative to an open parent
// wherever they can be, so that no path needs to fit PATH_MAX and a name met in a listing is the
// entry acted on; entries are looked at without following links or triggering automounts.
// Descriptors are plain ints, held by a UniqueFd where they must not leak. A call that fails
// returns false or -1 with errno set, as the C library does, so that callers keep the system's
// own reason.
namespace FileSystem {

// What a folder is opened for: to read its entries, or only to hold it as a place that calls
// relative to it start from (it cannot be listed then).
enum class FolderAccess { List, Hold };

// What a file is opened for. Write appends to a file that exists and never makes one; Replace
// makes the file, readable by all (0644), or empties the one there.
enum class FileAccess { Read, Write, Replace };

// How a path's last name is taken when it is a symbolic link.
enum class FollowLink { No, Yes };

// Descriptors every process starts with.
constexpr int StandardInput = 0;
constexpr int StandardOutput = 1;

// A folder named by a path, following a link at its end: a user who names a link as the root
// means the folder it leads to. -1 with errno set on failure.
int OpenFolder(const QByteArray &path, FolderAccess access = FolderAccess::List);
// A subfolder of an open folder, to be listed; a link is never followed.
int OpenChild(int parentFd, QByteArrayView name);
// A folder below an open one, by a relative path of any length, to be listed; a link at its end
// is not followed.
int OpenBelow(int baseFd, QByteArrayView relativePath);
// The same from the working folder, or by an absolute path of any length.
int OpenBelowWorkingFolder(QByteArrayView path);
// A file by its path, a link at its end followed.
int OpenFile(const QByteArray &path, FileAccess access);
// A new file in an open folder, readable by its owner only (0600), opened for writing: EEXIST
// when the name is taken, by anything, a link included.
int CreateFileAt(int dirFd, const char *name);
// A second descriptor of the same open file or folder, closed on exec like every other here.
int Duplicate(int fd);
bool Close(int fd);

// Bytes read, 0 at the end, -1 with errno set; a read interrupted by a signal is tried again.
qint64 Read(int fd, char *into, qint64 capacity);
// Writes all of `data`, however many calls that takes. False with errno set; EIO when the
// system accepts nothing and gives no reason.
bool WriteAll(int fd, const char *data, qint64 size);

// The open file or folder itself.
bool StatusOf(int fd, FileStatus &status);
// The entry `name` (NUL-terminated) of an open folder, neither following a link nor triggering
// an automount.
bool StatusAt(int dirFd, const char *name, FileStatus &status);
bool StatusOfPath(const QByteArray &path, FileStatus &status, FollowLink follow);

// The file system holding the path, or the open file or folder.
bool VolumeStatusOf(const QByteArray &path, VolumeStatus &status);
bool VolumeStatusOf(int fd, VolumeStatus &status);

// The path a symbolic link holds, as it holds it; empty when it cannot be read.
QByteArray ReadLink(const QByteArray &path);
// The absolute path with every link, "." and ".." resolved; empty when it cannot be (errno set).
QByteArray ResolvedPath(const QByteArray &path);

// Whether the process may list the folder and reach what it holds, or change its entries (make,
// rename, remove them). The path's variants ask for the process's real user, as access() does;
// the open folder's for the user it acts as.
bool MayListFolder(const QByteArray &path);
bool MayChangeFolder(const QByteArray &path);
bool MayChangeFolder(int folderFd);

// A folder readable by its owner only (0700).
bool MakeFolder(const QByteArray &path);
bool MakeFolderAt(int dirFd, const char *name);

// Moves `fromName` of one open folder to `toName` of another, atomically: EEXIST when anything
// has that name there, never replacing it.
bool RenameNoReplace(int fromDirFd, const char *fromName, int toDirFd, const char *toName);
// A file, or a link (never what it leads to); a folder that took the name meanwhile is refused.
bool RemoveFileAt(int dirFd, const char *name);
// An empty folder; ENOTEMPTY or EEXIST when it holds anything.
bool RemoveFolderAt(int dirFd, const char *name);
bool RemoveFile(const QByteArray &path);

} // namespace FileSystem
