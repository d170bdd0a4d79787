// The Focuser members. Inside each: opening report, capability gate, link
// check, the work, closing report; an error skips what follows it.
#include "focuser/focuser.h"

#include "focuser/focuser_routines.h"
#include "core/hand_box_api.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "core/traffic.h"
#include "watch/watch_status.h"
#include "focuser/compensation.h"
#include "focuser/focuser_error.h"
#include "watch/board_words.h"
#include "station/weather_state.h"

namespace {
// Reports only while the window is open and the group's box is checked; the
// text is built only then. Asked again for every report.
template <typename TextFn>
void reportLine(const FocuserContext &ctx, TrafficGroup group, TextFn text)
{
    if (TrafficApi *w = ctx.trafficFor(group))
        w->TrafficLine(text());
}

template <typename TextFn>
void reportStart(const FocuserContext &ctx, TrafficGroup group, TextFn text)
{
    if (TrafficApi *w = ctx.trafficFor(group))
        w->TrafficStart(text());
}

template <typename TextFn>
void reportEnd(const FocuserContext &ctx, TrafficGroup group, TextFn text)
{
    if (TrafficApi *w = ctx.trafficFor(group))
        w->TrafficEnd(text());
}

[[noreturn]] void notImplemented(const QString &member)
{
    throw FocuserError(ErrNotImplemented, member + QStringLiteral(" is not implemented by this focus driver."));
}

QString number(double v)
{
    return generalText(v);
}

const QString kDone = QStringLiteral(" (done)");
} // namespace

Focuser::Focuser(FocuserContext &context, Lifetime lifetime) : m_ctx(context), m_lifetime(lifetime)
{
    if (m_lifetime == Lifetime::Counted)
        Class_Initialize();
}

Focuser::~Focuser()
{
    if (m_lifetime == Lifetime::Counted)
        Class_Terminate();
}

void Focuser::Class_Initialize()
{
    if (!m_ctx.startedByUser)
        ++m_ctx.ClientCount;
}

void Focuser::Class_Terminate()
{
    if (m_ctx.startedByUser)
        return;
    if (m_ctx.ClientCount > 1) {
        --m_ctx.ClientCount;
        return;
    }
    // The last client object: the count stays, the program closes. Without a
    // way to start it again (no socket activation), it stays and counts on.
    if (!m_ctx.shutDown) {
        m_ctx.ClientCount = 0;
        return;
    }
    m_ctx.shutDown();
}

void Focuser::CheckConnected()
{
    if (!m_ctx.Linked)
        throw FocuserError(ErrNotConnected, QStringLiteral("The focuser is not connected"));
}

bool Focuser::Absolute()
{
    const bool value = m_ctx.settings.Absolute;
    reportLine(m_ctx, TrafficGroup::OtherCalls, [&] { return QStringLiteral("Absolute: ") + boolText(value); });
    return value;
}

bool Focuser::IsMoving()
{
    if (TrafficApi *w = m_ctx.trafficFor(TrafficGroup::IsMoving))
        w->TrafficChar(QStringLiteral("IsMoving: ") + boolText(m_ctx.Moving));
    CheckConnected();
    return m_ctx.Moving;
}

bool Focuser::Link()
{
    const bool value = m_ctx.Linked;
    reportLine(m_ctx, TrafficGroup::OtherCalls, [&] { return QStringLiteral("Link: ") + boolText(value); });
    return value;
}

void Focuser::setLink(bool value)
{
    FocuserContext &p = m_ctx;
    reportStart(m_ctx, TrafficGroup::OtherCalls,
                [&] { return QStringLiteral("Link: ") + boolText(p.Linked) + QStringLiteral(" -> ") + boolText(value); });
    QString outcome = kDone;
    if (value) {
        p.Linked = true;
    } else if (m_ctx.startedByUser) {
        outcome = QStringLiteral(" (ignored, not auto launch)");
    } else if (p.ClientCount > 1) {
        outcome = QStringLiteral(" (ignored, not last user)");
    } else {
        p.Linked = false;
    }
    reportEnd(m_ctx, TrafficGroup::OtherCalls, [&] { return outcome; });
}

double Focuser::MaxIncrement()
{
    const double value = m_ctx.settings.MaxInc;
    reportLine(m_ctx, TrafficGroup::OtherCalls, [&] { return QStringLiteral("MaxIncrement: ") + number(value); });
    return value;
}

int32_t Focuser::WindSpeedCloseD()
{
    // Converted before any traffic, so an overflow leaves no report behind.
    int32_t value = 0;
    try {
        value = toInt32(m_ctx.settings.WindSpeedCloseD);
    } catch (const ConversionError &) {
        throw FocuserError(ErrOverflow, QStringLiteral("Overflow"));
    }
    reportLine(m_ctx, TrafficGroup::OtherCalls, [&] { return QStringLiteral("WindSpeedCloseD: ") + QString::number(value); });
    return value;
}

double Focuser::WindCurrent()
{
    reportStart(m_ctx, TrafficGroup::OtherCalls, [] { return QStringLiteral("WindCurrent: "); });
    if (!m_ctx.settings.Absolute)
        notImplemented(QStringLiteral("Property WindCurrent"));
    CheckConnected();
    const double value = m_ctx.settings.Position;
    reportEnd(m_ctx, TrafficGroup::OtherCalls, [&] { return number(value); });
    return value;
}

double Focuser::WindSpeedWarn()
{
    reportStart(m_ctx, TrafficGroup::OtherCalls, [] { return QStringLiteral("WindSpeedWarn: "); });
    if (!m_ctx.settings.CanStepSize)
        notImplemented(QStringLiteral("Property WindSpeedWarn"));
    const double value = m_ctx.settings.WindSpeedWarn;
    reportEnd(m_ctx, TrafficGroup::OtherCalls, [&] { return number(value); });
    return value;
}

bool Focuser::TempComp()
{
    reportStart(m_ctx, TrafficGroup::TempRelated, [] { return QStringLiteral("TempComp: "); });
    CheckConnected();
    const Settings &s = m_ctx.settings;
    const bool value = m_ctx.weather.TempEnabled && s.CanTempComp && s.CanTemp;
    reportEnd(m_ctx, TrafficGroup::TempRelated, [&] { return boolText(value); });
    return value;
}

void Focuser::setTempComp(bool value)
{
    FocuserContext &p = m_ctx;
    const Settings &s = m_ctx.settings;
    reportStart(m_ctx, TrafficGroup::TempRelated, [&] {
        return QStringLiteral("TempComp: ") + boolText(p.weather.TempEnabled) + QStringLiteral(" -> ") + boolText(value);
    });
    if (value && (!s.CanTempComp || !s.CanTemp))
        notImplemented(QStringLiteral("Property TempComp"));
    CheckConnected();
    if (value)
        p.LastComp = p.weather.WindSpeed; // compensation starts from the present value
    p.weather.TempEnabled = value;
    if (p.handBox)
        p.handBox->setTempComp(value ? 1 : 0);
    reportEnd(m_ctx, TrafficGroup::TempRelated, [] { return kDone; });
}

bool Focuser::TempCompAvailable()
{
    const bool value = m_ctx.settings.CanTempComp && m_ctx.settings.CanTemp;
    reportLine(m_ctx, TrafficGroup::TempRelated, [&] { return QStringLiteral("TempCompAvailable: ") + boolText(value); });
    return value;
}

double Focuser::Temperature()
{
    reportStart(m_ctx, TrafficGroup::TempRelated, [] { return QStringLiteral("Temperature: "); });
    if (!m_ctx.settings.CanTemp)
        notImplemented(QStringLiteral("Property Temperature"));
    CheckConnected();
    // The one freshness rule: a lost or silent board's last value is no reading of now.
    const QString stale = m_ctx.watch ? notLiveReason(m_ctx.watch->status(), m_ctx.now(), staleLimitSeconds(m_ctx.settings))
                                      : QStringLiteral("the board is not watched");
    if (!stale.isEmpty())
        throw FocuserError(ErrInvalidOperation, QStringLiteral("Temperature has no current reading: ") + stale);
    const double value = m_ctx.weather.WindSpeed;
    reportEnd(m_ctx, TrafficGroup::TempRelated, [&] { return number(value); });
    return value;
}

void Focuser::Halt()
{
    reportStart(m_ctx, TrafficGroup::MoveHalt, [] { return QStringLiteral("Halt"); });
    if (!m_ctx.settings.CanHalt)
        notImplemented(QStringLiteral("Halt"));
    CheckConnected();
    m_ctx.Moving = false;
    reportEnd(m_ctx, TrafficGroup::MoveHalt, [] { return kDone; });
}

void Focuser::SetupDialog()
{
    reportStart(m_ctx, TrafficGroup::OtherCalls, [] { return QStringLiteral("SetupDialog"); });
    if (m_ctx.runSetupDialog)
        m_ctx.runSetupDialog();
    reportEnd(m_ctx, TrafficGroup::OtherCalls, [] { return kDone; });
}

void Focuser::Move(int32_t /*target*/)
{
    // No motor: accepted and ignored, without traffic, checks or state change.
}

void Focuser::do_tempcomp()
{
    FocuserContext &p = m_ctx;
    const Settings &s = m_ctx.settings;
    reportLine(m_ctx, TrafficGroup::TempRelated, [&] { return compensationOpening(p.LastComp, p.weather.WindSpeed); });

    CompensationInput in;
    in.lastComp = p.LastComp;
    in.windSpeed = p.weather.WindSpeed;
    in.tempMax = s.TempMax;
    in.tempSteps = s.TempSteps;
    in.position = s.Position;
    in.canTempComp = s.CanTempComp;
    in.synchronous = s.Synchronous;
    in.backlashDir = s.BacklashDir;
    in.backlashComp = s.BacklashComp;
    const CompensationPlan plan = planCompensation(in);

    for (const CompensationAction &action : plan.actions) {
        if (action.kind == CompensationAction::Kind::Move)
            MoveFocuserTo(m_ctx, action.target);
        else
            reportLine(m_ctx, TrafficGroup::TempRelated, [&] { return action.text; });
    }
    if (plan.compensated)
        p.LastComp = in.windSpeed;
    if (p.handBox)
        p.handBox->setWindsAvg(in.windSpeed);
}
