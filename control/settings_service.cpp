#include "control/settings_service.h"

#include "core/profile_store.h"
#include "core/setting_rules.h"
#include "core/settings.h"

#include <QJsonArray>

namespace {

// "Mqtt/Host" -> section and name as the profile keeps them.
ProfileStore::Entry entryFor(const QString &key, const QString &value)
{
    const int slash = key.indexOf(QLatin1Char('/'));
    const QString sub = slash >= 0 ? key.left(slash) : QString();
    return {ProfileStore::sectionOf(kDriverId, sub), key.mid(slash + 1), value};
}

bool isPortDevice(const QString &key)
{
    if (!key.startsWith(QLatin1String("Ports/COM ")))
        return false;
    bool ok = false;
    const int n = key.mid(10).toInt(&ok);
    return ok && n >= 1 && n <= 16;
}

} // namespace

QJsonObject SettingsOutcome::toJson() const
{
    if (status == Status::Refused)
        return {{QStringLiteral("field"), field}, {QStringLiteral("message"), message}};
    if (status == Status::NotSaved)
        return {{QStringLiteral("message"), message}};
    return {{QStringLiteral("applied"), QJsonArray::fromStringList(applied)},
            {QStringLiteral("restartNeeded"), QJsonArray::fromStringList(restartNeeded)}};
}

SettingsService::SettingsService(SettingsServiceLinks links) : m_links(std::move(links)) {}

void SettingsService::onWatch(const std::function<void()> &step)
{
    if (m_links.onWatch)
        m_links.onWatch(step);
    else
        step();
}

bool SettingsService::knowsKey(const QString &key) const
{
    const QString canonical = canonicalKey(key);
    if (findSetting(canonical) || findRule(canonical) || isPortDevice(canonical))
        return true;
    const ProfileStore::Entry e = entryFor(canonical, QString());
    return m_links.profile && !e.name.startsWith(QLatin1Char('@'))
           && m_links.profile->contains(kDriverId, e.name, e.section.mid(kDriverId.size() + 1));
}

QString SettingsService::currentText(const QString &key)
{
    const QString canonical = canonicalKey(key);
    QString text;
    onWatch([&] { text = settingText(*m_links.settings, canonical); });
    if (!text.isEmpty())
        return text;
    // Kept by the profile only (or empty either way).
    const ProfileStore::Entry e = entryFor(canonical, QString());
    return m_links.profile ? m_links.profile->value(kDriverId, e.name, e.section.mid(kDriverId.size() + 1)) : text;
}

QString SettingsService::refusal(const SettingChanges &changes, QString &field) const
{
    for (const auto &[key, text] : changes) {
        field = canonicalKey(key);
        if (!knowsKey(field))
            return QStringLiteral("unknown setting \"%1\"").arg(key);
        QString problem = settingProblem(field, text);
        if (problem.isEmpty() && m_links.extraProblem)
            problem = m_links.extraProblem(field, text);
        if (!problem.isEmpty())
            return problem;
    }
    field.clear();
    return QString();
}

SettingsOutcome SettingsService::apply(const SettingChanges &changes, const QString &client)
{
    SettingsOutcome out;
    if (const QString why = refusal(changes, out.field); !why.isEmpty()) {
        out.status = SettingsOutcome::Status::Refused;
        out.message = why;
        return out;
    }
    QStringList changed;
    onWatch([&] {
        // The edited copy takes the batch; what the profile gets is its own text of each value.
        Settings edited = *m_links.settings;
        QStringList kept; // keys Settings holds
        QVector<ProfileStore::Entry> entries;
        for (const auto &[key, text] : changes) {
            const QString canonical = canonicalKey(key);
            const bool inSettings = settingFromText(edited, canonical, text);
            if (inSettings)
                kept << canonical;
            entries << entryFor(canonical, inSettings ? settingText(edited, canonical) : text);
            const SettingRule *rule = findRule(canonical);
            (inSettings && !(rule && rule->restart) ? out.applied : out.restartNeeded) << canonical;
            if (!inSettings && m_links.profile
                && m_links.profile->value(kDriverId, entries.last().name, entries.last().section.mid(kDriverId.size() + 1))
                       != entries.last().value)
                changed << canonical;
        }
        if (m_links.profile && !m_links.profile->writeValues(entries)) {
            out.status = SettingsOutcome::Status::NotSaved;
            out.message = QStringLiteral("not saved: %1").arg(m_links.profile->lastWriteError());
            return;
        }
        changed = copyChangedKeys(edited, *m_links.settings, kept) + changed;
    });
    if (out.status != SettingsOutcome::Status::Applied) {
        out.applied.clear();
        out.restartNeeded.clear();
        return out;
    }
    out.applied.removeDuplicates();
    out.restartNeeded.removeDuplicates();
    if (m_links.log)
        for (const QString &key : changed)
            m_links.log(QStringLiteral("setting %1 changed by %2").arg(key, client));
    const SettingsFollowers &f = m_links.followers;
    if (!changed.isEmpty() && f.settingsChanged)
        f.settingsChanged(changed);
    if (!changed.isEmpty() && f.refreshFocuser)
        onWatch(f.refreshFocuser);
    if (changesAveraging(changed) && f.restartWindows)
        onWatch(f.restartWindows);
    return out;
}
