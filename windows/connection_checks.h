// What the setup dialog's connection fields must hold before OK may save
// them: widget-free, so the rules are tested on their own.
#pragma once

#include <QString>
#include <QStringList>

struct MqttFieldTexts {
    QString port;
    QString keepAliveSeconds;
    QString topicPrefix;
    QString discoveryPrefix;
};

// One sentence per field that cannot be used; empty when all can.
QStringList mqttFieldProblems(const MqttFieldTexts &texts);

// Whether text holds a whole number from least to most (stored in value when given).
bool wholeInRange(const QString &text, int least, int most, int *value = nullptr);
