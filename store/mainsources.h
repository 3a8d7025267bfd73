#pragma once

#include <QString>

class DataSource;
class QObject;

namespace MainSources {
// Makes the main window's data source of that name (Data20, Data8, Data7, Data5, Data6,
// Data4, Data3, Data2) on its file and the record source it starts with; null for another name.
DataSource *make(const QString &name, QObject *parent);
} // namespace MainSources
