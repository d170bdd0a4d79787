// The settings service: every change to a running program's settings that
// does not come from its setup dialog (the settings page, "tarnwick config
// set") goes through apply, one batch at a time where the watch runs, so two
// writers never lose each other's update. A batch is validated whole (nothing
// is saved on any bad value), written to the profile in one atomic write,
// applied as the setup dialog's OK applies it, and logged key by key without
// the value.
#pragma once

#include "control/settings_apply.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

class ProfileStore;
struct Settings;

using SettingChanges = QList<QPair<QString, QString>>; // key ("Mqtt/Host") and text

struct SettingsOutcome {
    enum class Status { Applied, Refused, NotSaved };
    Status status = Status::Applied;
    QString field;   // the refused key (Refused)
    QString message; // why (Refused, NotSaved)
    QStringList applied;       // saved and in effect now
    QStringList restartNeeded; // saved; in effect from the next start
    QJsonObject toJson() const;
};

struct SettingsServiceLinks {
    Settings *settings = nullptr;    // the running program's: read and changed only through onWatch
    ProfileStore *profile = nullptr; // written once per batch
    // Runs a step where the watch runs and returns when it is done (unset: at once).
    std::function<void(const std::function<void()> &)> onWatch;
    SettingsFollowers followers;
    // Further reasons a text cannot be used (the upload services' lines); empty: it can.
    std::function<QString(const QString &key, const QString &text)> extraProblem;
    // One line for the diagnostic log.
    std::function<void(const QString &line)> log;
};

class SettingsService {
public:
    explicit SettingsService(SettingsServiceLinks links);

    // client names the writer in the log ("config set (uid 1000)", "web 127.0.0.1").
    SettingsOutcome apply(const SettingChanges &changes, const QString &client);
    // Whether a key may be changed here: one with a rule, one the profile
    // keeps, or a port's device ("Ports/COM 3").
    bool knowsKey(const QString &key) const;
    // The value as the running program has it (the profile's for keys Settings does not keep).
    QString currentText(const QString &key);

private:
    void onWatch(const std::function<void()> &step);
    QString refusal(const SettingChanges &changes, QString &field) const;

    SettingsServiceLinks m_links;
};
