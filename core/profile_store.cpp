#include "core/profile_store.h"

#include <QDir>

#include <algorithm>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *kDescriptionKey = "@Description";

QString escape(const QString &v)
{
    QString out;
    out.reserve(v.size());
    for (QChar c : v) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

bool unescape(const QString &v, QString &out)
{
    out.clear();
    for (int i = 0; i < v.size(); ++i) {
        if (v[i] != QLatin1Char('\\')) {
            out += v[i];
            continue;
        }
        // A backslash the program did not write (a hand-edited value) stays as typed.
        if (i + 1 >= v.size()) {
            out += v[i];
            continue;
        }
        ++i;
        if (v[i] == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else if (v[i] == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (v[i] == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else {
            out += QLatin1Char('\\');
            out += v[i];
        }
    }
    return true;
}

bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

ProfileStore::ProfileStore(const QString &filePath)
    : m_path(filePath)
{
    QFile f(m_path);
    if (!f.exists())
        return;
    if (!f.open(QIODevice::ReadOnly)) {
        m_loadError = QStringLiteral("cannot read %1: %2").arg(m_path, f.errorString());
        return;
    }
    QString error;
    if (!parse(QString::fromUtf8(f.readAll()), m_entries, error)) {
        m_entries.clear();
        m_loadError = QStringLiteral("cannot parse %1: %2").arg(m_path, error);
    }
}

QString ProfileStore::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tarnwick/profile.ini");
}

QString ProfileStore::sectionOf(const QString &driverId, const QString &subKey)
{
    return subKey.isEmpty() ? driverId : driverId + QLatin1Char('/') + subKey;
}

void ProfileStore::registerDriver(const QString &driverId, const QString &description)
{
    QMutexLocker locked(&m_lock);
    set(driverId, QString::fromLatin1(kDescriptionKey), description);
    save();
}

bool ProfileStore::isRegistered(const QString &driverId) const
{
    QMutexLocker locked(&m_lock);
    for (const Entry &e : m_entries)
        if (e.section == driverId && e.name == QLatin1String(kDescriptionKey))
            return true;
    return false;
}

QString ProfileStore::value(const QString &driverId, const QString &name, const QString &subKey) const
{
    QMutexLocker locked(&m_lock);
    const QString section = sectionOf(driverId, subKey);
    for (const Entry &e : m_entries)
        if (e.section == section && e.name == name)
            return e.value;
    return QString();
}

bool ProfileStore::writeValue(const QString &driverId, const QString &name, const QString &value,
                              const QString &subKey)
{
    QMutexLocker locked(&m_lock);
    set(sectionOf(driverId, subKey), name, value);
    return save();
}

bool ProfileStore::contains(const QString &driverId, const QString &name, const QString &subKey) const
{
    QMutexLocker locked(&m_lock);
    const QString section = sectionOf(driverId, subKey);
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry &e) { return e.section == section && e.name == name; });
}

bool ProfileStore::writeValues(const QVector<Entry> &entries)
{
    QMutexLocker locked(&m_lock);
    for (const Entry &e : entries)
        set(e.section, e.name, e.value);
    return save();
}

void ProfileStore::set(const QString &section, const QString &name, const QString &value)
{
    // Keep entries grouped by section, in first-written order.
    int lastOfSection = -1;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].section != section)
            continue;
        if (m_entries[i].name == name) {
            if (m_entries[i].value != value)
                m_unsaved = true;
            m_entries[i].value = value;
            return;
        }
        lastOfSection = i;
    }
    m_unsaved = true;
    const Entry e{section, name, value};
    if (lastOfSection < 0)
        m_entries.append(e);
    else
        m_entries.insert(lastOfSection + 1, e);
}

QString ProfileStore::serialize(const QVector<Entry> &entries)
{
    QString out = QStringLiteral(
        "# Tarnwick settings profile. One [section] per driver ID (and subkey),\n"
        "# one name=value line per setting. Safe to edit while the program is stopped.\n");
    QString current;
    bool first = true;
    for (const Entry &e : entries) {
        if (first || e.section != current) {
            out += QStringLiteral("\n[%1]\n").arg(e.section);
            current = e.section;
            first = false;
        }
        out += e.name + QLatin1Char('=') + escape(e.value) + QLatin1Char('\n');
    }
    return out;
}

bool ProfileStore::parse(const QString &text, QVector<Entry> &out, QString &error)
{
    out.clear();
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')) || t.startsWith(QLatin1Char(';')))
            continue;
        if (t.startsWith(QLatin1Char('['))) {
            if (!t.endsWith(QLatin1Char(']')) || t.size() < 3) {
                error = QStringLiteral("line %1: bad section header").arg(i + 1);
                return false;
            }
            section = t.mid(1, t.size() - 2).trimmed();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || section.isEmpty()) {
            error = QStringLiteral("line %1: expected name=value inside a [section]").arg(i + 1);
            return false;
        }
        Entry e;
        e.section = section;
        e.name = line.left(eq).trimmed();
        if (!unescape(line.mid(eq + 1), e.value)) {
            error = QStringLiteral("line %1: bad escape in value").arg(i + 1);
            return false;
        }
        bool replaced = false;
        for (Entry &old : out)
            if (old.section == e.section && old.name == e.name) {
                old.value = e.value;
                replaced = true;
            }
        if (!replaced)
            out.append(e);
    }
    return true;
}

bool ProfileStore::save()
{
    if (readOnly()) {
        m_writeError = m_loadError;
        return false;
    }
    const QFileInfo info(m_path);
    const QString dir = info.absolutePath();
    QDir().mkpath(dir);
    if (!m_unsaved && QFileInfo::exists(m_path)) {
        m_writeError.clear();
        return true;
    }
    const QByteArray data = serialize(m_entries).toUtf8();
    // A name of its own for every write: two writers never share a temporary file.
    QByteArray tmp = QFile::encodeName(m_path + QStringLiteral(".XXXXXX"));
    const QByteArray target = QFile::encodeName(m_path);

    // mkstemp makes the file 0600: the profile holds the upload password. A
    // profile that exists keeps the mode its owner gave it.
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        m_writeError = QStringLiteral("cannot write %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Held while the copy is written: a copy nobody holds was left by a killed write.
    ::flock(fd, LOCK_EX);
    struct stat existing {};
    if (::stat(target.constData(), &existing) == 0)
        ::fchmod(fd, existing.st_mode & 07777);
    const bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok || ::rename(tmp.constData(), target.constData()) != 0) {
        const int err = ok ? errno : savedErrno;
        ::unlink(tmp.constData());
        m_writeError = QStringLiteral("cannot write %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    // Make the rename itself durable.
    const int dfd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    m_unsaved = false;
    m_writeError.clear();
    return true;
}

int ProfileStore::removeAbandonedCopies(const QString &profilePath)
{
    const QFileInfo profile(profilePath);
    const QString prefix = profile.fileName() + QLatin1Char('.');
    // mkstemp's six letters and digits after the profile's own name.
    const QRegularExpression copyName(QStringLiteral("^%1[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(prefix)));
    const QDir dir = profile.absoluteDir();
    int removed = 0;
    for (const QString &name : dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden)) {
        if (!copyName.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}
