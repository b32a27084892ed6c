#pragma once

#include <QString>

// A font description as the text items and the list hold it; copied by value.
// Every font that reaches paper has its name and size set first, so the defaults only need to
// be harmless.
struct PrintFont
{
    QString name = QStringLiteral("Arial");
    double size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;

    friend bool operator==(const PrintFont &, const PrintFont &) = default;
};
