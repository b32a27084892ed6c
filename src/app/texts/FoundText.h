#pragma once

#include <QString>

// How many files were found and what they add up to: "1 042 fichiers, 8 812 345 678", "1 fichier,
// 512". The bytes as the lists write sizes, the count grouped the same way; no bytes read "0".
QString FoundText(quint64 files, quint64 bytes);
