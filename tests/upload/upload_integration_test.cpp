// Reports driven by a running timer, as the station cycle drives them: each one
// reaches the local service well formed, and a service that goes away only
// adds error lines while the timer keeps running.
#include "capture_server.h"
#include "observation_for.h"
#include "temp_profile.h"

#include "upload/upload_form.h"
#include "upload/uploads.h"
#include "windows/upload_setup.h"

#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

TEST(UploadRunning, TimerDrivenReportsSurviveTheServiceGoingAway)
{
    TempProfile profile;
    CaptureServer server;
    resetProgram();
    prog().profile = profile.store.get();
    prog().settings.g_bAllow_PWS = 1;
    prog().settings.g_sPWS_site = server.url(QStringLiteral("/weatherstation/updateweatherstation.php"));
    Uploads uploads(prog().settings, profileSaver());
    UploadUi upload(uploads);
    upload.show();
    // The station's state before its first wind sample: the gust is still a placeholder.
    Observation observation = observationFor(10, 0, -10, 71, 1.5);

    int ticks = 0;
    QTimer cycle;
    QObject::connect(&cycle, &QTimer::timeout, [&] {
        ++ticks;
        observation.ambientC = 10 + ticks * 0.1;
        uploads.form().setObservation(observation);
        uploads.form().cmdSend_Click();
    });
    cycle.start(60);

    ASSERT_TRUE(server.waitForRequests(3, 10000));
    static const QRegularExpression wellFormed(QStringLiteral(
        "^GET /weatherstation/updateweatherstation\\.php\\?ID=KXXTOWN99&PASSWORD=yourpassword"
        "&dateutc=\\d{4}%2D\\d\\d%2D\\d\\d%2B\\d\\d%3A\\d\\d%2E\\d\\d%2E00&tempf=[%0-9A-F]+"
        "&windspeedmph=%20%200%2E0&humidity=%2071%2E0&clouds=OVC"
        "&softwaretype=tarnwick%20v01&action=updateraw&realtime=1&rtfreq=5\\.0 HTTP/1\\.0\r\n"
        "Host: 127\\.0\\.0\\.1\r\n\r\n$"));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(wellFormed.match(QString::fromUtf8(server.requests[i])).hasMatch()) << server.requests[i].constData();

    server.stop();
    const int ticksAtStop = ticks;
    ASSERT_TRUE(QTest::qWaitFor([&] { return uploads.form().errorsText().count(QStringLiteral("\r\n")) >= 2; }, 10000));
    EXPECT_TRUE(cycle.isActive());
    EXPECT_GT(ticks, ticksAtStop);

    cycle.stop();
    upload.unload();
    resetProgram();
}
