// The shared record of the station cycle: last record, averaged and derived
// readings, window bookkeeping, processing enables and board requests.
#pragma once

#include <QString>
#include <cstdint>

// The board's own example record; used until a real record arrives.
inline const QString kTestRecord = QStringLiteral(
    "HUM=0676 LGT=0001 R=0321 WND=0000 TP=+00146 TTP=+04432 TA=+02631 AH=0 HB=0 AR=0 RB=0 AW=0 AL=0 Trg=+03691#");

struct WeatherState {
    // Record and raw readings
    QString StationRecord = kTestRecord;
    int32_t RainReading = 0;
    int32_t HeaterStatus = 0;
    int32_t RelayStatus = 0;

    // Averaged and derived readings
    double ThermopileTempAvgC = 0;
    double AmbientTempAvgC = 0;
    double RainAvg = 0;
    double DewPointC = 0;
    double WindSpeed = 0;
    double WindGust = -10;

    // Window bookkeeping
    int32_t TempSampleIndex = 1;
    int32_t WindSampleIndex = 1;
    int32_t GustCycleCount = 0;
    int32_t GustResetCycles = 300;
    int16_t WindAverageCount = 0;

    // Processing enables
    bool TempEnabled = true;
    bool WindEnabled = true;

    // Board requests (0 none, 1 force on, 2 switch off for the Force fields)
    int32_t HeaterForce = 0;
    int32_t HeaterAllow = 0;
    int32_t HeaterAllowSent = 0;
    int32_t RelayForce = 0;
    int32_t RelayAllow = 0;
    int32_t RelayAllowSent = 0;
    int32_t LightAllow = 0;
    int32_t LightAllowSent = 0;
    int32_t WindAllow = 0;
    int32_t WindAllowSent = 0;

    // Flags of the first record accepted at start-up
    int32_t StartHeaterAllowed = 0;
    int32_t StartHeaterOn = 0;
    int32_t StartRelayAllowed = 0;
    int32_t StartRelayOn = 0;
    int32_t StartLightAllowed = 0;
    int32_t StartWindAllowed = 0;
};
