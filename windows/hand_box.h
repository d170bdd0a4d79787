// The hand box, the program's main window: it mirrors the watch model (the
// live station values, the switch boxes and the processing boxes), sends the
// user's clicks and typing back to it, and opens the other windows. It holds
// no rule of its own: a headless run has the model without this window.
#pragma once

#include "core/hand_box_field.h"
#include "watch/watch_status.h"
#include "station/watch_model.h"

#include <QHash>
#include <QMutex>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class StatusStrip;

// What the hand box's buttons and the graphs box reach. An empty action
// leaves its button disabled.
struct HandBoxActions {
    std::function<void()> runSetupDialog;
    std::function<void()> showTrafficWindow;
    std::function<void()> showUploadWindow;
    std::function<void(bool)> showGraphs;
};

class HandBox : public QWidget {
    Q_OBJECT
public:
    // Mirrors `model`, which may live on another thread: what it shows comes
    // as copies, what the user does goes to it as calls in its own thread.
    explicit HandBox(WatchModel &model, bool alwaysOnTop = false, QWidget *parent = nullptr);
    ~HandBox() override;

    void setActions(HandBoxActions actions);
    // Enables the buttons whose windows exist in this build.
    void updateHookButtons();
    // No display: nobody sees the values, so they are not laid out.
    void setNobodyLooks(bool nobody);

    // The watch as it stands: the status strip shows it, and the value boxes
    // are greyed while the board delivers no readings.
    void showWatch(const WatchStatus &status);
    StatusStrip *statusStrip() const { return m_strip; }
    bool valuesGreyed() const { return m_greyed; }
    // What the window shows of a field (a copy of the model's last word).
    const FieldLook &shownLook(HandBoxField field) const { return m_looks[size_t(field)]; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *addLabel(const QString &name, const QString &caption, const QString &tip, bool courier = false,
                     bool arial = false);
    QLineEdit *addTextBox(const QString &name, const QString &tip);
    QCheckBox *addCheckBox(const QString &name, const QString &caption, const QString &tip);
    QPushButton *addButton(const QString &name, const QString &caption, const QString &tip);
    void buildLayout();
    void addValueRows(QGridLayout *grid, int &row);
    void addSwitchRows(QGridLayout *grid, int &row);
    void connectControls();
    void connectModel();
    // Every field's control, from the name table; a field without one stops the program.
    void bindFields();
    QWidget *control(HandBoxField field) const { return m_fields[size_t(field)]; }
    bool seen() const;

    // The model's word on a field. From the watch's own thread the words of a
    // cycle come over in one batch: one wake-up of the window thread, not one each.
    void onFieldChanged(HandBoxField field, const FieldLook &look);
    void queueFieldChange(HandBoxField field, const FieldLook &look);
    void applyQueuedChanges();
    void onWindowRequested(WindowRequest request, int a, int b);
    // A field's text and colours go to its widget now when the window is
    // seen, else when it is shown again.
    void showFieldText(HandBoxField field, bool evenUnseen = false);
    void applyColors(HandBoxField field);
    void showCheck(HandBoxField field);
    void showStaleFields();
    void onUserText(HandBoxField field, const QString &text);
    void onUserCheck(HandBoxField field);
    void reportPlace();
    void setValuesGreyed(bool greyed);

    WatchModel &m_model;
    QMutex m_queueLock;
    std::vector<std::pair<HandBoxField, FieldLook>> m_queued; // guarded by m_queueLock
    HandBoxActions m_actions;
    QHash<QString, QWidget *> m_controls;
    std::array<QWidget *, kHandBoxFieldCount> m_fields{};
    std::array<FieldLook, kHandBoxFieldCount> m_looks{};
    std::array<bool, kHandBoxFieldCount> m_textStale{};
    std::array<bool, kHandBoxFieldCount> m_colorsStale{};
    // Boxes the user typed into: the model's answer shows there, seen or not.
    std::array<bool, kHandBoxFieldCount> m_userTyped{};
    bool m_pushing = false; // the window itself is setting a control
    StatusStrip *m_strip = nullptr;
    bool m_greyed = false;
};
