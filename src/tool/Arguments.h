#pragma once

#include <QByteArray>
#include <QByteArrayList>

// What quarnel-scan was asked to do, from its command line.
struct Arguments
{
    QByteArray root;
    int threads = 0;
    bool summary = false;
    bool diskUsage = false;
    bool follow = false;
    QByteArray followWith; // "fanotify" or "inotify"; empty: the first that can
    bool duplicates = false;
    quint64 minimumSize = 1 << 20; // of the files compared for duplicates
    QByteArray exportTo;
    QByteArray importFrom;
    bool history = false;       // record the walk, or the saved scan, in the history
    bool historyExport = false; // print the history of root's volume, or of all, as CSV
    QByteArrayList exclude;     // patterns of what the walk leaves out, as ncdu takes them
};

// Reads the command line; prints the help and exits 0 on --help, names the fault on standard
// error and exits 2 on bad arguments.
Arguments ParseArguments(int argc, char **argv);
