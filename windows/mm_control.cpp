// Wave playback for the alerts, over QSoundEffect. Playing with the wait flag
// waits in the event loop (user input held back) until the sound has ended,
// bounded by the length the file's header gives.
#include "windows/mm_control.h"

#include "core/wait.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>

namespace {

uint32_t le32(const QByteArray &d, qsizetype at)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(d.constData() + at));
}
uint16_t le16(const QByteArray &d, qsizetype at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(d.constData() + at));
}

// Extra time allowed beyond the sound's own length before playback counts as stuck.
constexpr int kPlaySlackMs = 2000;
constexpr int kOpenTimeoutMs = 5000;

// Until done() holds or the time is up. Mouse and keys are held back until
// then; timers, sockets and the sound's own events go on.
void waitFor(int timeoutMs, const std::function<bool()> &done)
{
    waitUntil(done, timeoutMs, QEventLoop::ExcludeUserInputEvents);
}

} // namespace

std::optional<int> waveDurationMs(const QByteArray &d)
{
    if (d.size() < 12 || !d.startsWith("RIFF") || d.mid(8, 4) != "WAVE")
        return std::nullopt;
    qsizetype at = 12;
    uint32_t byteRate = 0;
    bool haveFormat = false;
    while (at + 8 <= d.size()) {
        const QByteArray id = d.mid(at, 4);
        const uint32_t size = le32(d, at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > d.size())
                return std::nullopt;
            const uint16_t format = le16(d, body);
            if (format != 1 && format != 3 && format != 0xFFFE)
                return std::nullopt;
            byteRate = le32(d, body + 8);
            haveFormat = byteRate > 0;
        } else if (id == "data") {
            if (!haveFormat)
                return std::nullopt;
            return int(qint64(size) * 1000 / byteRate);
        }
        at = body + qsizetype(size) + (size & 1); // chunks are padded to even length
    }
    return std::nullopt;
}

MMControl::MMControl(QObject *parent) : QObject(parent) {}

MMControl::~MMControl() = default;

bool MMControl::Command(const QString &command)
{
    if (command.compare(QLatin1String("Open"), Qt::CaseInsensitive) == 0)
        return Open();
    if (command.compare(QLatin1String("Play"), Qt::CaseInsensitive) == 0)
        return Play();
    if (command.compare(QLatin1String("Stop"), Qt::CaseInsensitive) == 0) {
        Stop();
        return true;
    }
    if (command.compare(QLatin1String("Close"), Qt::CaseInsensitive) == 0) {
        Close();
        return true;
    }
    return false;
}

bool MMControl::Open()
{
    Close();
    QFile file(FileName);
    if (FileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const std::optional<int> duration = waveDurationMs(file.read(64 * 1024));
    if (!duration)
        return false;
    if (QMediaDevices::defaultAudioOutput().isNull())
        return false;
    m_durationMs = *duration;
    m_effect = std::make_unique<QSoundEffect>();
    m_effect->setSource(QUrl::fromLocalFile(FileName));
    QSoundEffect &e = *m_effect;
    waitFor(kOpenTimeoutMs, [&] { return e.status() == QSoundEffect::Ready || e.status() == QSoundEffect::Error; });
    if (e.status() != QSoundEffect::Ready) {
        Close();
        return false;
    }
    return true;
}

bool MMControl::Play()
{
    if (!m_effect)
        return false;
    QSoundEffect &e = *m_effect;
    e.play();
    if (!Wait)
        return e.status() != QSoundEffect::Error;
    // Wait for playback to begin, then to end.
    bool started = false;
    waitFor(m_durationMs + kPlaySlackMs, [&] {
        if (e.isPlaying())
            started = true;
        return e.status() == QSoundEffect::Error || (started && !e.isPlaying());
    });
    return e.status() != QSoundEffect::Error;
}

void MMControl::Stop()
{
    if (m_effect)
        m_effect->stop();
}

void MMControl::Close()
{
    m_effect.reset();
    m_durationMs = 0;
}

bool MMControl::playWaveFile(const QString &path)
{
    FileName = path;
    if (!Command(QStringLiteral("Open")))
        return false;
    Wait = true;
    if (!Command(QStringLiteral("Play")))
        return false;
    Command(QStringLiteral("Stop"));
    Command(QStringLiteral("Close"));
    return true;
}
