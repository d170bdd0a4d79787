// frmShow, "ASCOM API Traffic": the scrolling log of client calls, compensation
// steps and averaging lines, with one check box per traffic group. At most one
// exists; while it does, the slot it was given (the program's traffic sink) points at it.
#pragma once

#include "core/traffic.h"
#include "windows/traffic_log.h"

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

class TrafficWindow : public QWidget, public TrafficApi {
    Q_OBJECT
public:
    static constexpr int kWidthTwips = 5415;
    static constexpr int kMinTextTwips = 400;

    explicit TrafficWindow(TrafficApi *&openSlot, QWidget *parent = nullptr);
    ~TrafficWindow() override;

    void TrafficLine(const QString &text) override;
    void TrafficStart(const QString &text) override;
    void TrafficEnd(const QString &text) override;
    void TrafficChar(const QString &text) override;
    bool groupEnabled(TrafficGroup group) const override;

    int16_t textOffset() const { return m_textOffset; }
    void setTextOffset(int16_t twips);

    const TrafficLog &log() const { return m_log; }
    QString shownText() const;
    QCheckBox *groupBox(TrafficGroup group) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshText();
    void clearText();
    void toggleDisabled();
    int windowHeightTwips() const;
    void fitTextBox();

    TrafficLog m_log;
    int16_t m_textOffset = 1425;
    TrafficApi *&m_openSlot;
    QPushButton *m_cmdDisable = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QCheckBox *m_chkMove = nullptr;
    QCheckBox *m_chkOther = nullptr;
    QCheckBox *m_chkTemp = nullptr;
    QCheckBox *m_chkMoving = nullptr;
    QPlainTextEdit *m_txtTraffic = nullptr;
};
