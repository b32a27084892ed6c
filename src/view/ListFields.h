#pragma once

#include <QString>
#include <QStringView>

// Small text helpers of the list sort.

// The n-th field (from 1) of a text split at separator (found without regard to letter case),
// with its surrounding blanks removed; "" for a field beyond the last, and for n below 1.
// GetField(u"L|R|L|L", u"|", 2) is "R".
QString GetField(QStringView text, QStringView separator, int n);

// Every digit d becomes 9 - d and every "-" a blank; other characters stay. Makes the text order
// of negative sort keys run from the largest magnitude down.
QString ComplementDigits(QStringView text);
