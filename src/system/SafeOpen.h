#pragma once

#include "FileSystem.h"
#include "NodeIdentity.h"

// Opening what a user chose without being led elsewhere: one name at a time, relative to a folder
// already open, never through a symbolic link and never onto another mount.
namespace SafeOpen {

// The folder `name` (one path component) inside the open folder `dirFd`. -1 with errno set: ELOOP
// or ENOTDIR when it is a link or no folder, EXDEV when a volume or a bind mount sits on it.
int Folder(int dirFd, const char *name, FileSystem::FolderAccess access);

// The identity of an open descriptor, or of the entry `name` of an open folder, links not
// followed. False with errno set.
bool IdentityOf(int fd, NodeIdentity &identity);
bool IdentityAt(int dirFd, const char *name, NodeIdentity &identity);

// For tests: whether Folder may use openat2 where the kernel has it; without it, Folder opens with
// openat and compares the mounts itself, as on kernels before 5.6.
void UseOpenat2(bool use);

} // namespace SafeOpen
