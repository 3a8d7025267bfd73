#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// A volunteer's hours per month: one stacked bar a month, one part of it a risk class.
struct MonthChart {
    QString title;
    QStringList months;
    QStringList classes;
    // hours[class][month]
    QList<QList<double>> hours;
};

// The chart's view is made by a library of its own, moduli/sentaro-grafico, loaded when the first view is
// made: Qt Charts is large, and linked into the program it would be loaded at every start for a
// window seldom opened. Without that library a label in the chart's place says what is missing.
namespace MonthChartView {
QWidget *make(QWidget *parent);
// Shows `chart` in a view made above (the title alone when it has no month).
void show(QWidget *view, const MonthChart &chart);
} // namespace MonthChartView
