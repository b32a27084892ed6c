#pragma once

#include "FixedPoint.h"

#include <QDateTime>
#include <QString>

// The texts the list and the status bar show for sizes, percentages and dates. Nothing here needs
// a window; the decimal separator and the date format come from the default QLocale, which is the
// user's unless a caller (a test) sets another.

using Rgb = quint32; // 0xRRGGBB

namespace PercentColour {
constexpr Rgb Green = 0x00C000;
constexpr Rgb LightOrange = 0xFFC080;
constexpr Rgb Red = 0xFF0000;
constexpr Rgb FirstRowFallback = 0x000000; // what "the previous row" is for the first row
} // namespace PercentColour

// value written into `groups` groups of three digit positions separated by single spaces: a
// position with no digit writes nothing, every space is written, and digits beyond the groups
// stand in front of the first one. DigitPattern(1234567, 4) is " 1 234 567"; 0 gives "   ".
QString DigitPattern(quint64 value, int groups);

// Bytes in the pattern "### ### ### ###".
QString SizeText(quint64 bytes);

// A whole number from a four-decimal amount: the whole part, plus one when the tenths digit is not
// zero (12.0488 gives 12, 12.1 gives 13). Exact over the whole range of the amount.
qint64 RoundUpTenths(FixedPoint amount);

// Every group of three digits set apart by a space, however long the number:
// "5 360 403 804 557". For new texts; the list keeps its pattern.
QString GroupedText(quint64 value);

// Whole kilobytes (1024 bytes, a fraction of a tenth or more counts as one) as "### ### ### ###".
QString KilobyteText(quint64 bytes);

// Whole megabytes (1048576 bytes, rounded the same way) as "### ###".
QString MegabyteText(quint64 bytes);

// size * 100 / reference; 0 when the reference is 0.
double Percentage(quint64 size, quint64 reference);

// A bar of "|" strokes (the percentage rounded half to even), a blank, the percentage to one
// decimal with the user's decimal separator, and "%".
QString PercentText(double percent);

// The colour of a percentage cell: green up to 33, light orange up to 66, red up to 100 (each band
// inclusive at its top); outside 0 to 100 the previous row's colour carries on.
Rgb PercentColourOf(double percent, Rgb previous);

// The colour to draw a percentage cell of colour band in, over a view whose background is base
// and whose ordinary text is text. A light base (darker text than background) gets the band
// colours exactly: users know them, and the help shows the same ones. A dark base keeps a band
// colour that reads on it, and mixes one that does not (below a contrast of 4.5, the usual floor
// for body text) just enough towards the text colour: red stays a red, only lighter, and the
// black that stands in for a first row's missing colour turns to a grey near the text's.
Rgb ReadablePercentColour(Rgb band, Rgb base, Rgb text);

// The contrast ratio of two colours, from 1 (alike) to 21 (black on white), as the usual
// accessibility guidelines measure it.
double ContrastRatio(Rgb a, Rgb b);

// The locale's short date format, its order and separators kept, with the year's four digits:
// most locales' short year has two, which makes 2000 and 2100 alike.
QString ShortDateFormat(const QLocale &locale);

// The locale's short date (four-digit year), a blank and its long time without a time zone; a time
// of exactly midnight shows the date alone.
QString DateText(const QDateTime &local);

// The user's decimal separator; a blank when the locale gives none.
QChar GetDecimalSeparator();
