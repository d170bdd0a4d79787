// The setup dialog's named text and check boxes, bound by SetupControl as the
// pages build them. The pages and the dialog reach every control through
// here, by its enum value; its object name is the control's name.
#pragma once

#include "windows/setup_control.h"

#include <QString>
#include <array>
#include <initializer_list>
#include <utility>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QWidget;

class SetupWidgets {
public:
    // The owner's font sizes the text boxes.
    explicit SetupWidgets(QWidget *owner) : m_owner(owner) {}
    SetupWidgets(const SetupWidgets &) = delete;
    SetupWidgets &operator=(const SetupWidgets &) = delete;

    // Makes and binds a control.
    QLineEdit *addBox(SetupControl control, QWidget *parent);
    QCheckBox *addCheck(SetupControl control, const char *caption, QWidget *parent);
    // A titled frame; its object name is "fme" and the caption without spaces.
    static QGroupBox *frame(const char *caption, QWidget *parent);
    using Row = std::pair<SetupControl, const char *>;
    // A frame holding one labelled text box per row.
    void addFormRows(QGroupBox *frame, std::initializer_list<Row> rows);
    // The controls' tooltips, as rows of control and text.
    void setToolTips(std::initializer_list<Row> tips);

    QWidget *owner() const { return m_owner; }
    QWidget *widget(SetupControl control) const { return m_controls[size_t(control)]; }
    QLineEdit *box(SetupControl control) const;
    QCheckBox *check(SetupControl control) const;

    // Check boxes: 0 clear, 1 checked, 2 greyed; a new state runs the box's click behaviour.
    int checkState(SetupControl control) const;
    void setCheckState(SetupControl control, int state);
    bool isChecked(SetupControl control) const;
    void setChecked(SetupControl control, bool on);
    QString text(SetupControl control) const;
    void setText(SetupControl control, const QString &text);

    // A validating box read by its rule: the messages of a rejection are shown
    // and a box that shows its default gets it.
    double read(SetupControl control);
    // Whether the last read refused its text (a typed -9999 is a value, not a refusal).
    bool lastReadRejected() const { return m_lastReadRejected; }
    // A read for the OK pass: false when the text was refused.
    bool readAccepted(SetupControl control, double &value);
    // A value shown in its box's format.
    void setValue(SetupControl control, double value);

private:
    QWidget *m_owner;
    std::array<QWidget *, kSetupControlCount> m_controls{};
    bool m_lastReadRejected = false;
};
