// The alert evaluator: for rain, cloud, light and wind it plays the chosen wave
// file and starts the chosen program when a condition begins to hold (or at every
// evaluation with the repeat options), sound first. Player and launcher are
// interfaces so tests can watch what would be played and started.
#pragma once

#include "station/alerts.h"

#include <QString>
#include <cstdint>
#include <functional>

struct Settings;

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the file to its end; every failure is silent.
    virtual void play(const QString &path) = 0;
};

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Starts the command line and returns at once; every failure is silent.
    virtual void start(const QString &commandLine) = 0;
};

// Plays a wave file and returns when it has ended; false when it could not be
// played. The window layer's player (the setup dialog's MMControl1) fills it.
using WaveFilePlay = std::function<bool(const QString &path)>;

// Plays through the given wave player; without one, plays nothing.
class WaveFilePlayer : public SoundPlayer {
public:
    void setPlay(WaveFilePlay play) { m_play = std::move(play); }
    void play(const QString &path) override;

private:
    WaveFilePlay m_play;
};

// Starts the path as a command line, detached, so the program runs on its own.
class DetachedLauncher : public ProgramLauncher {
public:
    void start(const QString &commandLine) override;
};

class AlertEngine {
public:
    AlertEngine(const Settings &settings, SoundPlayer &player, ProgramLauncher &launcher);

    // Reads the alert settings the engine was made with.
    void evaluate(AlertKind kind, bool conditionHolds);
    void evaluate(AlertKind kind, bool conditionHolds, const Settings &settings);

    int32_t soundCount(AlertKind kind) const { return m_counters[index(kind)].sound; }
    int32_t appCount(AlertKind kind) const { return m_counters[index(kind)].app; }

private:
    struct Counters {
        int32_t sound = 0;
        int32_t app = 0;
    };
    static int index(AlertKind kind) { return static_cast<int>(kind); }

    const Settings &m_settings;
    SoundPlayer &m_player;
    ProgramLauncher &m_launcher;
    Counters m_counters[4];
};
