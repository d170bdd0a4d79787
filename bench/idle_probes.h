// Probes for idle_cost (see idle_probes.cpp).
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

void printExchangeTimes(const QString &device, const char *what);
void printLogLineCost(const QString &folder);
QByteArray httpGet(quint16 port, const QByteArray &path);
// `tarnwick --headless` with its files in `dir` and its HTTP endpoint on `port`;
// `program` names another build's binary, empty for this build's.
std::unique_ptr<QProcess> startHeadless(const QString &dir, quint16 port, const QStringList &more,
                                        const QString &program = {});
// Seconds from start until the simulator's first reading is served as fresh.
double firstLiveServedSeconds(quint16 port, const QString &program = {});
// Five starts of each program (this build's when none is given), taking turns,
// on ports from `firstPort` on: median and worst seconds to the first live value.
void printFirstLiveSideBySide(QStringList programs, quint16 firstPort);
// Processor time of the program for one 7-day chart request on a day of archive (-1: failed).
double weekChartRequestMs(quint16 port);
