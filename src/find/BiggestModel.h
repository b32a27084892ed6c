#pragma once

#include "BiggestFiles.h"
#include "SearchModel.h"

// The biggest files of a volume: name, folder, both sizes and date as the list shows them.
class BiggestModel : public SearchModel
{
    Q_OBJECT

public:
    enum Column { Name, Folder, OnDisk, Size, Date, ColumnCount };

    explicit BiggestModel(QObject *parent = nullptr)
        : SearchModel({Field::Name, Field::Folder, Field::OnDisk, Field::Size, Field::Date}, parent)
    {}
};
