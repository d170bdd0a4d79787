// The setup dialog read back on OK into an edited copy of the settings, each
// accepted value written to the profile key by key, page by page in the
// order the dialog has always read them.
#pragma once

#include "core/settings.h"

#include <QString>
#include <QStringList>

class ProfileStore;
class frmSetup;

// Writes settings of the edited copy to the profile, remembers which were
// read back (they apply to the running program when the dialog closes) and
// any that did not reach the disk.
class SettingWriter {
public:
    // No profile: nothing is saved.
    SettingWriter(const Settings &edited, ProfileStore *profile) : m_edited(edited), m_profile(profile) {}
    void operator()(const char *key) { (*this)(QString::fromLatin1(key)); }
    void operator()(const QString &key)
    {
        m_read << key;
        if (m_profile && !saveSetting(*m_profile, m_edited, key))
            m_failed << key;
    }
    // Read back without a write of its own (written at exit).
    void readOnly(const char *key) { m_read << QLatin1String(key); }
    const QStringList &readKeys() const { return m_read; }
    const QStringList &failedKeys() const { return m_failed; }

private:
    const Settings &m_edited;
    ProfileStore *m_profile;
    QStringList m_read;
    QStringList m_failed;
};

// One OK pass. Returns false when a field was rejected and the dialog must be
// shown again; what was read before the rejection stays stored and written.
bool readBack(frmSetup &d, Settings &s, SettingWriter &write);
