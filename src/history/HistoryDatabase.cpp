#include "HistoryDatabase.h"

#include <QStandardPaths>

struct HistoryDatabase::Private
{
};

QString HistoryDatabase::DefaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/history.sqlite");
}

HistoryDatabase::HistoryDatabase(QString file)
    : d(std::make_unique<Private>())
    , m_file(std::move(file))
{}

HistoryDatabase::~HistoryDatabase() = default;
