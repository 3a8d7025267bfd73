#pragma once

#include "store/surveillance.h"
#include "ui/printer.h"

#include <QDate>
#include <QImage>
#include <QList>
#include <QStringList>

// A column heading as the table and the page show it: a long one on two lines, split at the first
// blank from its middle, rather than cut or shrunk out of sight.
QStringList headingLines(const QString &heading);

// The surveillance table laid out on landscape pages: the header picture, the period and the
// thresholds used on each, the rows under the column headings, and at the foot the date of
// printing and the page among all.
QList<PrintStep> surveillancePages(const QList<Surveillance::Row> &rows, const QDate &from, const QDate &to,
                                   const Surveillance::Thresholds &thresholds, const QDate &printedOn,
                                   const QImage &header);

// Prints it, and says where a PDF went or why nothing was printed.
void printSurveillance(const QList<Surveillance::Row> &rows, const QDate &from, const QDate &to,
                       const Surveillance::Thresholds &thresholds, const QImage &header);
