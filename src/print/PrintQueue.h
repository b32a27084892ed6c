#pragma once

#include <QString>

class QPrinter;

// Hands a finished PDF file to a print queue of the local print system, as a job named title,
// with the copies, collation, sides, paper and page ranges of settings. The queue may be named
// "queue/instance", whose saved options then come first. False when the print server cannot be
// reached, has no such queue or the queue refused the job; error then says which.
bool SubmitPrintJob(const QString &queue, const QString &file, const QString &title,
                    const QPrinter &settings, QString *error);
