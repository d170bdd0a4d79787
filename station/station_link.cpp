#include "station/station_link.h"

#include "core/hand_box_api.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "core/wait.h"
#include "station/record_parser.h"

namespace {

// The search's notices close by themselves: an observatory computer that
// restarts unattended must go on to read its board, not sit on a message box
// while the cycles run on the built-in test record.
constexpr int kSearchNoticeMs = 15000;
constexpr int kCharGapMs = 20;
constexpr int kPollAnswerMs = 80; // the board needs longer to build a record

void setBox(HandBoxApi *hb, HandBoxField box, int state)
{
    if (hb)
        hb->setCheckState(box, state);
}
// The heater and the relay follow one start-up rule: allowed wins over on.
void applyStartSwitch(HandBoxApi *hb, int allowed, int on, HandBoxField allowBox, HandBoxField forceBox, int32_t &allow,
                      int32_t &allowSent, int32_t &force)
{
    if (allowed == 1) {
        allow = 1;
        allowSent = 0;
        setBox(hb, forceBox, 0);
        setBox(hb, allowBox, 1);
    } else if (on == 1) {
        setBox(hb, forceBox, 1);
        setBox(hb, allowBox, 0);
        force = 1;
        allowSent = 1;
        allow = 0;
    }
}

// The light and wind alarms: the board's flag (1 or 0) sets the box and the request.
void applyStartAlarm(HandBoxApi *hb, int allowed, HandBoxField box, int32_t &allow, int32_t &allowSent)
{
    if (allowed == 1) {
        allow = 1;
        allowSent = 0;
        setBox(hb, box, 1);
    } else if (allowed == 0) {
        setBox(hb, box, 0);
        allow = 0;
        allowSent = 1;
    }
}

} // namespace

StationLink::StationLink(StationPort &port, const StationContext &context) : m_port(port), m_ctx(context) {}

QString StationLink::comPortText() const
{
    return m_ctx.profile ? m_ctx.profile->value(kDriverId, kComPortKey) : QString();
}

bool StationLink::send(const Request &request)
{
    for (const QString &part : request) {
        if (m_port.transmit(part) != PortResult::Ok)
            return false;
        Wait(kCharGapMs);
    }
    return true;
}

bool StationLink::commandStep()
{
    // Each request is consumed before the connection check, so nothing stays
    // pending while no board is connected.
    for (int i = 0; i < kSwitchChecks; ++i) {
        for (const Request &r : takeSwitchRequest(m_ctx.weather, i)) {
            if (m_port.connected() && !send(r))
                return false;
        }
    }
    for (int i = 0; i < kSettingChecks; ++i) {
        for (const Request &r : takeSettingRequest(m_ctx.settings, m_sent, i)) {
            if (m_port.connected() && !send(r))
                return false;
        }
    }
    return true;
}

StationLink::PollResult StationLink::poll()
{
    // A late answer to an earlier poll must not run into this one.
    m_port.clearBuffers();
    if (m_port.transmit(QStringLiteral(":")) != PortResult::Ok)
        return PollResult::Failed;
    Wait(kCharGapMs);
    if (m_port.transmit(QStringLiteral("F")) != PortResult::Ok)
        return PollResult::Failed;
    Wait(kPollAnswerMs);
    QString answer;
    if (m_port.receiveUntil(QStringLiteral("#"), answer) != PortResult::Ok)
        return PollResult::Failed;
    Wait(kCharGapMs);
    if (!recordAccepted(answer))
        return PollResult::Rejected;
    m_ctx.weather.StationRecord = answer;
    return PollResult::Accepted;
}

StationLink::SearchOutcome StationLink::searchOnPort(const QString &portText)
{
    PortUse use(*this);
    int16_t number = 0;
    try {
        number = toInt16(realFromText(portText));
    } catch (const ConversionError &) {
        printNotice(QStringLiteral("COM Port \"%1\" is not a port number").arg(portText));
        return SearchOutcome::OpenFailed;
    }
    m_port.setPortNumber(number);
    m_port.setSpeed(9600);
    m_port.setReceiveTimeout(4);
    if (m_port.connectPort() != PortResult::Ok || m_port.clearBuffers() != PortResult::Ok) {
        printNotice(QStringLiteral("cannot open %1 for COM Port %2: %3")
                        .arg(m_port.deviceName(), portText, m_port.errorText()));
        return SearchOutcome::OpenFailed;
    }
    // The board answers "#" and the code 6 with "W".
    QString answer;
    if (m_port.transmit(QStringLiteral("#")) != PortResult::Ok
        || m_port.transmit(QString(QChar(6))) != PortResult::Ok
        || m_port.receive(1, answer) != PortResult::Ok) {
        printNotice(QStringLiteral("no answer from a sensor board on %1 (COM Port %2)")
                        .arg(m_port.deviceName(), portText));
        return SearchOutcome::OpenFailed;
    }
    if (answer != QLatin1String("W")) {
        printNotice(QStringLiteral("the device on %1 (COM Port %2) is not a sensor board")
                        .arg(m_port.deviceName(), portText));
        return SearchOutcome::NotFound;
    }
    Wait(kCharGapMs);
    m_port.transmit(QStringLiteral("p"));
    Wait(kCharGapMs);
    m_port.transmit(QStringLiteral("p"));
    Wait(kCharGapMs);

    // The first record; should none arrive, the test record in hand stands in.
    for (int attempt = 0; attempt < kMaxPolls; ++attempt) {
        const PollResult r = poll();
        if (r == PollResult::Accepted)
            break;
        if (r == PollResult::Failed) {
            Wait(kCharGapMs);
            if (recordAccepted(m_ctx.weather.StationRecord))
                break;
        }
    }
    applyStartFlags();
    return SearchOutcome::Found;
}

void StationLink::applyStartFlags()
{
    WeatherState &w = m_ctx.weather;
    StartFlags f;
    try {
        f = readStartFlags(w.StationRecord);
    } catch (const ConversionError &) {
        printNotice(QStringLiteral("the board's first record has unreadable flags; the switch boxes are left as they are"));
        return;
    }
    HandBoxApi *hb = &m_ctx.handBox;
    // Setting a box runs its handler as a click would, so the requests the
    // first cycle sees are the combined result.
    w.StartHeaterAllowed = f.heaterAllowed;
    w.StartHeaterOn = f.heaterOn;
    applyStartSwitch(hb, f.heaterAllowed, f.heaterOn, HandBoxField::AllowHeater, HandBoxField::ForceHeater, w.HeaterAllow, w.HeaterAllowSent,
                     w.HeaterForce);
    w.StartRelayAllowed = f.relayAllowed;
    w.StartRelayOn = f.relayOn;
    applyStartSwitch(hb, f.relayAllowed, f.relayOn, HandBoxField::AllowRelay, HandBoxField::ForceRelay, w.RelayAllow, w.RelayAllowSent,
                     w.RelayForce);
    w.StartLightAllowed = f.lightAllowed;
    applyStartAlarm(hb, f.lightAllowed, HandBoxField::AllowLight, w.LightAllow, w.LightAllowSent);
    w.StartWindAllowed = f.windAllowed;
    applyStartAlarm(hb, f.windAllowed, HandBoxField::AllowWind, w.WindAllow, w.WindAllowSent);
}

void StationLink::boardSearch()
{
    QString portText = comPortText();
    if (portText.isEmpty()) {
        portText = QStringLiteral("2");
        if (m_ctx.profile)
            m_ctx.profile->writeValue(kDriverId, kComPortKey, portText);
    }
    // "COM Port" read again for the closing message.
    auto comPortTextOr = [this](const QString &fallback) {
        const QString t = comPortText();
        return t.isEmpty() ? fallback : t;
    };
    m_ctx.weather.StationRecord = kTestRecord;
    showTimedMessage(QStringLiteral("Looking for Weather serial on Com Port = ") + portText, kSearchNoticeMs);
    // Ticks may come from here on; while the search holds the port they skip.
    m_ctx.handBox.setTimerEnabled(true);

    const SearchOutcome outcome = searchOnPort(portText);
    // The port is free again before any box waits for the user.
    switch (outcome) {
    case SearchOutcome::Found:
        m_ctx.handBox.setTimerEnabled(true);
        return;
    case SearchOutcome::NotFound:
        m_port.disconnectPort();
        showTimedMessage(QStringLiteral("Weather serial not found on Com Port = ") + comPortTextOr(portText), kSearchNoticeMs);
        return;
    case SearchOutcome::OpenFailed:
        m_port.disconnectPort();
        showTimedMessage(QStringLiteral("Could not open Weather serial on Com Port = ") + comPortTextOr(portText), kSearchNoticeMs);
        return;
    }
}
