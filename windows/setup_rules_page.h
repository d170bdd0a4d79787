// A setup page built from the settings' rule table: one row per setting of
// its groups (a check box for a True/False setting, a text box otherwise,
// with its unit), filled from the settings and read back through the table's
// own validation. The Site, Notifications and Sky correction pages.
#pragma once

#include <QMap>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class SettingWriter;
struct Settings;

class SetupRulesPage : public QWidget {
    Q_OBJECT
public:
    // groups: the rule table's group names this page shows, each in a frame of its own.
    SetupRulesPage(const QString &objectName, const QStringList &groups, QWidget *parent = nullptr);

    void fill(const Settings &s);
    // False (after saying why, naming the field) when a text is refused;
    // the values read before it are kept, as on the other pages.
    bool readBack(Settings &s, SettingWriter &write);

    // The box or check box of a setting ("Sky/K1"); null when the page has none.
    QLineEdit *box(const QString &key) const { return m_boxes.value(key); }
    QCheckBox *check(const QString &key) const { return m_checks.value(key); }

private:
    QMap<QString, QLineEdit *> m_boxes;
    QMap<QString, QCheckBox *> m_checks;
    QStringList m_keys; // in the table's order
};
