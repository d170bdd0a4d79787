// The compensation step. The two backlash report prefixes differ on purpose:
// clients' log parsers know them as they are.
#include "focuser/compensation.h"

#include "core/number_format.h"
#include "focuser/focuser_error.h"

#include <cmath>
#include <limits>

namespace {
int32_t toLong(double value)
{
    try {
        return toInt32(value);
    } catch (const ConversionError &) {
        throw FocuserError(ErrOverflow, QStringLiteral("Overflow"));
    }
}

int32_t checkedSum(int64_t value)
{
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throw FocuserError(ErrOverflow, QStringLiteral("Overflow"));
    return int32_t(value);
}
} // namespace

QString compensationOpening(double lastComp, double windSpeed)
{
    return QStringLiteral("Temperture API do_tempcomp: ") + QStringLiteral(" lastcomp= ")
        + formatNumber(lastComp, "0.0") + QStringLiteral(" avg= ") + formatNumber(windSpeed, "0.0");
}

CompensationPlan planCompensation(const CompensationInput &in)
{
    CompensationPlan plan;
    if (!in.canTempComp)
        return plan;
    // A change equal to the threshold does not trigger.
    if (!(std::fabs(in.lastComp - in.windSpeed) > in.tempMax))
        return plan;
    if (in.windSpeed == kNoReading)
        return plan;
    if (in.tempMax == 0)
        throw FocuserError(ErrDivisionByZero, QStringLiteral("Division by zero"));

    const double inc = (in.windSpeed - in.lastComp) / in.tempMax * in.tempSteps;
    const int32_t target = toLong(in.position + inc);
    const int32_t incWhole = toLong(inc);
    const QString targetText = QString::number(target);
    const QString backlashText = QString::number(in.backlashComp);

    if (in.synchronous) {
        if (in.backlashDir && inc < 0) {
            const int32_t endPoint = checkedSum(int64_t(target) - in.backlashComp);
            plan.actions.push_back({CompensationAction::Kind::Report,
                                    QStringLiteral("Temperture Compensation backlash endpoint=") + targetText
                                        + QStringLiteral(" inc = ") + backlashText + QStringLiteral(" Backup up to = ")
                                        + QString::number(endPoint),
                                    0});
            plan.actions.push_back({CompensationAction::Kind::Move, QString(), endPoint});
        } else if (!in.backlashDir && inc >= 0) {
            const int32_t endPoint = checkedSum(int64_t(target) + in.backlashComp);
            plan.actions.push_back({CompensationAction::Kind::Report,
                                    QStringLiteral("Temperture Compensation backlash endpoint = ") + targetText
                                        + QStringLiteral(" inc = ") + backlashText + QStringLiteral(" Forward to = ")
                                        + QString::number(endPoint),
                                    0});
            plan.actions.push_back({CompensationAction::Kind::Move, QString(), endPoint});
        }
    }
    plan.actions.push_back({CompensationAction::Kind::Move, QString(), target});
    plan.actions.push_back({CompensationAction::Kind::Report,
                            QStringLiteral("Timer Temp Comp final move to ") + targetText + QStringLiteral(" inc = ")
                                + QString::number(incWhole),
                            0});
    plan.compensated = true;
    return plan;
}
