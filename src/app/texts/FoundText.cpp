#include "FoundText.h"

#include "FormatText.h"
#include "Formatting.h"
#include "TextTable.h"

QString FoundText(quint64 files, quint64 bytes)
{
    // A size of 0 shows no digit in a list's column; in a sentence it must say 0.
    const QString size = bytes == 0 ? QStringLiteral("0") : SizeText(bytes).trimmed();
    return FormatText(Text(files < 2 ? TextId::FoundFile : TextId::FoundFiles), GroupedText(files),
                      size);
}
