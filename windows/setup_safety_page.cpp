#include "windows/setup_safety_page.h"

#include "core/number_format.h"
#include "core/settings.h"
#include "windows/setup_read_back.h"
#include "windows/setup_widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

using C = SetupControl;

namespace {

// A whole number of at least `least`; anything else keeps the value in use.
int32_t wholeOrKept(const QString &text, int32_t least, int32_t kept)
{
    try {
        const int32_t v = wholeFromText(text.trimmed());
        return v >= least ? v : kept;
    } catch (const ConversionError &) {
        return kept;
    }
}

} // namespace

SetupSafetyPage::SetupSafetyPage(SetupWidgets &widgets) : m_widgets(widgets)
{
    setObjectName(QStringLiteral("safetyPage"));
    QGroupBox *safety = SetupWidgets::frame("Safety", this);
    auto *form = new QFormLayout(safety);
    form->addRow(QStringLiteral("Safe again after (min)"), m_widgets.addBox(C::SafeDelayMinutes, safety));
    form->addRow(QStringLiteral("Board stale after (s)"), m_widgets.addBox(C::StaleAfterSeconds, safety));
    form->addRow(m_widgets.addCheck(C::chkUnsafeWhenPartlyCloudy, "Unsafe when partly cloudy", safety));
    form->addRow(m_widgets.addCheck(C::chkUnsafeWhenOvercast, "Unsafe when overcast", safety));
    form->addRow(m_widgets.addCheck(C::chkUnsafeInDaylight, "Unsafe in daylight", safety));
    form->addRow(QStringLiteral("Unsafe program"), m_widgets.addBox(C::UnsafeProgram, safety));
    form->addRow(QStringLiteral("Safe program"), m_widgets.addBox(C::SafeProgram, safety));
    m_widgets.setToolTips({
        {C::SafeDelayMinutes, "Unsafe turns at once; safe only after the weather stayed safe this long"},
        {C::UnsafeProgram, "Command line started when the monitor turns unsafe, e.g. to close the roof"},
        {C::SafeProgram, "Command line started when the monitor turns safe again"},
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(safety);
    layout->addStretch();
}

void SetupSafetyPage::fill(const Settings &s)
{
    m_widgets.setText(C::SafeDelayMinutes, QString::number(s.SafeDelayMinutes));
    m_widgets.setText(C::StaleAfterSeconds, QString::number(s.StaleAfterSeconds));
    m_widgets.setChecked(C::chkUnsafeWhenPartlyCloudy, s.UnsafeWhenPartlyCloudy);
    m_widgets.setChecked(C::chkUnsafeWhenOvercast, s.UnsafeWhenOvercast);
    m_widgets.setChecked(C::chkUnsafeInDaylight, s.UnsafeInDaylight);
    m_widgets.setText(C::UnsafeProgram, s.UnsafeProgram);
    m_widgets.setText(C::SafeProgram, s.SafeProgram);
}

void SetupSafetyPage::readBack(Settings &s, SettingWriter &write)
{
    s.SafeDelayMinutes = wholeOrKept(m_widgets.text(C::SafeDelayMinutes), 0, s.SafeDelayMinutes);
    s.StaleAfterSeconds = wholeOrKept(m_widgets.text(C::StaleAfterSeconds), 1, s.StaleAfterSeconds);
    s.UnsafeWhenPartlyCloudy = m_widgets.isChecked(C::chkUnsafeWhenPartlyCloudy);
    s.UnsafeWhenOvercast = m_widgets.isChecked(C::chkUnsafeWhenOvercast);
    s.UnsafeInDaylight = m_widgets.isChecked(C::chkUnsafeInDaylight);
    s.UnsafeProgram = m_widgets.text(C::UnsafeProgram).trimmed();
    s.SafeProgram = m_widgets.text(C::SafeProgram).trimmed();
    for (const char *key : {"SafeDelayMinutes", "StaleAfterSeconds", "UnsafeWhenPartlyCloudy", "UnsafeWhenOvercast",
                            "UnsafeInDaylight", "UnsafeProgram", "SafeProgram"})
        write(key);
}
