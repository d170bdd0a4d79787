#include "core/profile_lock.h"
#include "core/profile_store.h"
#include "temp_profile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(ProfileStore, NeverWrittenValueIsEmptyAndWritesSurviveReopen)
{
    TempProfile p;
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "Position"), "");
    p.store->registerDriver("Tarnwick.Focuser", "Tarnwick");
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "Position", "500"));
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "TempMax", "5.0", "Capabilities"));
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "COM Port", "2"));
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "g_sRainApp", "a=b \\ c\nnext"));
    p.reopen();
    EXPECT_TRUE(p.store->isRegistered("Tarnwick.Focuser"));
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "Position"), "500");
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "TempMax", "Capabilities"), "5.0");
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "TempMax"), "");
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "COM Port"), "2");
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "g_sRainApp"), "a=b \\ c\nnext");
    EXPECT_EQ(QDir(p.dir.path()).entryList(QDir::Files), QStringList{"profile.ini"});
}

TEST(ProfileStore, ValuesComeBackExactlyAfterReopen)
{
    TempProfile p;
    const QStringList values{"C:\\new\\rain.wav", "\\\\server\\share\\", "ends with CR\r", "one\r\ntwo",
                             "\nstarts with LF", "  spaces both ends  ", "\t tab and space "};
    for (int i = 0; i < values.size(); ++i)
        ASSERT_TRUE(p.store->writeValue("Tarnwick.Focuser", QStringLiteral("v%1").arg(i), values[i]));
    p.reopen();
    ASSERT_FALSE(p.store->readOnly()) << p.store->loadError().toStdString();
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(p.store->value("Tarnwick.Focuser", QStringLiteral("v%1").arg(i)), values[i]) << i;
}

TEST(ProfileStore, FileIsHumanReadable)
{
    TempProfile p;
    p.store->writeValue("Tarnwick.Focuser", "Position", "500");
    p.store->writeValue("Tarnwick.Focuser", "TempMax", "5.0", "Capabilities");
    p.store->writeValue("Tarnwick.Focuser", "Absolute", "True");
    QFile f(p.path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("[Tarnwick.Focuser]\nPosition=500\nAbsolute=True\n"));
    EXPECT_TRUE(text.contains("[Tarnwick.Focuser/Capabilities]\nTempMax=5.0\n"));
}

TEST(ProfileStore, UnparseableFileIsReportedAndLeftUntouched)
{
    TempProfile p;
    const QByteArray garbage = "this is not a profile\n\x01\x02[[[\n";
    {
        QFile f(p.path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    p.reopen();
    EXPECT_TRUE(p.store->readOnly());
    EXPECT_TRUE(p.store->loadError().contains(p.path));
    EXPECT_FALSE(p.store->writeValue("Tarnwick.Focuser", "Position", "1"));
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "Position"), "1"); // kept in memory
    QFile f(p.path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), garbage);
}

TEST(ProfileStore, FailedWriteIsReportedAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/sub/profile.ini";
    ProfileStore store(path);
    ASSERT_TRUE(store.writeValue("Tarnwick.Focuser", "Position", "1"));
    // Its folder turned into a plain file makes every write fail, also for root.
    ASSERT_TRUE(QDir(dir.path()).rename("sub", "kept"));
    QFile blocker(dir.path() + "/sub");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_FALSE(store.writeValue("Tarnwick.Focuser", "Position", "2"));
    EXPECT_TRUE(store.lastWriteError().contains(path));
    EXPECT_EQ(ProfileStore(dir.path() + "/kept/profile.ini").value("Tarnwick.Focuser", "Position"), "1");
}

TEST(ProfileStore, KillDuringWritesLeavesCompleteFile)
{
    TempProfile p;
    // A child process writes as fast as it can; it is killed at a random moment.
    for (int round = 0; round < 5; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ProfileStore store(p.path);
            for (int i = 0;; ++i)
                store.writeValue("Tarnwick.Focuser", QStringLiteral("Key%1").arg(i % 50), QString(200, QChar('a' + i % 26)));
        }
        usleep(20000 + round * 7000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ProfileStore reread(p.path);
        EXPECT_FALSE(reread.readOnly()) << reread.loadError().toStdString();
        for (const auto &e : reread.entries()) {
            if (e.name.startsWith("Key")) {
                EXPECT_EQ(e.value.size(), 200);
            }
        }
    }
}

TEST(ProfileStore, TheNextStartRemovesCopiesKilledWritesLeftButNotOnesInUse)
{
    TempProfile p;
    const QDir dir = QFileInfo(p.path).absoluteDir();
    const QStringList copyFilter{QFileInfo(p.path).fileName() + ".??????"};
    auto writeFile = [&](const QString &name) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Tarnwick]\ng_sPWS_password=secret\n");
    };
    // Killed mid-write, again and again.
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ProfileStore store(p.path);
            for (int i = 0;; ++i)
                store.writeValue("Tarnwick", QStringLiteral("Key%1").arg(i % 50), QString(4000, QChar('a' + i % 26)));
        }
        usleep(3000 + (round % 7) * 1000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    writeFile("profile.ini.k1lLed"); // surely one, whatever the kills left
    writeFile("profile.ini.bak");    // not a copy: the user's own files stay
    writeFile("other.ini.AbCdEf");
    // A write under way in another process.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const int fd = ::open(QFile::encodeName(dir.filePath("profile.ini.InUse1")).constData(), O_RDWR | O_CREAT, 0600);
        ::flock(fd, LOCK_EX);
        [[maybe_unused]] const ssize_t n = ::write(ready[1], "x", 1);
        pause();
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_GT(dir.entryList(copyFilter, QDir::Files).size(), 1);

    ProfileLock lock;
    ASSERT_EQ(lock.acquire(p.path, 1000), ProfileLock::Outcome::Held);
    EXPECT_EQ(dir.entryList(copyFilter, QDir::Files).join(" ").toStdString(), "profile.ini.InUse1");
    EXPECT_TRUE(dir.exists("profile.ini.bak") && dir.exists("other.ini.AbCdEf"));
    EXPECT_FALSE(ProfileStore(p.path).readOnly());
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
}

TEST(ProfileStore, HandTypedBackslashesAreKept)
{
    TempProfile p;
    {
        QFile f(p.path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Tarnwick.Focuser]\ng_sWindSounds=D:\\media\\gust.wav\ng_sRainApp=ends\\\n");
    }
    p.reopen();
    EXPECT_FALSE(p.store->readOnly());
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "g_sWindSounds"), "D:\\media\\gust.wav");
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "g_sRainApp"), "ends\\");
}

// The profile holds the upload password: only its owner reads a new one, and
// a mode the owner chose survives every write.
TEST(ProfileStore, NewProfileIsPrivateAndAChosenModeIsKept)
{
    TempProfile p;
    ASSERT_TRUE(p.store->writeValue("Tarnwick.Focuser", "g_sPWS_password", "secret"));
    EXPECT_EQ(QFile::permissions(p.path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    ASSERT_TRUE(QFile::setPermissions(p.path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                                                  | QFile::ReadGroup));
    ASSERT_TRUE(p.store->writeValue("Tarnwick.Focuser", "Position", "7"));
    EXPECT_TRUE(QFile::permissions(p.path) & QFile::ReadGroup);
    EXPECT_FALSE(QFile::permissions(p.path) & QFile::ReadOther);
    EXPECT_EQ(QDir(p.dir.path()).entryList(QDir::Files), QStringList{"profile.ini"}); // no temporary left
}

// The watch writes some values back as they are now and then: the file is
// rewritten (and synced) only when its text changes, and a removed file comes back.
TEST(ProfileStore, WritingTheValueItHoldsLeavesTheFileAlone)
{
    TempProfile p;
    ASSERT_TRUE(p.store->writeValue("Tarnwick.Focuser", "Position", "500"));
    const QString path = p.dir.path() + "/profile.ini";
    const auto inode = [&path] {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const ino_t first = inode();
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "Position", "500"));
    EXPECT_EQ(inode(), first); // each real save renames a new copy in
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "Position", "501"));
    EXPECT_NE(inode(), first);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(p.store->writeValue("Tarnwick.Focuser", "Position", "501"));
    p.reopen();
    EXPECT_EQ(p.store->value("Tarnwick.Focuser", "Position"), "501");
}
