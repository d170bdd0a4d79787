#include "app/config_command.h"

#include "control/control_socket.h"
#include "control/settings_service.h"
#include "core/profile_lock.h"
#include "core/profile_store.h"
#include "core/setting_rules.h"
#include "core/settings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <optional>
#include <algorithm>

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
    const SettingDef *def = slash >= 0 ? findSetting(arg) : nullptr;
    if (!def)
        def = findSetting(ref.name);
    if (def) {
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

const QString kPortsSubKey = QStringLiteral("Ports");

// "COM 1" .. "COM 16": the port numbers the setup dialog offers.
bool isPortMapping(const KeyRef &ref)
{
    if (ref.subKey != kPortsSubKey || !ref.name.startsWith(QLatin1String("COM ")))
        return false;
    bool ok = false;
    const int n = ref.name.mid(4).toInt(&ok);
    return ok && n >= 1 && n <= 16;
}

QString fullName(const QString &subKey, const QString &name)
{
    return subKey.isEmpty() ? name : subKey + QLatin1Char('/') + name;
}

// Every key a user may name: the settings, the port and its mapping, and
// whatever the profile already holds (the Alpaca device's own keys).
QStringList knownKeys(const ProfileStore &profile)
{
    QStringList keys{kComPortKey};
    for (const SettingDef &d : settingTable())
        keys << fullName(subKeyOf(d), QString::fromLatin1(d.key));
    for (const ProfileStore::Entry &e : profile.entries()) {
        if (e.name.startsWith(QLatin1Char('@')))
            continue;
        const int slash = e.section.indexOf(QLatin1Char('/'));
        keys << fullName(slash >= 0 ? e.section.mid(slash + 1) : QString(), e.name);
    }
    keys.removeDuplicates();
    return keys;
}

bool isKnown(const KeyRef &ref, const ProfileStore &profile)
{
    return findSetting(ref.name) || (ref.subKey.isEmpty() && ref.name == kComPortKey) || isPortMapping(ref)
           || knownKeys(profile).contains(fullName(ref.subKey, ref.name));
}

int editDistance(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            const int cost = a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[size_t(b.size())];
}

// Up to three known keys that look like the one typed, closest first.
QStringList closeMatches(const QString &typed, const ProfileStore &profile)
{
    QVector<QPair<int, QString>> scored;
    const QString t = typed.toLower();
    for (const QString &key : knownKeys(profile)) {
        const QString name = key.mid(key.indexOf(QLatin1Char('/')) + 1);
        const int d = std::min(editDistance(typed, key), editDistance(typed, name));
        const bool contains = t.size() >= 4 && (name.toLower().contains(t) || t.contains(name.toLower()));
        if (d <= std::max<qsizetype>(2, typed.size() / 4) || contains)
            scored.append({contains ? std::min(d, 1) : d, key});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList out;
    for (int i = 0; i < scored.size() && i < 3; ++i)
        out << scored[i].second;
    return out;
}

QString unknownKeyText(const QString &typed, const ProfileStore &profile)
{
    const QStringList near = closeMatches(typed, profile);
    QString text = QStringLiteral("unknown key \"%1\"").arg(typed);
    if (!near.isEmpty())
        text += QStringLiteral("; did you mean %1?").arg(near.join(QStringLiteral(", ")));
    else
        text += QStringLiteral("; \"tarnwick config list\" shows every key");
    return text;
}

} // namespace

void prepareProfile(ProfileStore &profile)
{
    profile.setDeviceType(QStringLiteral("Focuser"));
    profile.registerDriver(kDriverId, kDriverName);
    writeDefaultsIfNeeded(profile);
    writeMissingDefaults(profile);
    if (profile.value(kDriverId, kComPortKey).isEmpty())
        profile.writeValue(kDriverId, kComPortKey, QStringLiteral("2"));
}

int runConfigCommand(ProfileStore &profile, const QStringList &args, QTextStream &out, QTextStream &err, bool prepare)
{
    auto usage = [&err](const QString &why) {
        err << "tarnwick: " << why << " (see tarnwick --help)\n";
        return 2;
    };
    if (!profile.loadError().isEmpty()) {
        err << "tarnwick: " << profile.loadError() << "; the file was left untouched\n";
        return 1;
    }
    if (prepare)
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
        if (!isKnown(ref, profile))
            return usage(unknownKeyText(args[1], profile));
        out << profile.value(kDriverId, ref.name, ref.subKey) << '\n';
        return 0;
    }
    if (cmd == QLatin1String("set") && args.size() == 3) {
        if (!resolveKey(args[1], ref, error))
            return usage(error);
        if (!isKnown(ref, profile))
            return usage(unknownKeyText(args[1], profile));
        if (const QString problem = settingProblem(fullName(ref.subKey, ref.name), args[2]); !problem.isEmpty())
            return usage(problem);
        if (!profile.writeValue(kDriverId, ref.name, args[2], ref.subKey)) {
            err << "tarnwick: " << profile.lastWriteError() << '\n';
            return 1;
        }
        return 0;
    }
    return usage(QStringLiteral("config needs list, get KEY or set KEY VALUE"));
}

namespace {
// A running program holds the profile: the change goes through it, which
// checks, saves and applies it. Nothing when it does not answer.
std::optional<int> setThroughRunningProgram(const QString &profilePath, const QStringList &args, QTextStream &err)
{
    if (args.size() != 3) {
        err << "tarnwick: config needs list, get KEY or set KEY VALUE (see tarnwick --help)\n";
        return 2;
    }
    // The key as the file holds it: the same checks and suggestions as without a program.
    ProfileStore profile(profilePath);
    KeyRef ref;
    QString error;
    if (!resolveKey(args[1], ref, error) || !isKnown(ref, profile)) {
        err << "tarnwick: " << (error.isEmpty() ? unknownKeyText(args[1], profile) : error) << " (see tarnwick --help)\n";
        return 2;
    }
    const QJsonObject request{{QStringLiteral("op"), QStringLiteral("set")},
                              {QStringLiteral("values"), QJsonObject{{fullName(ref.subKey, ref.name), args[2]}}}};
    QJsonObject answer;
    if (!askRunningProgram(profilePath, request, answer))
        return std::nullopt;
    const int status = answer.value(QStringLiteral("status")).toInt(-1);
    if (status == int(SettingsOutcome::Status::Applied)) {
        if (!answer.value(QStringLiteral("restartNeeded")).toArray().isEmpty())
            err << "tarnwick: saved; the running program uses it from its next start\n";
        return 0;
    }
    err << "tarnwick: " << answer.value(QStringLiteral("message")).toString() << '\n';
    return status == int(SettingsOutcome::Status::Refused) ? 2 : 1;
}
} // namespace

int runConfigAt(const QString &profilePath, const QStringList &args, QTextStream &out, QTextStream &err)
{
    ProfileLock lock;
    // Another config write holds the lock for milliseconds; a running program for its whole run.
    const ProfileLock::Outcome held = lock.acquire(profilePath, 2000);
    if (held == ProfileLock::Outcome::Busy) {
        const QString who = lock.holderPid() > 0 ? QStringLiteral("process %1").arg(lock.holderPid())
                                                 : QStringLiteral("another process");
        if (args.value(0) == QLatin1String("set")) {
            if (const std::optional<int> sent = setThroughRunningProgram(profilePath, args, err))
                return *sent;
            err << "tarnwick: the profile " << QFileInfo(profilePath).absoluteFilePath() << " is in use by the running "
                << "program (" << who << "), which does not answer on its control socket. "
                << "Close the program and run this again.\n";
            return 3;
        }
        // Reading needs no lock: show the file as it stands, writing nothing.
        ProfileStore profile(profilePath);
        return runConfigCommand(profile, args, out, err, false);
    }
    // Read under the lock: the last writer's values are the ones changed.
    ProfileStore profile(profilePath);
    return runConfigCommand(profile, args, out, err);
}
