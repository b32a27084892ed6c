#pragma once

#include <QByteArray>

#include <functional>

// The root path a saved scan's records get beside this machine's volumes: the machine's name and
// the saved root, "server:/srv/". Whatever the file says, the name is no path of this machine:
// the machine's name keeps no "/" and no control character, is never empty, and so the root
// never starts with "/". `fallback` stands for a machine the file does not name (the file's own
// name); a root `taken` already gets a number: "server (2):/srv/".
QByteArray SavedRootName(const QByteArray &machine, const QByteArray &fallback,
                         const QByteArray &root,
                         const std::function<bool(const QByteArray &)> &taken);

// What the drive is called, from the root SavedRootName gave for `root`: less its final slash,
// as a volume's mount point is written, unless that slash is the saved root itself ("server:/").
QByteArray SavedRootLabel(const QByteArray &named, const QByteArray &root);

// This machine's name as saved scans write it; empty when it cannot be read.
QByteArray ThisMachine();
