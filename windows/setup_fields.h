// The setup dialog's logic without widgets: how each text box is shown and
// validated, which controls are enabled, the picker rules, the position reset.
#pragma once

#include "windows/setup_control.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// A property that rejects its text returns this; the setup procedure shows the dialog again.
constexpr double RejectedValue = -9999;

enum class FieldKind { Double, Integer };
enum class FieldRange { Any, AtLeastZero, AboveZero, OneTo300 };

// One validating property of the dialog.
struct FieldRule {
    const char *property;      // "StepTime"
    SetupControl control;      // its text box, SetupControl::StepTimeTF
    FieldKind kind;
    const char *format;        // how a value is shown: "0", "0.000", ...
    FieldRange range;
    double onRejection;        // what the property returns for a rejected text
    bool showsDefaultOnRejection; // the box is set to onRejection's text
    const char *conversionMessage;
    const char *rangeMessage;  // nullptr when the range is not tested
};

// Every validating property, in the dialog's interface order.
const FieldRule &fieldRule(const QString &property);
// The rule of a validating text box (std::out_of_range for a box without one).
const FieldRule &fieldRule(SetupControl control);
bool hasFieldRule(const QString &property);

struct FieldReading {
    double value = 0;
    bool rejected = false;         // the text failed its conversion or range test
    QStringList messages;          // in the order they are shown
    std::optional<QString> newText; // the box's text after a rejection that shows the default ("22")
};

// Converts and range-tests a box's text. A conversion failure sets the
// rejection value and the range test then runs on it, so a range-tested
// field shows the conversion message and then the range message.
FieldReading readField(const FieldRule &rule, const QString &text);
// A value as its box shows it.
QString fieldText(const FieldRule &rule, double value);

// Check box states as the program counts them.
enum CheckState : int { Unchecked = 0, Checked = 1, Greyed = 2 };

// Which controls UpdateEnabledControls enables.
struct EnabledInputs {
    bool relative = false;   // optType "Relative" selected
    int canStepSize = 0;     // states of the four boxes
    int canTemp = 0;
    int canTempComp = 0;
    int synchronous = 0;
};
struct EnabledControls {
    bool windSpeedCloseD = true;
    bool windSpeedWarn = true;
    bool canTempComp = true;
    bool tempCur = true;
    bool tempMax = true;
    bool tempAvgCnt = true;
    bool backlashComp = true;
    bool tempSteps = true;
    bool centigrade = true;
    bool tpTempHysteresis = true;
    bool tpTempOffset = true;
    bool thermistors = true; // Thermistor_A/B/C
    bool synchronous = true;
    bool backlashDir = true;
};
EnabledControls enabledControls(const EnabledInputs &in);

// A picker check box clicked: the flag it leaves and whether a file must be chosen.
struct PickerStep {
    int32_t flag = 0;
    bool fileBoxEnabled = false;
    bool askForFile = false;
};
PickerStep pickerClick(int state, int32_t flag);

enum class PickerKind { Sound, Program };
struct PickerRequest {
    QString initialFolder;
    QStringList nameFilters;   // for QFileDialog, in the order of the filter text
    int selectedFilter = 0;    // index into nameFilters
    bool saveFile = false;     // a file to be written, which need not exist yet
};
// The two filter texts in the pipe-separated form the program keeps.
QString pickerFilterText(PickerKind kind);
PickerRequest pickerRequest(PickerKind kind);
// "desc|pattern|desc|pattern" to file-dialog filters "desc (pattern)"; a
// description that already names its pattern is kept as it stands.
QStringList nameFiltersFromPipeText(const QString &text);

// Caption of lblDriverInfo.
QString driverInfoText();
