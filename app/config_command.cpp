#include "app/config_command.h"

#include "core/number_format.h"
#include "core/profile_store.h"
#include "core/settings.h"

namespace {

struct KeyRef {
    QString subKey;
    QString name;
};

// "Capabilities/TempMax" or "TempMax": a known key finds its own subkey.
bool resolveKey(const QString &arg, KeyRef &ref, QString &error)
{
    const int slash = arg.indexOf(QLatin1Char('/'));
    ref.subKey = slash >= 0 ? arg.left(slash) : QString();
    ref.name = slash >= 0 ? arg.mid(slash + 1) : arg;
    if (ref.name.isEmpty()) {
        error = QStringLiteral("empty key name");
        return false;
    }
    if (const SettingDef *def = findSetting(ref.name)) {
        const QString own = subKeyOf(*def);
        if (slash < 0)
            ref.subKey = own;
        else if (ref.subKey != own) {
            error = own.isEmpty() ? QStringLiteral("%1 has no subkey").arg(ref.name)
                                  : QStringLiteral("%1 lives under %2/").arg(ref.name, own);
            return false;
        }
    }
    return true;
}

bool checkType(const QString &key, const QString &value, QString &error)
{
    const SettingDef *def = findSetting(key);
    if (!def)
        return true;
    try {
        switch (def->type) {
        case SettingType::Boolean: boolFromText(value); break;
        case SettingType::Integer: wholeFromText(value); break;
        case SettingType::Double: realFromText(value); break;
        case SettingType::Text: break;
        }
    } catch (const ConversionError &) {
        error = QStringLiteral("\"%1\" is not a valid value for %2").arg(value, key);
        return false;
    }
    return true;
}

} // namespace

void prepareProfile(ProfileStore &profile)
{
    profile.setDeviceType(QStringLiteral("Focuser"));
    profile.registerDriver(kDriverId, kDriverName);
    writeDefaultsIfNeeded(profile);
    if (profile.value(kDriverId, kComPortKey).isEmpty())
        profile.writeValue(kDriverId, kComPortKey, QStringLiteral("2"));
}

int runConfigCommand(ProfileStore &profile, const QStringList &args, QTextStream &out, QTextStream &err)
{
    auto usage = [&err](const QString &why) {
        err << "tarnwick: " << why << " (see tarnwick --help)\n";
        return 2;
    };
    if (!profile.loadError().isEmpty()) {
        err << "tarnwick: " << profile.loadError() << "; the file was left untouched\n";
        return 1;
    }
    prepareProfile(profile);
    const QString cmd = args.value(0);
    if (cmd == QLatin1String("list") && args.size() == 1) {
        for (const ProfileStore::Entry &e : profile.entries()) {
            if (e.name.startsWith(QLatin1Char('@')))
                continue;
            const int slash = e.section.indexOf(QLatin1Char('/'));
            const QString prefix = slash >= 0 ? e.section.mid(slash + 1) + QLatin1Char('/') : QString();
            out << prefix << e.name << '=' << e.value << '\n';
        }
        return 0;
    }
    KeyRef ref;
    QString error;
    if (cmd == QLatin1String("get") && args.size() == 2) {
        if (!resolveKey(args[1], ref, error))
            return usage(error);
        out << profile.value(kDriverId, ref.name, ref.subKey) << '\n';
        return 0;
    }
    if (cmd == QLatin1String("set") && args.size() == 3) {
        if (!resolveKey(args[1], ref, error) || !checkType(ref.name, args[2], error))
            return usage(error);
        if (!profile.writeValue(kDriverId, ref.name, args[2], ref.subKey)) {
            err << "tarnwick: " << profile.lastWriteError() << '\n';
            return 1;
        }
        return 0;
    }
    return usage(QStringLiteral("config needs list, get KEY or set KEY VALUE"));
}
