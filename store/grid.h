#pragma once

#include <QString>

// What the main grid can show: the record sources its data source is pointed at.
namespace GridSource {
// Every activity, the most recent start date first, one day's in description order.
QString activities();
QString organisations();
QString volunteers();
} // namespace GridSource
