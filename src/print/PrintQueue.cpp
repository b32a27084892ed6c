#include "PrintQueue.h"

#include <QFile>
#include <QPageLayout>
#include <QPageRanges>
#include <QPrinter>

#include <cups/cups.h>

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
    const QByteArray name = queue.section(u'/', 0, 0).toUtf8();
    const QByteArray instance = queue.section(u'/', 1).toUtf8();
    int count = 0;
    cups_option_t *options = nullptr;
    const auto add = [&](const char *option, const QByteArray &value) {
        count = cupsAddOption(option, value.constData(), count, &options);
    };
    if (cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                                             instance.isEmpty() ? nullptr : instance.constData())) {
        for (int i = 0; i < dest->num_options; ++i)
            add(dest->options[i].name, dest->options[i].value);
        cupsFreeDests(1, dest);
    }
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
    const int job =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, name.constData(), QFile::encodeName(file).constData(),
                       title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job == 0 && error)
        *error = QString::fromUtf8(cupsLastErrorString());
    return job != 0;
}
