#include "core/port_mapping.h"

#include "core/profile_store.h"
#include "core/settings.h"

#include <QFileInfo>

namespace {
QString keyFor(int portNumber)
{
    return QStringLiteral("COM %1").arg(portNumber);
}
} // namespace

QString defaultDeviceForPort(int portNumber)
{
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

QString devicePathForPort(const ProfileStore &profile, int portNumber)
{
    const QString mapped = profile.value(kDriverId, keyFor(portNumber), kPortsSubKey).trimmed();
    return mapped.isEmpty() ? defaultDeviceForPort(portNumber) : mapped;
}

bool setDevicePathForPort(ProfileStore &profile, int portNumber, const QString &devicePath)
{
    return profile.writeValue(kDriverId, keyFor(portNumber), devicePath.trimmed(), kPortsSubKey);
}

QString deviceForBoard(const ProfileStore *profile, const QString &overridePath, int portNumber)
{
    if (!overridePath.isEmpty())
        return overridePath;
    return profile ? devicePathForPort(*profile, portNumber) : defaultDeviceForPort(portNumber);
}

QString resolvedDevicePath(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? path : target;
}
