// An https:// service address: the report goes inside a verified TLS session
// (the test CA added by file, the host name checked); a certificate that fails
// either check is refused by name and nothing is sent.
#include "observation_for.h"
#include "temp_profile.h"
#include "tls_capture_server.h"

#include <gtest/gtest.h>

namespace {

class UploadTls : public ::testing::Test {
protected:
    TempProfile profile;
    TlsCaptureServer server;
    std::unique_ptr<UploadForm> form;

    void SetUp() override
    {
        ASSERT_TRUE(QSslSocket::supportsSsl()) << "no TLS backend";
        ASSERT_TRUE(server.isListening()) << qPrintable(server.error);
        resetProgram();
        prog().profile = profile.store.get();
        prog().settings.g_bAllow_PWS = 1;
        form = std::make_unique<UploadForm>(prog().settings, profileSaver());
        form->setObservation(observationFor(21.5, 3.2, 12.4, 68, -2.3));
    }
    void TearDown() override
    {
        form.reset();
        resetProgram();
    }
    void sendTo(const QString &url)
    {
        form->load();
        form->setUrl(url); // a new address also clears an earlier refusal
        form->cmdSend_Click();
        (void)QTest::qWaitFor([&] { return form->delivery().hasTried(); }, 10000);
        QTest::qWait(100); // anything the server would still get
    }
};

} // namespace

TEST_F(UploadTls, GoodCertificateCarriesTheSameRequest)
{
    form->setCaFile(server.caFile());
    sendTo(server.url(QStringLiteral("localhost")));
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_TRUE(server.requests[0].startsWith("GET /update.php?ID=KXXTOWN99&PASSWORD=yourpassword&dateutc="));
    EXPECT_TRUE(server.requests[0].endsWith(" HTTP/1.0\r\nHost: localhost\r\n\r\n"));
    EXPECT_EQ(form->delivery().last(), Verdict::Accepted) << qPrintable(form->errorsText());
}

TEST_F(UploadTls, WrongHostNameOrUnknownAuthorityIsRefusedByNameAndNothingIsSent)
{
    form->setCaFile(server.caFile());
    sendTo(server.url(QStringLiteral("127.0.0.1"))); // the certificate names localhost only
    EXPECT_GE(server.handshakes, 1);
    EXPECT_EQ(server.bytesReceived(), 0);
    EXPECT_TRUE(form->errorsText().contains(QStringLiteral("Certificate refused: ")));
    EXPECT_TRUE(form->errorsText().contains(QStringLiteral("host name"), Qt::CaseInsensitive)) << qPrintable(form->errorsText());
    EXPECT_TRUE(form->stateText().startsWith(QStringLiteral("refused: Certificate refused")));

    form->setCaFile(QString()); // the system's authorities only
    sendTo(server.url(QStringLiteral("localhost")));
    EXPECT_EQ(server.bytesReceived(), 0);
    EXPECT_EQ(form->errorsText().count(QStringLiteral("Certificate refused: ")), 2) << qPrintable(form->errorsText());
    EXPECT_EQ(form->pendingRecords(), 0); // not kept for a retry: it would be refused again
}
