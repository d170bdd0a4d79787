// Alert sounds through the setup dialog's real wave player.
#include "app/program.h"
#include "message_recorder.h"
#include "station/alert_engine.h"
#include "windows/mm_control.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// A mono 8 kHz 16-bit PCM wave file of the given length, silent.
QByteArray silentWave(int ms)
{
    const quint32 dataBytes = 8000 * 2 * ms / 1000;
    QByteArray d;
    auto u32 = [&](quint32 v) { d.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](quint16 v) { d.append(reinterpret_cast<const char *>(&v), 2); };
    d.append("RIFF");
    u32(36 + dataBytes);
    d.append("WAVEfmt ");
    u32(16);
    u16(1);        // PCM
    u16(1);        // mono
    u32(8000);     // sample rate
    u32(16000);    // byte rate
    u16(2);        // block align
    u16(16);       // bits
    d.append("data");
    u32(dataBytes);
    d.append(QByteArray(int(dataBytes), '\0'));
    return d;
}

class WavePlayerTest : public ::testing::Test {
protected:
    MMControl control;
    WaveFilePlayer player;
    QStringList results;
    QTemporaryDir dir;

    void SetUp() override
    {
        resetProgram();
        player.setPlay([this](const QString &path) {
            const bool played = control.playWaveFile(path);
            results << (path.section(QLatin1Char('/'), -1) + (played ? " played" : " failed"));
            return played;
        });
    }
    void TearDown() override { resetProgram(); }

    QString file(const QString &name, const QByteArray &content)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    }
};

} // namespace

TEST_F(WavePlayerTest, BadFilesFailSilentlyAndTheEvaluationGoesOn)
{
    MessageRecorder messages;
    struct Launches : ProgramLauncher {
        QStringList started;
        void start(const QString &c) override { started << c; }
    } launcher;
    AlertEngine engine(prog().settings, player, launcher);
    Settings &s = prog().settings;
    s.g_bchkEnableSounds = 1;
    s.g_bchkRepeatSounds = 1;
    s.g_bchkCloudSounds = 1;
    s.g_bchkCloudApp = 1;
    s.g_sCloudApp = QStringLiteral("after-sound");

    s.g_sCloudSounds = dir.filePath(QStringLiteral("missing.wav"));
    engine.evaluate(AlertKind::Cloud, true);
    s.g_sCloudSounds = file(QStringLiteral("text.wav"), "not a wave file at all");
    engine.evaluate(AlertKind::Cloud, true);

    EXPECT_EQ(results, QStringList({"missing.wav failed", "text.wav failed"}));
    EXPECT_EQ(launcher.started, QStringList({"after-sound"}));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(WavePlayerTest, ShortWaveFilePlaysToItsEnd)
{
    player.play(file(QStringLiteral("short.wav"), silentWave(150)));
    // Without a sound device the play fails quietly, as a bad file does; with one it plays to its end.
    const bool device = !QMediaDevices::defaultAudioOutput().isNull();
    EXPECT_EQ(results, QStringList({device ? "short.wav played" : "short.wav failed"}));
}
