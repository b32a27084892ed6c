#pragma once

#include <QByteArrayList>

#include <optional>

class QWidget;

// The dialog that edits the patterns walks leave out by, one a line, with the rules in a line of
// text; walkShown adds that a new walk of the shown volume applies them. The patterns as edited,
// empty lines dropped, or nullopt when the dialog is cancelled.
std::optional<QByteArrayList> AskExclusions(QWidget *parent, const QByteArrayList &now,
                                            bool walkShown);
