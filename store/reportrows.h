#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QList>
#include <QString>

#include <functional>

class DataSource;
class QDate;

// The reads of the lists, the register and the statistics. Each walks the data source it is
// given, leaving its record source set as the windows always left it, and hands over the rows
// one at a time: a walk may go over every detail row of the archive. The result is the read
// the store refused, if any; the walk stops there.
namespace Reports {

// An activity with its detail rows, in the order of the volunteers' texts.
using ActivityVisitor = std::function<void(const Activity &, const QList<DetailRow> &)>;

// Every organisation by name.
Store::Result organisations(DataSource &organisations, const std::function<void(const Organisation &)> &visit);
// Every activity, newest first.
Store::Result activities(DataSource &activities, const std::function<void(const Activity &)> &visit);
// Every activity, newest first, with its detail rows (the text and the hours only).
Store::Result activitiesWithDetails(DataSource &activities, DataSource &details, const ActivityVisitor &visit);
// The detail rows by volunteer with the hours of one class (of R0 when none is given): the
// volunteer's text, the dates, the description and those hours.
Store::Result detailsOfClass(DataSource &details, const RiskClass *riskClass,
                             const std::function<void(const DetailRow &)> &visit);
// The volunteers' surnames, names and organisation codes, in the order of their texts.
Store::Result volunteerNames(DataSource &volunteers, const std::function<void(const Volunteer &)> &visit);
// Every volunteer, every field, in the order of their texts.
Store::Result volunteers(DataSource &volunteers, const std::function<void(const Volunteer &)> &visit);

// The activities from a start date (year first, AAAA/MM/GG) on, oldest first, with their
// detail rows (the text and the hours only).
Store::Result registerActivities(DataSource &activities, DataSource &details, const QString &fromSortKey,
                                 const ActivityVisitor &visit);

// The detail rows by volunteer with the text, the start date and the hours counted by risk class:
// with both bounds valid, a row whose start is a GG/MM/AAAA text of a year outside theirs is
// not read.
Store::Result detailHours(DataSource &details, const QDate &from, const QDate &to,
                          const std::function<void(const DetailRow &)> &visit);
// The same rows with the end date too, in no particular order, the source left on them.
Store::Result detailSpans(DataSource &details, const QDate &from, const QDate &to,
                          const std::function<void(const DetailRow &)> &visit);

} // namespace Reports
