#include "control/settings_apply.h"

#include "core/settings.h"

QStringList copyChangedKeys(const Settings &edited, Settings &running, const QStringList &keys)
{
    QStringList changed;
    for (const QString &key : keys) {
        if (settingText(running, key) != settingText(edited, key))
            changed << key;
        copySetting(edited, running, key);
    }
    return changed;
}

bool changesAveraging(const QStringList &keys)
{
    for (const QString &key : keys) {
        const QString name = key.mid(key.indexOf(QLatin1Char('/')) + 1);
        if (name == QLatin1String("WindsAvgCnt") || name == QLatin1String("TempsAvgCount"))
            return true;
    }
    return false;
}
