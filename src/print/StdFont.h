#pragma once

#include <QString>

// A font description as the text items and the list hold it; copied by value.
// Every font that reaches paper has its name and size set first, so the defaults only need to
// be harmless.
struct StdFont
{
    QString Name = QStringLiteral("Arial");
    double Size = 10; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;

    friend bool operator==(const StdFont &, const StdFont &) = default;
};
