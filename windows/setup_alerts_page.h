// The setup dialog's Alerts page: the sound and program switches and the nine
// pickers, each a check box with the file it plays or starts. The switches
// and the pickers' flags take effect on the running settings as they are clicked.
#pragma once

#include "windows/setup_control.h"

#include <QWidget>
#include <functional>

class QGroupBox;
class SettingWriter;
class SetupWidgets;
struct PickerRequest;
struct Settings;

class SetupAlertsPage : public QWidget {
    Q_OBJECT
public:
    using FlagStep = std::function<void(const std::function<void(Settings &)> &)>;
    using FileChooser = std::function<QString(const PickerRequest &)>; // empty when cancelled

    // runOnFlags runs a step on the settings the flags act on; chooseFile asks for a picker's file.
    SetupAlertsPage(SetupWidgets &widgets, FlagStep runOnFlags, FileChooser chooseFile);

    // Each picker box is set to its own flag, so no file dialog opens.
    void fill(const Settings &s);
    // Read back in the stages the OK pass interleaves with the other pages'.
    void readSounds(Settings &s, SettingWriter &write);
    void readPrograms(Settings &s, SettingWriter &write);

private:
    QGroupBox *buildExternalFrame();
    void connectHandlers();
    void onPickerClicked(SetupControl control);
    void onEnableSoundsClicked();
    void enableSoundBoxes(bool on);

    SetupWidgets &m_widgets;
    FlagStep m_runOnFlags;
    FileChooser m_chooseFile;
};
