#pragma once

#include <QChar>
#include <QStringView>

#include <optional>

// Reads a cell text as a number the way the size column writes one: blanks around it ignored, an
// optional sign, digits that may be grouped by blanks ("1 234 567"), and an optional decimal
// separator with decimals. A text without any digit is not a number, and neither is one too large
// for a double.
std::optional<double> ReadNumber(QStringView text, QChar decimalSeparator);

// The same with the user's decimal separator.
std::optional<double> ReadNumber(QStringView text);
