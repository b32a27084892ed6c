#pragma once

#include "DriveScan.h"

#include <QByteArray>
#include <QByteArrayList>

#include <map>

// What the walk's tests compare the records with: trees made from short specs, and an
// independent one-thread walk of them.

// "path=size" makes a file of that many bytes (a hole, mostly), "path/" a folder, each with the
// folders on its way below the working folder. Bytes, not text: names need not be UTF-8.
void Make(const QByteArray &spec);

struct Expected
{
    quint64 total = 0;
    quint64 allocated = 0;
    quint32 subfolders = 0;
    qint64 date = 0;
    QByteArrayList files{}; // "name | size | date" of each, in listing order
};
using Expectation = std::map<QByteArray, Expected>; // by path below the root: "", "a/b/"

QByteArray FileLine(QByteArrayView name, quint64 size, qint64 date);

// The oracle: a one-thread walk with readdir and lstat, in pre-order: a folder's own files, then
// its subfolders in listing order. The first link of a hard-linked file met this way is the one
// that counts. The trees it walks stay on one volume and can be read throughout.
Expectation Oracle(const QByteArray &root);

// The records (those not removed) are the oracle's, each found by its path and made after its
// parent's.
void Verify(const DriveScan &scan, const Expectation &expected);

// What the records say could not be read, with the root's total; which name of each hard-linked
// file counts; each folder's subfolders in walk order. In an order of its own, for two scans of
// one tree to be compared line by line.
QByteArrayList RecordLines(const DriveScan &scan);
