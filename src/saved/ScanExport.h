#pragma once

#include <QString>

#include <string>

class DriveScan;
class SavedOutput;

// Writes a complete scan in the JSON export format of ncdu, version 1.2, which ncdu and gdu read:
// the root folder as an array of its own object and its entries, files as objects, subfolders as
// nested arrays, each folder's files first and then its subfolders in listing order.
//
// Names are the file system's bytes. JSON text is Unicode, so bytes that are not part of valid
// UTF-8 are written as the escape \udcXX of the lone low surrogate U+DC00 + byte (a surrogate
// never comes out of valid UTF-8, so nothing else reads back the same): ScanImport turns each one
// back into its byte, and ncdu and gdu load such a file.
class ScanExport
{
public:
    explicit ScanExport(const DriveScan &scan);

    bool write(SavedOutput &out);
    QString error() const { return m_error; }

    // A name as a JSON string, quotes included, in the scheme above.
    static void AppendString(std::string &text, const char *bytes, size_t size);

private:
    const DriveScan &m_scan;
    QString m_error;
};
