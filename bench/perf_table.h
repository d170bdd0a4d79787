// perf_bench's figures: one row a figure, one column a program, each with
// its verdict; printed together at the end (and each row as it comes).
#pragma once

#include <QString>
#include <cstdio>
#include <functional>
#include <vector>

class PerfTable {
public:
    void add(const QString &what, const char *goal, const std::vector<double> &values, const char *format,
             const std::function<bool(double)> &met)
    {
        Row r{what, QString::fromLatin1(goal), {}};
        for (double v : values)
            r.cells.push_back(QString::asprintf(format, v) + (met ? (met(v) ? QStringLiteral(" met") : QStringLiteral(" MISSED")) : QString()));
        rows.push_back(r);
        print(r);
        std::fflush(stdout);
    }
    void print(qsizetype programs) const
    {
        std::printf("\n%-58s %-12s", "figure", "goal");
        for (qsizetype i = 0; i < programs; ++i)
            std::printf(" %-20s", qPrintable(QStringLiteral("program %1").arg(i + 1)));
        std::printf("\n");
        int missed = 0;
        for (const Row &r : rows) {
            print(r);
            for (const QString &c : r.cells)
                missed += c.endsWith(QLatin1String("MISSED")) ? 1 : 0;
        }
        std::printf("%d verdict(s) MISSED\n", missed);
    }

private:
    struct Row {
        QString what, goal;
        std::vector<QString> cells;
    };
    static void print(const Row &r)
    {
        std::printf("%-58s %-12s", qPrintable(r.what), qPrintable(r.goal));
        for (const QString &c : r.cells)
            std::printf(" %-20s", qPrintable(c));
        std::printf("\n");
    }
    std::vector<Row> rows;
};
