// The setup dialog's basic part, always shown: the wind limits, the focuser
// type and direction, the options, the serial port and the wind average.
#pragma once

#include "windows/setup_control.h"

#include <QObject>
#include <initializer_list>

class ProfileStore;
class QGroupBox;
class QHBoxLayout;
class QLayout;
class QRadioButton;
class QWidget;
class SettingWriter;
class SetupPortChoice;
class SetupWidgets;
struct Settings;

class SetupBasicPage : public QObject {
    Q_OBJECT
public:
    // The controls are made on host, the dialog.
    SetupBasicPage(SetupWidgets &widgets, ProfileStore *profile, QWidget *host);

    // The part's frames, left to right; the dialog adds its buttons after them.
    QHBoxLayout *row() const { return m_row; }
    SetupPortChoice &port() const { return *m_port; }

    bool isRelative() const;
    void setAbsolute(bool on);

    void fill(const Settings &s);

    // Read back in the stages the OK pass interleaves with the other pages';
    // a stage that can refuse a text returns false at the first refusal.
    bool readWindLimits(Settings &s, SettingWriter &write);
    void readFocuserType(Settings &s, SettingWriter &write);
    void readDirection(Settings &s, SettingWriter &write);
    void readAlwaysOnTop(Settings &s, SettingWriter &write);
    void readOptions(Settings &s, SettingWriter &write);
    bool readWindAverage(Settings &s, SettingWriter &write);

signals:
    // The focuser type or a box the enable rules depend on changed.
    void enablingChanged();

private:
    // A check box, the setting it holds and that setting's key.
    struct CheckSetting {
        SetupControl control;
        bool Settings::*member;
        const char *key;
    };
    void readChecks(std::initializer_list<CheckSetting> checks, Settings &s, SettingWriter &write) const;
    QGroupBox *buildWindFrame();
    QGroupBox *buildTypeFrame();
    QGroupBox *buildOptionsFrame();
    QLayout *buildPortSide(ProfileStore *profile);

    SetupWidgets &m_widgets;
    QWidget *m_host;
    SetupPortChoice *m_port = nullptr;
    QRadioButton *m_optAbsolute = nullptr;
    QRadioButton *m_optRelative = nullptr;
    QHBoxLayout *m_row = nullptr;
};
