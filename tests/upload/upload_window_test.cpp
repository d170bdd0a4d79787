// The upload window over its form: stored layout, settings written as fields
// change, growing rows, and the load/unload life cycle behind the hooks.
#include "capture_server.h"
#include "observation_for.h"
#include "temp_profile.h"

#include "core/messages.h"
#include "upload/upload_form.h"
#include "upload/uploads.h"
#include "windows/upload_setup.h"
#include "windows/upload_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class UploadWindowTest : public ::testing::Test {
protected:
    TempProfile profile;
    std::unique_ptr<Uploads> uploads;
    std::unique_ptr<UploadUi> upload;
    QList<Message> messages;
    MessageHandler previousHandler;

    void SetUp() override
    {
        resetProgram();
        prog().profile = profile.store.get();
        previousHandler = setMessageHandler([this](const Message &m) { messages.append(m); });
        uploads = std::make_unique<Uploads>(prog().settings, profileSaver());
        upload = std::make_unique<UploadUi>(*uploads);
        uploads->form().setObservation(observationFor(0, 0, 0, 55, -8.0));
    }
    void TearDown() override
    {
        upload->unload();
        (void)QTest::qWaitFor([this] { return upload->window() == nullptr; }, 2000);
        upload.reset();
        uploads.reset();
        setMessageHandler(previousHandler);
        resetProgram();
    }

    UploadWindow *shown()
    {
        upload->show();
        return upload->window();
    }
    // A multi-line box shows CR LF line ends as plain line breaks, and the request without its password.
    static QString shownAs(const QByteArray &bytes)
    {
        return QString::fromUtf8(bytes)
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QStringLiteral("PASSWORD=yourpassword"), QStringLiteral("PASSWORD=********"));
    }
    template <typename T> T *control(const QString &name) { return upload->window()->findChild<T *>(name); }
    QString stored(const char *key) { return profile.store->value(kDriverId, QLatin1String(key)); }
};

} // namespace

TEST_F(UploadWindowTest, StoredLayoutInPixels)
{
    UploadWindow *w = shown();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick Station information"));
    // 15240 x 5595 twips, in a view that scrolls on a screen narrower than that.
    EXPECT_EQ(control<QWidget>(QStringLiteral("uploadContent"))->size(), QSize(1016, 373));
    const QRect area = w->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(w->frameGeometry()));
    if (area.width() > 1016 + 50)
        EXPECT_EQ(w->size(), QSize(1016, 373));
    else
        EXPECT_LT(w->width(), 1016);
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtUrl"))->geometry(), QRect(136, 8, 321, 19));

    // Only row 0 of the variables is in view; the rest of the machinery is hidden.
    EXPECT_FALSE(control<QLineEdit>(QStringLiteral("txtVariableValue(0)"))->isHidden());
    EXPECT_TRUE(control<QLineEdit>(QStringLiteral("txtVariableValue(1)"))->isHidden());
    EXPECT_TRUE(control<QComboBox>(QStringLiteral("cboRequestMethod"))->isHidden());
    EXPECT_EQ(control<QComboBox>(QStringLiteral("cboRequestMethod"))->currentText(), QStringLiteral("POST"));
    EXPECT_TRUE(control<QPushButton>(QStringLiteral("cmdMoreVariables"))->isHidden());
    EXPECT_TRUE(control<QGroupBox>(QStringLiteral("fmeHeaders"))->isHidden());
    EXPECT_FALSE(control<QScrollBar>(QStringLiteral("vsbVariables"))->isEnabled());
}

TEST_F(UploadWindowTest, LoadFillsTheFieldsAndWritesChangedOnesBack)
{
    Settings &s = prog().settings;
    s.g_sPWS_name = QStringLiteral("IABC12345");
    s.g_bAllow_PWS = 0;
    shown();
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtUrl"))->text(), QString::fromLatin1(kDefaultPwsSite));
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtVariableName(0)"))->text(), QStringLiteral("IABC12345"));
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtVariableValue(0)"))->text(), QStringLiteral("yourpassword"));
    EXPECT_FALSE(control<QCheckBox>(QStringLiteral("chk_AllowPWS"))->isChecked());
    EXPECT_EQ(stored("g_sPWS_site"), QString::fromLatin1(kDefaultPwsSite));
    EXPECT_EQ(stored("g_sPWS_name"), QStringLiteral("IABC12345"));
    EXPECT_EQ(stored("g_bAllow_PWS"), QString()); // unchanged box: nothing written

    upload->unload();
    s.g_bAllow_PWS = 1;
    shown();
    EXPECT_TRUE(control<QCheckBox>(QStringLiteral("chk_AllowPWS"))->isChecked());
    EXPECT_EQ(stored("g_bAllow_PWS"), QStringLiteral("1"));
}

TEST_F(UploadWindowTest, PasswordIsMaskedUntilShownAndAFailedSaveIsReported)
{
    shown();
    auto *password = control<QLineEdit>(QStringLiteral("txtVariableValue(0)"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    auto *show = control<QCheckBox>(QStringLiteral("chkShowPassword"));
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(show->isVisibleTo(upload->window()));
    show->setChecked(true);
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    show->setChecked(false);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    // A store whose folder is a plain file: the change cannot be saved, and says so.
    QFile blocker(profile.dir.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    ProfileStore broken(blocker.fileName() + "/profile.ini");
    prog().profile = &broken;
    password->setText(QStringLiteral("n3w"));
    EXPECT_EQ(prog().settings.g_sPWS_password, QStringLiteral("n3w"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains("g_sPWS_password"));
    EXPECT_FALSE(messages[0].text.contains("n3w"));
    prog().profile = profile.store.get();
}

TEST_F(UploadWindowTest, EveryFieldChangeReachesTheProfile)
{
    shown();
    control<QLineEdit>(QStringLiteral("txtUrl"))->setText(QStringLiteral("http://127.0.0.1/x"));
    EXPECT_EQ(prog().settings.g_sPWS_site, QStringLiteral("http://127.0.0.1/x"));
    EXPECT_EQ(stored("g_sPWS_site"), QStringLiteral("http://127.0.0.1/x"));

    control<QLineEdit>(QStringLiteral("txtVariableValue(0)"))->setText(QStringLiteral("secret"));
    EXPECT_EQ(stored("g_sPWS_password"), QStringLiteral("secret"));

    // Any name row rewrites the station ID from row 0.
    profile.store->writeValue(kDriverId, QStringLiteral("g_sPWS_name"), QStringLiteral("stale"));
    control<QLineEdit>(QStringLiteral("txtVariableName(1)"))->setText(QStringLiteral("other"));
    EXPECT_EQ(stored("g_sPWS_name"), QString::fromLatin1(kDefaultPwsName));

    control<QCheckBox>(QStringLiteral("chk_AllowPWS"))->click();
    EXPECT_EQ(stored("g_bAllow_PWS"), QStringLiteral("1"));
    control<QCheckBox>(QStringLiteral("chk_AllowPWS"))->click();
    EXPECT_EQ(stored("g_bAllow_PWS"), QStringLiteral("0"));

    // An empty address is kept, and the next report says so.
    control<QLineEdit>(QStringLiteral("txtUrl"))->clear();
    EXPECT_EQ(stored("g_sPWS_site"), QString());
    uploads->form().cmdSend_Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, QStringLiteral("Invalid Host"));
}

TEST_F(UploadWindowTest, MoreRowsScrollIntoViewAndHeaderRowsAreSent)
{
    CaptureServer server;
    prog().settings.g_sPWS_site = server.url(QStringLiteral("/u"));
    prog().settings.g_bAllow_PWS = 1;
    shown();

    control<QPushButton>(QStringLiteral("cmdMoreHeaders"))->click();
    auto *name3 = control<QLineEdit>(QStringLiteral("txtHeaderName(3)"));
    ASSERT_NE(name3, nullptr);
    EXPECT_EQ(UploadWindow::twipsOf(name3), QRect(840, 1535, 3495, 375));
    EXPECT_EQ(UploadWindow::twipsOf(control<QLineEdit>(QStringLiteral("txtHeaderValue(3)"))).topLeft(),
              QPoint(5280, 1535));
    EXPECT_FALSE(control<QLabel>(QStringLiteral("lblHeaderValue(3)"))->isHidden());
    EXPECT_EQ(UploadWindow::twipsOf(control<QWidget>(QStringLiteral("pbxHeaders"))), QRect(0, -295, 10815, 1990));
    auto *bar = control<QScrollBar>(QStringLiteral("vsbHeaders"));
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 295);
    EXPECT_EQ(bar->value(), 295);
    EXPECT_EQ(bar->singleStep(), 375);
    EXPECT_EQ(bar->pageStep(), 1695);
    bar->setValue(0);
    EXPECT_EQ(UploadWindow::twipsOf(control<QWidget>(QStringLiteral("pbxHeaders"))).top(), 0);

    control<QPushButton>(QStringLiteral("cmdMoreVariables"))->click();
    EXPECT_EQ(UploadWindow::twipsOf(control<QLineEdit>(QStringLiteral("txtVariableName(3)"))).top(), 1535);
    EXPECT_EQ(control<QLabel>(QStringLiteral("lblVariableName(3)"))->text(), QStringLiteral("Name"));

    control<QLineEdit>(QStringLiteral("txtHeaderValue(1)"))->setText(QStringLiteral("ignored"));
    name3->setText(QStringLiteral("X-Row"));
    control<QLineEdit>(QStringLiteral("txtHeaderValue(3)"))->setText(QStringLiteral("three"));
    control<QPushButton>(QStringLiteral("cmdSend"))->click();
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(server.requests[0].endsWith("\r\nHost: 127.0.0.1\r\nX-Row: three\r\n\r\n"));

    // The window shows what went out and what came back.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !uploads->form().Connected(); }, 5000));
    EXPECT_EQ(control<QPlainTextEdit>(QStringLiteral("txtRequest"))->toPlainText(), shownAs(server.requests[0]));
    EXPECT_EQ(control<QPlainTextEdit>(QStringLiteral("txtResponse"))->toPlainText(),
              QStringLiteral("HTTP/1.0 200 OK\nContent-Type: text/plain\n\nsuccess\n"));
}

TEST_F(UploadWindowTest, ClosingUnloadsAndAReportReloadsWithoutShowing)
{
    CaptureServer server;
    prog().settings.g_sPWS_site = server.url(QStringLiteral("/u"));
    prog().settings.g_bAllow_PWS = 1;
    UploadWindow *w = shown();
    control<QLineEdit>(QStringLiteral("txtVariableName(0)"))->setText(QStringLiteral("KEDITED01"));
    w->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return upload->window() == nullptr; }, 2000));
    EXPECT_FALSE(uploads->form().isLoaded());

    uploads->form().cmdSend_Click();
    EXPECT_TRUE(uploads->form().isLoaded());
    EXPECT_EQ(upload->window(), nullptr);
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(server.requests[0].startsWith("GET /u?ID=KEDITED01&PASSWORD=yourpassword&dateutc="));
    EXPECT_TRUE(server.requests[0].contains("&clouds=SKC&softwaretype="));

    // The PWS button shows the same loaded form with what it already holds.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !uploads->form().Connected(); }, 5000));
    shown();
    EXPECT_EQ(control<QPlainTextEdit>(QStringLiteral("txtRequest"))->toPlainText(), shownAs(server.requests[0]));
}

TEST_F(UploadWindowTest, EachServiceStateShowsBesideTheErrorList)
{
    CaptureServer server;
    server.reply = "HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\r\n";
    prog().settings.g_sPWS_site = server.url(QStringLiteral("/u"));
    prog().settings.g_bAllow_PWS = 1;
    QStringList problems;
    uploads->setServices(parseServices(QStringLiteral("get|Mine|http://127.0.0.1:1/x|60"), problems),
                        &QDateTime::currentDateTimeUtc, QString());
    shown();
    auto *state = control<QLabel>(QStringLiteral("lblServiceState"));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->text(), QStringLiteral("Weather service: waiting for the first report   Mine: waiting for the first report"));
    control<QPushButton>(QStringLiteral("cmdSend"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->text().startsWith("Weather service: credentials refused"); }, 5000))
        << qPrintable(state->text());
    EXPECT_TRUE(control<QPlainTextEdit>(QStringLiteral("errsWinsock"))->toPlainText().contains("credentials refused: INVALIDPASSWORDID"));
}

// The upload runs where the watch runs: the window on this thread mirrors it,
// and its edits and clicks reach it there.
TEST_F(UploadWindowTest, MirrorsTheUploadOnTheWatchThread)
{
    CaptureServer server;
    prog().settings.g_sPWS_site = server.url(QStringLiteral("/u"));
    prog().settings.g_bAllow_PWS = 1;
    QThread watch;
    uploads->moveToThread(&watch);
    watch.start();
    const auto onWatch = [this](const std::function<void()> &step) { onThreadOf(uploads.get(), step); };

    shown();
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("txtUrl"))->text(), server.url(QStringLiteral("/u")));
    control<QLineEdit>(QStringLiteral("txtVariableName(0)"))->setText(QStringLiteral("KTHREAD01"));
    control<QPushButton>(QStringLiteral("cmdSend"))->click();
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(server.requests[0].startsWith("GET /u?ID=KTHREAD01&PASSWORD=yourpassword&dateutc="));
    QString name;
    onWatch([&] { name = stored("g_sPWS_name"); });
    EXPECT_EQ(name, QStringLiteral("KTHREAD01"));
    // What went out, what came back and the state, copied over as they change.
    auto *response = control<QPlainTextEdit>(QStringLiteral("txtResponse"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return response->toPlainText().endsWith(QStringLiteral("success\n")); }, 5000));
    EXPECT_EQ(control<QPlainTextEdit>(QStringLiteral("txtRequest"))->toPlainText(), shownAs(server.requests[0]));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return control<QLabel>(QStringLiteral("lblServiceState"))->text().startsWith("Weather service: sent "); }, 2000));

    // Closing the window unloads the form where it runs.
    upload->window()->close();
    bool loaded = true;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        onWatch([&] { loaded = uploads->form().isLoaded(); });
        return !loaded;
    }, 2000));
    onWatch([this] { uploads->moveToThread(QCoreApplication::instance()->thread()); });
    watch.quit();
    watch.wait();
}
