#include "windows/setup_widgets.h"

#include "core/messages.h"
#include "windows/setup_fields.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>

namespace {

int toProgramState(Qt::CheckState s)
{
    return s == Qt::Checked ? Checked : s == Qt::PartiallyChecked ? Greyed : Unchecked;
}

Qt::CheckState toQtState(int s)
{
    return s == Checked ? Qt::Checked : s == Greyed ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace

QLineEdit *SetupWidgets::addBox(SetupControl control, QWidget *parent)
{
    auto *b = new QLineEdit(parent);
    b->setObjectName(setupControlName(control));
    // Wide enough for the longest value its format shows.
    const bool coefficient = b->objectName().startsWith(QLatin1String("Thermistor"));
    b->setMinimumWidth(m_owner->fontMetrics().horizontalAdvance(coefficient ? QStringLiteral("-0.000000000000")
                                                                            : QStringLiteral("-00000.000"))
                       + 12);
    m_controls[size_t(control)] = b;
    return b;
}

QCheckBox *SetupWidgets::addCheck(SetupControl control, const char *caption, QWidget *parent)
{
    auto *c = new QCheckBox(QString::fromLatin1(caption), parent);
    c->setObjectName(setupControlName(control));
    m_controls[size_t(control)] = c;
    return c;
}

QGroupBox *SetupWidgets::frame(const char *caption, QWidget *parent)
{
    auto *g = new QGroupBox(QString::fromLatin1(caption), parent);
    g->setObjectName(QStringLiteral("fme") + QString::fromLatin1(caption).remove(QLatin1Char(' ')));
    return g;
}

void SetupWidgets::addFormRows(QGroupBox *frame, std::initializer_list<Row> rows)
{
    auto *f = new QFormLayout(frame);
    for (const auto &[control, label] : rows)
        f->addRow(QString::fromLatin1(label), addBox(control, frame));
}

void SetupWidgets::setToolTips(std::initializer_list<Row> tips)
{
    for (const auto &[control, tip] : tips)
        widget(control)->setToolTip(QString::fromLatin1(tip));
}

QLineEdit *SetupWidgets::box(SetupControl control) const
{
    return static_cast<QLineEdit *>(widget(control));
}

QCheckBox *SetupWidgets::check(SetupControl control) const
{
    return static_cast<QCheckBox *>(widget(control));
}

int SetupWidgets::checkState(SetupControl control) const
{
    return toProgramState(check(control)->checkState());
}

void SetupWidgets::setCheckState(SetupControl control, int state)
{
    QCheckBox *c = check(control);
    if (state == Greyed)
        c->setTristate(true);
    c->setCheckState(toQtState(state));
}

bool SetupWidgets::isChecked(SetupControl control) const
{
    return checkState(control) == Checked;
}

void SetupWidgets::setChecked(SetupControl control, bool on)
{
    setCheckState(control, on ? Checked : Unchecked);
}

QString SetupWidgets::text(SetupControl control) const
{
    return box(control)->text();
}

void SetupWidgets::setText(SetupControl control, const QString &text)
{
    box(control)->setText(text);
}

double SetupWidgets::read(SetupControl control)
{
    const FieldRule &rule = fieldRule(control);
    QLineEdit *b = box(control);
    const FieldReading r = readField(rule, b->text());
    m_lastReadRejected = r.rejected;
    for (const QString &m : r.messages)
        showMessage(m);
    if (r.newText)
        b->setText(*r.newText);
    return r.value;
}

bool SetupWidgets::readAccepted(SetupControl control, double &value)
{
    value = read(control);
    // Only a refused text shows the dialog again; -9999 typed into a box that takes any number is kept.
    return !(value == RejectedValue && m_lastReadRejected);
}

void SetupWidgets::setValue(SetupControl control, double value)
{
    box(control)->setText(fieldText(fieldRule(control), value));
}
