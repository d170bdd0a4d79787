#include "station/record_parser.h"

#include "core/number_format.h"

#include <cmath>

bool recordAccepted(const QString &record)
{
    return record.size() >= kRecordLength && record.at(kRecordLength - 1) == QLatin1Char('#');
}

QString recordField(const QString &record, int pos, int width)
{
    return record.mid(pos - 1, width);
}

double temperatureSample(const QString &field, double previousMean)
{
    if (field == kNoReading)
        return previousMean;
    const double hundredths = realFromText(field);
    // Beyond what the field's five digits can say: a garbled reading, and one
    // such sample would carry the whole window's mean out of any range.
    if (!(std::fabs(hundredths) <= 99999))
        return previousMean;
    return hundredths / 100;
}

int recordWhole(const QString &record, int pos, int width)
{
    return wholeFromText(recordField(record, pos, width));
}

double recordReal(const QString &record, int pos, int width)
{
    return realFromText(recordField(record, pos, width));
}

StartFlags readStartFlags(const QString &record)
{
    StartFlags f;
    f.heaterAllowed = recordWhole(record, RecordPos::Ah, 1);
    f.heaterOn = recordWhole(record, RecordPos::Hb, 1);
    f.relayAllowed = recordWhole(record, RecordPos::Ar, 1);
    f.relayOn = recordWhole(record, RecordPos::Rb, 1);
    f.lightAllowed = recordWhole(record, RecordPos::Al, 1);
    f.windAllowed = recordWhole(record, RecordPos::Aw, 1);
    return f;
}
