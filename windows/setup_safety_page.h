// The setup dialog's Safety page: the safety monitor that observatory
// software asks "is it safe?", and the programs started as its verdict turns.
#pragma once

#include <QWidget>

class SettingWriter;
class SetupWidgets;
struct Settings;

class SetupSafetyPage : public QWidget {
    Q_OBJECT
public:
    explicit SetupSafetyPage(SetupWidgets &widgets);

    void fill(const Settings &s);
    // Read back as typed: a count that is no whole number keeps the value in use.
    void readBack(Settings &s, SettingWriter &write);

private:
    SetupWidgets &m_widgets;
};
