// "tarnwick history": archived observations or minute summaries between two
// times, as CSV or JSON on standard output. Opens the archive read-only, so it
// runs beside a watch that is writing it. Returns the process exit status.
#pragma once

#include <QDateTime>
#include <QStringList>
#include <QTextStream>

int runHistoryCommand(const QString &archivePath, const QStringList &args, const QDateTime &nowUtc, QTextStream &out,
                      QTextStream &err);
