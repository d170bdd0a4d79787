// The board's fixed-layout record: 106 characters ending in "#", values cut at
// fixed positions (counted from 1); the tags are never looked at.
#pragma once

#include <QString>

constexpr int kRecordLength = 106;

namespace RecordPos {
// value position, width
constexpr int Hum = 5, HumWidth = 4;
constexpr int Lgt = 14, LgtWidth = 4;
constexpr int Rain = 21, RainWidth = 4;
constexpr int Wind = 30, WindWidth = 4;
constexpr int Tp = 38, TpWidth = 6;
constexpr int Ttp = 49, TtpWidth = 6;
constexpr int Ta = 59, TaWidth = 6;
constexpr int Ah = 69, Hb = 74, Ar = 79, Rb = 84, Aw = 89, Al = 94;
} // namespace RecordPos

// "+19999" in TTP or TA: the board has no reading.
inline const QString kNoReading = QStringLiteral("+19999");
// HUM "0999": the board has no humidity reading.
inline const QString kNoHumidity = QStringLiteral("0999");

// The only check made before parsing: character 106 is "#".
bool recordAccepted(const QString &record);
// Characters pos..pos+width-1 (1-based); shorter when the record is.
QString recordField(const QString &record, int pos, int width);
// One TTP or TA sample in degrees C. The board's "no reading" marker, and a
// value no sign-and-five-digit field can hold (an exponent, say), are rejected:
// the previous mean stands in. Throws ConversionError for a non-number.
double temperatureSample(const QString &field, double previousMean);
// whole() of one field; throws ConversionError for a non-number.
int recordWhole(const QString &record, int pos, int width);
// real() of one field; throws ConversionError for a non-number.
double recordReal(const QString &record, int pos, int width);

// The flags the start-up search reads from the first accepted record.
struct StartFlags {
    int heaterAllowed = 0; // AH
    int heaterOn = 0;      // HB
    int relayAllowed = 0;  // AR
    int relayOn = 0;       // RB
    int lightAllowed = 0;  // AL
    int windAllowed = 0;   // AW
};
// Throws ConversionError when a flag is not a digit.
StartFlags readStartFlags(const QString &record);
