#include "station/alert_engine.h"

#include "core/settings.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace {

struct AlertSettings {
    int32_t soundOn;
    const QString &soundFile;
    int32_t appOn;
    const QString &program;
};

AlertSettings settingsFor(AlertKind kind, const Settings &s)
{
    switch (kind) {
    case AlertKind::Rain:
        return {s.g_bchkRainSounds, s.g_sRainSounds, s.g_bchkRainApp, s.g_sRainApp};
    case AlertKind::Cloud:
        return {s.g_bchkCloudSounds, s.g_sCloudSounds, s.g_bchkCloudApp, s.g_sCloudApp};
    case AlertKind::Light:
        return {s.g_bchkLightSounds, s.g_sLightSounds, s.g_bchkLightApp, s.g_sLightApp};
    case AlertKind::Wind:
        break;
    }
    return {s.g_bchkWindSounds, s.g_sWindSounds, s.g_bchkWindApp, s.g_sWindApp};
}

} // namespace

void WaveFilePlayer::play(const QString &path)
{
    if (path.isEmpty() || !m_play)
        return;
    try {
        m_play(path); // false (not played) is deliberately ignored
    } catch (...) {
    }
}

void DetachedLauncher::start(const QString &commandLine)
{
    // The setup dialog's file chooser gives an unquoted path, often with spaces:
    // when the whole text names a program, it is started as it stands.
    const QFileInfo whole(commandLine);
    if (whole.isFile() && whole.isExecutable()) {
        QProcess::startDetached(whole.absoluteFilePath(), {});
        return;
    }
    const QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return;
    // A missing or non-executable program just does not start.
    QProcess::startDetached(args.first(), args.mid(1));
}

AlertEngine::AlertEngine(const Settings &settings, SoundPlayer &player, ProgramLauncher &launcher)
    : m_settings(settings), m_player(player), m_launcher(launcher)
{
}

void AlertEngine::evaluate(AlertKind kind, bool conditionHolds)
{
    evaluate(kind, conditionHolds, m_settings);
}

void AlertEngine::evaluate(AlertKind kind, bool conditionHolds, const Settings &s)
{
    Counters &c = m_counters[index(kind)];
    if (!conditionHolds) {
        c = Counters{}; // re-armed for the next spell
        return;
    }
    // With the master switch off the counters stay as they are, so switching it
    // on during a spell still gives that spell its first alert.
    if (s.g_bchkEnableSounds != 1)
        return;
    // Copies: playing pumps events, and the setup dialog may change the settings meanwhile.
    const AlertSettings a = settingsFor(kind, s);
    const int32_t appOn = a.appOn;
    const QString program = a.program;
    const int32_t repeatApp = s.g_bchkRepeatApp;
    if (a.soundOn == 1) {
        ++c.sound;
        if (s.g_bchkRepeatSounds == 1 || c.sound == 1)
            m_player.play(QString(a.soundFile));
    }
    if (appOn == 1) {
        ++c.app;
        if (repeatApp == 1 || c.app == 1)
            m_launcher.start(program);
    }
}
