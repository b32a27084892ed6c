#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Writes path bytes so that every line of a report stays one line and every name can be told
// apart: valid UTF-8 as it is, "\" as "\\", and as \xHH (lower-case hex) every byte of a control
// character (C0, DEL, C1), of U+2028 and U+2029, and every byte that is not valid UTF-8.
QByteArray EscapePath(QByteArrayView path);
