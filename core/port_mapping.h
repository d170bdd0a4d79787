// Serial port numbers ("COM Port" 1 to 16) mapped to this computer's device
// paths. The profile keeps the mapping under the subkey "Ports" ("COM 2" =
// "/dev/ttyUSB0"); a number without an entry maps to /dev/ttyS<n-1>.
#pragma once

#include <QString>

class ProfileStore;

inline const QString kPortsSubKey = QStringLiteral("Ports");

QString defaultDeviceForPort(int portNumber);
QString devicePathForPort(const ProfileStore &profile, int portNumber);
// An empty path removes the mapping (back to the default).
bool setDevicePathForPort(ProfileStore &profile, int portNumber, const QString &devicePath);
// What a device path names now: symbolic links such as /dev/serial/by-id/...
// followed, so a re-plugged adapter is found under its new name; the path
// itself when it names nothing.
QString resolvedDevicePath(const QString &path);
// The device the board search opens: the override (--serial-device) when given,
// else the profile's mapping, else the default.
QString deviceForBoard(const ProfileStore *profile, const QString &overridePath, int portNumber);
