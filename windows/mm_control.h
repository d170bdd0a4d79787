// MMControl1, the setup dialog's wave player: a file name, a wait flag and the
// commands "Open", "Play", "Stop", "Close". With the wait flag set, "Play"
// returns when the sound has ended. Errors (no file, not a wave file, no sound
// device) make a command return false and nothing else.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QSoundEffect;

// Length of a RIFF/WAVE file's sound from its header, or empty when the data
// is not a wave file the player can take (PCM or IEEE float).
std::optional<int> waveDurationMs(const QByteArray &fileStart);

class MMControl : public QObject {
    Q_OBJECT
public:
    explicit MMControl(QObject *parent = nullptr);
    ~MMControl() override;

    QString FileName;
    bool Wait = false;

    // Runs one command by name; unknown commands fail.
    bool Command(const QString &command);
    bool Open();
    bool Play();
    void Stop();
    void Close();

    // The alert sequence: file name, "Open", wait flag, "Play", "Stop", "Close".
    // The first failing step abandons the rest.
    bool playWaveFile(const QString &path);

private:
    std::unique_ptr<QSoundEffect> m_effect;
    int m_durationMs = 0;
};
