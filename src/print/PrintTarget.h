#pragma once

#include <QString>

#include <memory>

class QPrinter;
class QWidget;

// Where a printout goes: the default print queue when there is one, else a PDF file the user
// names. Null when the user cancels the choice.
std::unique_ptr<QPrinter> ChoosePrintTarget(QWidget *parent, const QString &suggestedName);
