#include "PrintQueue.h"

#include <QFile>
#include <QPageLayout>
#include <QPageRanges>
#include <QPrinter>
#include <QScopeGuard>

#include <cups/cups.h>

using namespace Qt::StringLiterals;

namespace {

const char *Sides(const QPrinter &settings)
{
    switch (settings.duplex()) {
    case QPrinter::DuplexNone:
        return "one-sided";
    case QPrinter::DuplexLongSide:
        return "two-sided-long-edge";
    case QPrinter::DuplexShortSide:
        return "two-sided-short-edge";
    case QPrinter::DuplexAuto:
        break;
    }
    // Turned along the long side of the sheet as it is read.
    return settings.pageLayout().orientation() == QPageLayout::Portrait ? "two-sided-long-edge"
                                                                        : "two-sided-short-edge";
}

} // namespace

bool SubmitPrintJob(const QString &queue, const QString &file, const QString &title,
                    const QPrinter &settings, QString *error)
{
    const auto fail = [error](const QString &answer) {
        if (error)
            *error = answer;
        return false;
    };
    // A connection of our own: a server that cannot be reached is told apart from a queue it
    // does not have, and no connection stays open between printouts.
    http_t *http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                30000, nullptr);
    if (!http)
        return fail(u"print server %1 unreachable, %2"_s.arg(
            QString::fromUtf8(cupsServer()), QString::fromUtf8(cupsLastErrorString())));
    const auto disconnect = qScopeGuard([http] { httpClose(http); });
    const QByteArray name = queue.section(u'/', 0, 0).toUtf8();
    const QByteArray instance = queue.section(u'/', 1).toUtf8();
    cups_dest_t *dest = cupsGetNamedDest(http, name.constData(),
                                         instance.isEmpty() ? nullptr : instance.constData());
    if (!dest)
        return fail(QString::fromUtf8(cupsLastErrorString()));
    int count = 0;
    cups_option_t *options = nullptr;
    const auto add = [&](const char *option, const QByteArray &value) {
        count = cupsAddOption(option, value.constData(), count, &options);
    };
    for (int i = 0; i < dest->num_options; ++i)
        add(dest->options[i].name, dest->options[i].value);
    cupsFreeDests(1, dest);
    // The orientation is not among them: the PDF's pages already have it.
    add("media", settings.pageLayout().pageSize().key().toUtf8());
    add("sides", Sides(settings));
    if (settings.copyCount() > 1) {
        add("copies", QByteArray::number(settings.copyCount()));
        add("multiple-document-handling", settings.collateCopies()
                                              ? "separate-documents-collated-copies"
                                              : "separate-documents-uncollated-copies");
    }
    if (!settings.pageRanges().isEmpty())
        add("page-ranges", settings.pageRanges().toString().toUtf8());
    const int job = cupsPrintFile2(http, name.constData(), QFile::encodeName(file).constData(),
                                   title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    return job != 0 || fail(QString::fromUtf8(cupsLastErrorString()));
}
