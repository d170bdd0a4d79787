#include "station/station_link.h"

#include "core/hand_box_api.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "core/wait.h"
#include "watch/board_words.h"
#include "station/record_parser.h"

namespace {

// The search's notices close by themselves and hold nothing up: an
// observatory computer that restarts unattended must go on to read its board.
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

StationLink::StationLink(StationPort &port, const StationContext &context)
    : m_port(port)
    , m_ctx(context)
    , m_tracker([this] { return now(); },
                [this](const BoardStatus &status, bool stateChanged) { onBoardStatus(status, stateChanged); })
{
}

QDateTime StationLink::now() const
{
    return m_ctx.utcClock ? m_ctx.utcClock() : QDateTime::currentDateTimeUtc();
}

QString StationLink::comPortText() const
{
    return m_ctx.profile ? m_ctx.profile->value(kDriverId, kComPortKey) : QString();
}

bool StationLink::send(const Request &request)
{
    for (const QString &part : request) {
        if (m_port.transmit(part) != PortResult::Ok)
            return false;
        m_ctx.pauseFor(kCharGapMs);
    }
    return true;
}

bool StationLink::commandStep()
{
    // Each request is consumed before the connection check, so nothing stays
    // pending while no board is connected.
    for (int i = 0; i < kSwitchChecks; ++i) {
        for (const Request &r : takeSwitchRequest(m_ctx.weather, i)) {
            if (m_port.connected() && !send(r)) {
                portLost();
                return false;
            }
        }
    }
    for (int i = 0; i < kSettingChecks; ++i) {
        for (const Request &r : takeSettingRequest(m_ctx.settings, m_sent, i)) {
            if (m_port.connected() && !send(r)) {
                portLost();
                return false;
            }
        }
    }
    return true;
}

StationLink::PollResult StationLink::poll()
{
    // A late answer to an earlier poll must not run into this one.
    m_port.clearBuffers();
    if (m_port.transmit(QStringLiteral(":")) != PortResult::Ok) {
        portLost();
        return PollResult::Failed;
    }
    m_ctx.pauseFor(kCharGapMs);
    if (m_port.transmit(QStringLiteral("F")) != PortResult::Ok) {
        portLost();
        return PollResult::Failed;
    }
    m_ctx.pauseFor(kPollAnswerMs);
    QString answer;
    const PortResult received = m_port.receiveUntil(QStringLiteral("#"), answer);
    if (received == PortResult::PortError) {
        portLost();
        return PollResult::Failed;
    }
    if (received != PortResult::Ok)
        return PollResult::Failed;
    m_ctx.pauseFor(kCharGapMs);
    if (!recordAccepted(answer))
        return PollResult::Rejected;
    m_ctx.weather.StationRecord = answer;
    m_tracker.recordAccepted(m_port.deviceName());
    return PollResult::Accepted;
}

StationLink::SearchOutcome StationLink::searchOnPort(const QString &portText)
{
    PortUse use(*this);
    int16_t number = 0;
    try {
        number = toInt16(realFromText(portText));
    } catch (const ConversionError &) {
        m_probeReason = QStringLiteral("COM Port \"%1\" is not a port number").arg(portText);
        return SearchOutcome::OpenFailed;
    }
    m_port.setPortNumber(number);
    m_port.setSpeed(9600);
    m_port.setReceiveTimeout(4);
    const SearchOutcome outcome = openAndProbe();
    if (outcome != SearchOutcome::Found)
        return outcome;
    firstRecord();
    applyStartFlags();
    return outcome;
}

StationLink::SearchOutcome StationLink::openAndProbe()
{
    if (m_port.connectPort() != PortResult::Ok || m_port.clearBuffers() != PortResult::Ok) {
        m_probeReason = QStringLiteral("cannot open %1: %2").arg(m_port.deviceName(), m_port.errorText());
        return SearchOutcome::OpenFailed;
    }
    // The board answers "#" and the code 6 with "W".
    QString answer;
    if (m_port.transmit(QStringLiteral("#")) != PortResult::Ok
        || m_port.transmit(QString(QChar(6))) != PortResult::Ok
        || m_port.receive(1, answer) != PortResult::Ok) {
        m_probeReason = QStringLiteral("opened %1, but no board answered the probe").arg(m_port.deviceName());
        return SearchOutcome::NoAnswer;
    }
    if (answer != QLatin1String("W")) {
        const QChar c = answer.isEmpty() ? QChar() : answer.at(0);
        const QString shown = c.isPrint() ? QStringLiteral("\"%1\"").arg(c) : QStringLiteral("code %1").arg(c.unicode());
        m_probeReason = QStringLiteral("opened %1, but it answered the probe with %2, not a sensor board's \"W\"")
                            .arg(m_port.deviceName(), shown);
        return SearchOutcome::NotFound;
    }
    m_probeReason.clear();
    m_ctx.pauseFor(kCharGapMs);
    m_port.transmit(QStringLiteral("p"));
    m_ctx.pauseFor(kCharGapMs);
    m_port.transmit(QStringLiteral("p"));
    m_ctx.pauseFor(kCharGapMs);
    return SearchOutcome::Found;
}

void StationLink::firstRecord()
{
    // The first record; should none arrive, the record in hand stands in.
    for (int attempt = 0; attempt < kMaxPolls && m_port.connected(); ++attempt) {
        const PollResult r = poll();
        if (r == PollResult::Accepted)
            break;
        if (r == PollResult::Failed) {
            m_ctx.pauseFor(kCharGapMs);
            if (recordAccepted(m_ctx.weather.StationRecord))
                break;
        }
    }
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
    QString device;
    try {
        device = m_port.deviceForPort(toInt16(realFromText(portText)));
    } catch (const ConversionError &) {
    }
    m_tracker.enter(BoardState::Searching, device, QStringLiteral("start-up search"));
    // The notices go their own way: the search and the first reading do not wait for them.
    showTimedMessage(QStringLiteral("Looking for Weather serial on Com Port = ") + portText
                         + (device.isEmpty() ? QString() : QStringLiteral("\non ") + device),
                     kSearchNoticeMs);
    // Ticks may come from here on; while the search holds the port they skip.
    m_ctx.handBox.setTimerEnabled(true);

    const SearchOutcome outcome = searchOnPort(portText);
    switch (outcome) {
    case SearchOutcome::Found:
        m_ctx.handBox.setTimerEnabled(true);
        return;
    case SearchOutcome::NotFound:
        m_port.disconnectPort();
        m_tracker.enter(BoardState::Absent, m_port.deviceName(), m_probeReason);
        showTimedMessage(QStringLiteral("Weather serial not found on Com Port = ") + comPortTextOr(portText)
                             + QLatin1Char('\n') + m_probeReason,
                         kSearchNoticeMs);
        return;
    case SearchOutcome::NoAnswer:
    case SearchOutcome::OpenFailed:
        m_port.disconnectPort();
        m_tracker.enter(BoardState::Absent, m_port.deviceName().isEmpty() ? device : m_port.deviceName(), m_probeReason);
        showTimedMessage(QStringLiteral("Could not open Weather serial on Com Port = ") + comPortTextOr(portText)
                             + QLatin1Char('\n') + m_probeReason,
                         kSearchNoticeMs);
        return;
    }
}

// ---- board state and reconnect ------------------------------------------------

namespace {
bool retriedState(BoardState s)
{
    return s == BoardState::Lost || s == BoardState::Silent || s == BoardState::Absent;
}
} // namespace

void StationLink::onBoardStatus(const BoardStatus &status, bool stateChanged)
{
    if (stateChanged) {
        const QString line = boardChangeLine(status);
        printNotice(line);
        if (TrafficApi *t = m_ctx.trafficFor(TrafficGroup::TempRelated))
            t->TrafficLine(line);
        if (!retriedState(status.state))
            m_backoff.stop();
        else if (!m_backoff.running())
            m_backoff.start(now());
    }
    if (m_ctx.boardChanged)
        m_ctx.boardChanged(status);
}

void StationLink::portLost()
{
    const QString device = m_port.deviceName();
    QString reason = m_port.errorText();
    if (reason.isEmpty())
        reason = QStringLiteral("the device failed (input/output error)");
    m_port.disconnectPort();
    m_tracker.enter(BoardState::Lost, device, reason);
}

void StationLink::superviseBoard()
{
    const BoardState state = m_tracker.state();
    if (m_port.connected() && (deliversReadings(state) || state == BoardState::Searching)) {
        const qint64 quiet = m_tracker.secondsWithoutRecord();
        if (quiet >= staleLimitSeconds(m_ctx.settings))
            m_tracker.enter(BoardState::Silent, m_port.deviceName(),
                            QStringLiteral("no record accepted for %1").arg(durationWords(quiet)));
    }
    if (m_retryNow || (retriedState(m_tracker.state()) && m_backoff.due(now()))) {
        m_retryNow = false;
        tryBoardAgain();
    }
}

void StationLink::tryBoardAgain()
{
    const BoardState before = m_tracker.state();
    m_port.disconnectPort();
    // The port number may have changed in the setup dialog; the device path is
    // looked up (and its links resolved) again when the port opens.
    try {
        m_port.setPortNumber(toInt16(realFromText(comPortText().isEmpty() ? QStringLiteral("2") : comPortText())));
    } catch (const ConversionError &) {
        m_backoff.failed(now());
        return;
    }
    const SearchOutcome outcome = openAndProbe();
    if (outcome != SearchOutcome::Found) {
        const QString device = m_port.deviceName();
        m_port.disconnectPort();
        // A board never found stays absent; the device gone is lost; the
        // device there without a board answering is silent.
        BoardState next = BoardState::Absent;
        if (before == BoardState::Lost || before == BoardState::Silent)
            next = outcome == SearchOutcome::OpenFailed ? BoardState::Lost : BoardState::Silent;
        if (retriedState(before))
            m_backoff.failed(now()); // before the change, which would start it afresh
        m_tracker.enter(next, device, m_probeReason);
        return;
    }
    const bool newBoard = before == BoardState::Absent || before == BoardState::Searching;
    firstRecord();
    if (newBoard)
        applyStartFlags(); // as the start-up search does for the board it finds
    resendEverything();
    if (!deliversReadings(m_tracker.state()))
        m_backoff.failed(now()); // it answered the probe but sent no record
}

void StationLink::resendEverything()
{
    m_sent = SentSettings{};
    WeatherState &w = m_ctx.weather;
    w.HeaterAllowSent = w.HeaterAllow == 1 ? 0 : 1;
    w.RelayAllowSent = w.RelayAllow == 1 ? 0 : 1;
    w.LightAllowSent = w.LightAllow == 1 ? 0 : 1;
    w.WindAllowSent = w.WindAllow == 1 ? 0 : 1;
}

void StationLink::deviceChoiceConfirmed()
{
    QString device;
    try {
        const QString text = comPortText();
        device = m_port.deviceForPort(toInt16(realFromText(text.isEmpty() ? QStringLiteral("2") : text)));
    } catch (const ConversionError &) {
        return;
    }
    const BoardStatus &b = m_tracker.status();
    if (device != b.device)
        m_tracker.enter(BoardState::Searching, device, QStringLiteral("device chosen in the setup dialog"));
    else if (deliversReadings(b.state))
        return;
    m_retryNow = true;
}
