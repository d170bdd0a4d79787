#include "app/password_command.h"

#include "app/config_command.h"
#include "auth/password_hash.h"
#include "auth/secrets.h"
#include "control/control_socket.h"
#include "control/settings_service.h"
#include "core/profile_lock.h"
#include "core/profile_store.h"
#include "core/settings.h"

#include <QFileInfo>
#include <QJsonObject>
#include <optional>

#include <termios.h>
#include <unistd.h>

namespace {
// Echo off for the lifetime of this object when in is a terminal.
class QuietTerminal {
public:
    explicit QuietTerminal(int fd) : m_fd(fd)
    {
        if (::tcgetattr(fd, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        m_quiet = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~QuietTerminal()
    {
        if (m_quiet)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }

private:
    int m_fd;
    termios m_saved{};
    bool m_quiet = false;
};

// One line without its end; nothing at the end of input.
std::optional<QByteArray> readLine(FILE *in)
{
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        if (line.size() <= kMaxPasswordBytes)
            line.append(char(c));
    }
    if (c == EOF && line.isEmpty())
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<QByteArray> promptedLine(FILE *in, const char *prompt)
{
    // Echo goes off before the prompt shows: what is typed after it is never shown.
    QuietTerminal quiet(::fileno(in));
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    return readLine(in);
}

// The new password, or nothing after saying why on err.
std::optional<QByteArray> readNewPassword(FILE *in, QTextStream &err)
{
    if (!::isatty(::fileno(in))) {
        std::optional<QByteArray> line = readLine(in);
        if (!line)
            err << "tarnwick: no password on standard input\n";
        return line;
    }
    err.flush();
    std::optional<QByteArray> first = promptedLine(in, "New password for the web page: ");
    std::optional<QByteArray> second = first ? promptedLine(in, "The same again: ") : std::nullopt;
    if (!first || !second) {
        err << "tarnwick: no password given\n";
        return std::nullopt;
    }
    const bool same = *first == *second;
    wipe(*second);
    if (!same) {
        wipe(*first);
        err << "tarnwick: the two passwords differ; nothing was changed\n";
        return std::nullopt;
    }
    return first;
}

bool namesPasswordHash(const QString &key)
{
    return key.compare(kPasswordHashKey, Qt::CaseInsensitive) == 0
           || key.compare(kWebSubKey + QLatin1Char('/') + kPasswordHashKey, Qt::CaseInsensitive) == 0;
}
} // namespace

namespace {
// The new hash (empty with --clear), or the exit status when there is none.
std::optional<QByteArray> newPasswordHash(bool clear, FILE *in, QTextStream &err, int &status)
{
    if (clear)
        return QByteArray();
    std::optional<QByteArray> password = readNewPassword(in, err);
    status = 2;
    if (!password)
        return std::nullopt;
    const QString problem = passwordProblem(*password);
    if (!problem.isEmpty()) {
        wipe(*password);
        err << "tarnwick: " << problem << "; nothing was changed\n";
        return std::nullopt;
    }
    const std::optional<QByteArray> made = hashPassword(*password);
    wipe(*password);
    if (!made) {
        err << "tarnwick: the password could not be hashed (not enough memory?); nothing was changed\n";
        status = 1;
    }
    return made;
}

void sayDone(bool clear, QTextStream &out)
{
    out << (clear ? "The web page's password is removed: settings can again be changed from this machine only.\n"
                  : "The web page's password is set (kept as an argon2id hash).\n");
}

// The running program takes the hash, saves it and uses it at once.
int setThroughRunningProgram(const QString &profilePath, qint64 holder, bool clear, FILE *in, QTextStream &out,
                             QTextStream &err)
{
    int status = 0;
    const std::optional<QByteArray> hash = newPasswordHash(clear, in, err, status);
    if (!hash)
        return status;
    QJsonObject answer;
    if (!askRunningProgram(profilePath, {{QStringLiteral("op"), QStringLiteral("password")},
                                         {QStringLiteral("hash"), QString::fromLatin1(*hash)}}, answer)) {
        err << "tarnwick: the profile " << QFileInfo(profilePath).absoluteFilePath() << " is in use by the running "
            << "program (process " << holder << "), which does not answer on its control socket. Close the program "
            << "and run this again.\n";
        return 3;
    }
    if (answer.value(QStringLiteral("status")).toInt(-1) != int(SettingsOutcome::Status::Applied)) {
        err << "tarnwick: " << answer.value(QStringLiteral("message")).toString() << "; nothing was changed\n";
        return 1;
    }
    sayDone(clear, out);
    return 0;
}
} // namespace

int runSetPassword(const QString &profilePath, bool clear, FILE *in, QTextStream &out, QTextStream &err)
{
    ProfileLock lock;
    if (lock.acquire(profilePath, 2000) == ProfileLock::Outcome::Busy)
        return setThroughRunningProgram(profilePath, lock.holderPid(), clear, in, out, err);
    ProfileStore profile(profilePath);
    if (!profile.loadError().isEmpty()) {
        err << "tarnwick: " << profile.loadError() << "; the file was left untouched\n";
        return 1;
    }
    prepareProfile(profile);
    int status = 0;
    const std::optional<QByteArray> hash = newPasswordHash(clear, in, err, status);
    if (!hash)
        return status;
    if (!profile.writeValue(kDriverId, kPasswordHashKey, QString::fromLatin1(*hash), kWebSubKey)) {
        err << "tarnwick: " << profile.lastWriteError() << '\n';
        return 1;
    }
    sayDone(clear, out);
    return 0;
}

int runConfigWithPassword(const QString &profilePath, const QStringList &args, QTextStream &out, QTextStream &err)
{
    const QString command = args.value(0);
    if (command == QLatin1String("set-password")) {
        const bool clear = args.size() == 2 && args[1] == QLatin1String("--clear");
        if (args.size() > 2 || (args.size() == 2 && !clear)) {
            err << "tarnwick: config set-password takes no value, only --clear (see tarnwick --help)\n";
            return 2;
        }
        return runSetPassword(profilePath, clear, stdin, out, err);
    }
    if ((command == QLatin1String("get") || command == QLatin1String("set")) && namesPasswordHash(args.value(1))) {
        err << "tarnwick: the password is kept by \"tarnwick config set-password\" (see tarnwick --help)\n";
        return 2;
    }
    if (command != QLatin1String("list"))
        return runConfigAt(profilePath, args, out, err);
    // The list shows that a hash is there, not the hash.
    QString listed;
    QTextStream buffer(&listed);
    const int status = runConfigAt(profilePath, args, buffer, err);
    buffer.flush();
    const QString hashLine = kWebSubKey + QLatin1Char('/') + kPasswordHashKey + QLatin1Char('=');
    for (const QString &line : listed.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        out << (line.startsWith(hashLine) && line.size() > hashLine.size() ? hashLine + QStringLiteral("(set)") : line)
            << '\n';
    return status;
}
