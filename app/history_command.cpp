#include "app/history_command.h"

#include "archive/archive_query.h"
#include "archive/history_stream.h"
#include "archive/history_text.h"

#include <QFileDevice>

int runHistoryCommand(const QString &archivePath, const QStringList &args, const QDateTime &nowUtc, QTextStream &out,
                      QTextStream &err)
{
    auto usage = [&err](const QString &why) {
        err << "tarnwick: " << why << " (see tarnwick --help)\n";
        return 2;
    };
    QString since = QStringLiteral("1h"), until = QStringLiteral("now"), path = archivePath;
    bool minute = false, json = false, csv = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto next = [&](QString &into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        if (a == QLatin1String("--since")) {
            if (!next(since))
                return usage(QStringLiteral("--since needs a time"));
        } else if (a == QLatin1String("--until")) {
            if (!next(until))
                return usage(QStringLiteral("--until needs a time"));
        } else if (a == QLatin1String("--archive")) {
            if (!next(path))
                return usage(QStringLiteral("--archive needs a file name"));
        } else if (a == QLatin1String("--minute")) {
            minute = true;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--csv")) {
            csv = true;
        } else {
            return usage(QStringLiteral("history does not know \"%1\"").arg(a));
        }
    }
    if (json && csv)
        return usage(QStringLiteral("--csv and --json cannot be used together"));
    const std::optional<QDateTime> from = parseHistoryTime(since, nowUtc);
    const std::optional<QDateTime> to = parseHistoryTime(until, nowUtc);
    if (!from)
        return usage(QStringLiteral("--since \"%1\" is not 90s, 30m, 6h, 2d or an ISO time such as 2026-12-07T20:00").arg(since));
    if (!to)
        return usage(QStringLiteral("--until \"%1\" is not now, 90s, 30m, 6h, 2d or an ISO time such as 2026-12-07T20:00").arg(until));
    if (*to < *from)
        return usage(QStringLiteral("--until comes before --since"));

    ArchiveReader reader;
    QString error;
    if (!reader.open(path, error)) {
        err << "tarnwick: the archive cannot be read: " << error << "\n";
        return 1;
    }
    // Written as it is read: a year of rows is far more text than is worth holding.
    out.flush();
    QIODevice *device = out.device();
    const ByteSink sink = [&out, device](const char *data, qsizetype size) {
        if (device)
            device->write(data, size);
        else
            out << QString::fromUtf8(data, size);
    };
    const bool read = minute ? writeMinutesText(reader.database(), *from, *to, json, sink)
                             : writeObservationsText(reader.database(), *from, *to, json, sink);
    if (auto *file = qobject_cast<QFileDevice *>(device))
        file->flush();
    out.flush();
    if (!read) {
        err << "tarnwick: the archive cannot be read\n";
        return 1;
    }
    return 0;
}
