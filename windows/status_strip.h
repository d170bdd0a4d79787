// The strip at the bottom of the hand box: the board's state with its device,
// the age of the last reading with the sky in words, and the safety verdict
// when one is known. The state and the verdict wrap onto lines of their own; longer
// texts are shortened (the age line in its middle); the tooltip holds them whole.
#pragma once

#include "watch/watch_status.h"

#include <QFrame>
#include <functional>

class QLabel;

class StatusStrip : public QFrame {
    Q_OBJECT
public:
    explicit StatusStrip(QWidget *parent = nullptr);

    void showStatus(const WatchStatus &status);
    // The ages move on with the clock: called once a second.
    void refresh();
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // The words as of now, whether or not the strip shows them.
    QString boardText() const
    {
        updateTexts();
        return m_boardText;
    }
    QString detailText() const
    {
        updateTexts();
        return m_detailText;
    }
    QString safetyText() const
    {
        updateTexts();
        return m_safetyText;
    }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // A text as last shortened for a width.
    struct Elided {
        QString full;
        int width = -1;
        QString shown;
    };
    // Words for a strip nobody sees are made when they are asked for.
    void updateTexts() const;
    void makeTexts(const QDateTime &now) const;
    // Shortened to one line, or wrapped within `lines` lines.
    void setElided(QLabel *label, const QString &text, Elided &last, int lines = 1);
    static void setStyle(QLabel *label, const QString &css);
    static void setTip(QLabel *label, const QString &tip);

    QLabel *m_board = nullptr;
    QLabel *m_detail = nullptr;
    QLabel *m_safety = nullptr;
    WatchStatus m_status;
    std::function<QDateTime()> m_clock = &QDateTime::currentDateTimeUtc;
    mutable QString m_boardText, m_detailText, m_safetyText;
    mutable bool m_textsStale = true;
    Elided m_device, m_detailElided, m_safetyElided;
};
