// The library sentaro-grafico: the one part of the program that links Qt Charts, loaded by
// MonthChartView when the health surveillance window first makes its chart.
#include "surveillance/monthchart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QStackedBarSeries>
#include <QValueAxis>

#include <algorithm>

using namespace Qt::StringLiterals;

extern "C" Q_DECL_EXPORT QWidget *sentaroMakeChartView(QWidget *parent)
{
    auto *view = new QChartView(new QChart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->chart()->legend()->setAlignment(Qt::AlignRight);
    return view;
}

extern "C" Q_DECL_EXPORT void sentaroShowChart(QWidget *view, const MonthChart *data)
{
    auto *chartView = qobject_cast<QChartView *>(view);
    if (!chartView)
        return;
    QChart *chart = chartView->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    chart->setTitle(data->title);
    if (data->months.isEmpty())
        return;
    auto *series = new QStackedBarSeries;
    QList<double> sums(data->months.size(), 0.0);
    for (qsizetype i = 0; i < data->classes.size(); ++i) {
        auto *set = new QBarSet(data->classes[i]);
        const QList<double> hours = data->hours.value(i);
        for (qsizetype month = 0; month < data->months.size(); ++month) {
            *set << hours.value(month);
            sums[month] += hours.value(month);
        }
        series->append(set);
    }
    chart->addSeries(series);
    auto *axisX = new QBarCategoryAxis;
    axisX->append(data->months);
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    const double highest = *std::max_element(sums.cbegin(), sums.cend());
    auto *axisY = new QValueAxis;
    axisY->setRange(0, highest > 0 ? highest : 1);
    axisY->setLabelFormat(u"%.0f"_s);
    axisY->applyNiceNumbers();
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
}
