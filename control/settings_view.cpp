#include "control/settings_view.h"

#include "control/settings_service.h"
#include "core/setting_rules.h"
#include "core/settings.h"

#include <QJsonArray>

namespace {

QString kindOf(const SettingRule &rule)
{
    if (rule.choices)
        return QStringLiteral("choice");
    const SettingDef *def = findSetting(QString::fromLatin1(rule.key));
    if (!def)
        return QStringLiteral("whole");
    switch (def->type) {
    case SettingType::Boolean: return QStringLiteral("boolean");
    case SettingType::Integer: return QStringLiteral("whole");
    case SettingType::Double: return QStringLiteral("number");
    case SettingType::Text: break;
    }
    return QStringLiteral("text");
}

QJsonObject fieldOf(const SettingRule &rule, SettingsService &service)
{
    QJsonObject field{{QStringLiteral("key"), QString::fromLatin1(rule.key)},
                      {QStringLiteral("label"), QString::fromUtf8(rule.label)},
                      {QStringLiteral("unit"), QString::fromUtf8(rule.unit)},
                      {QStringLiteral("kind"), kindOf(rule)},
                      {QStringLiteral("restart"), rule.restart},
                      {QStringLiteral("secret"), rule.secret}};
    if (rule.min > -1e300)
        field.insert(QStringLiteral("min"), rule.min);
    if (rule.max < 1e300)
        field.insert(QStringLiteral("max"), rule.max);
    if (rule.choices)
        field.insert(QStringLiteral("choices"),
                     QJsonArray::fromStringList(QString::fromLatin1(rule.choices).split(QLatin1Char('|'))));
    const QString value = service.currentText(QString::fromLatin1(rule.key));
    // A secret's value never leaves the program.
    if (rule.secret)
        field.insert(QStringLiteral("set"), !value.isEmpty());
    else
        field.insert(QStringLiteral("value"), value);
    return field;
}

} // namespace

QJsonObject describeSettings(SettingsService &service)
{
    QJsonArray groups;
    for (const QString &name : settingGroups()) {
        QJsonArray fields;
        for (const SettingRule &rule : settingRules())
            if (name == QLatin1String(rule.group))
                fields.append(fieldOf(rule, service));
        groups.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("fields"), fields}});
    }
    return {{QStringLiteral("groups"), groups}};
}
