#pragma once

#include <QString>
#include <QtGlobal>

// Why a saved scan could not be read, and where: the offset counts bytes of the text, after
// decompression.
struct ImportError
{
    enum Problem {
        None,
        Unreadable,     // the file cannot be opened or read
        Compression,    // the compressed stream is damaged
        TooLarge,       // it decompresses to far more than a scan of its size would
        Truncated,      // the text ends early
        Syntax,         // not the JSON expected here
        Version,        // a major version this reader does not know
        TooDeep,        // folders nested deeper than any volume's
        NameTooLong,    // a name longer than any file system allows
        NumberTooLarge, // past 2^64, or a negative size
        BadEscape,      // an escape that stands for no character
        DuplicateName,  // the same name twice in one folder
        TrailingData,   // more after the scan's end
    };

    Problem problem = None;
    qint64 offset = -1;
    QString detail;      // what was found, or the system's message, in English
    int systemError = 0; // the system's error number behind the detail, if one is

    // For a person: "byte 1234: a name longer than ... (detail)". English, as the tool speaks.
    QString describe() const;
};
