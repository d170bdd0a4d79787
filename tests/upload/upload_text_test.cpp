// URL splitting, encoding, request framing, line ends and the report's field texts.
#include "upload/http_request.h"
#include "upload/pws_report.h"
#include "upload/row_layout.h"
#include "upload/url_helper.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char *url;
    const char *scheme;
    const char *host;
    int port;
    const char *path;
    const char *query;
    int remotePort; // -1: scheme refused, the previous port is kept
};

const SplitCase kSplitCases[] = {
    {"http://srv/a/b?x=1", "http", "srv", 0, "/a/b", "x=1", 80},
    {"srv:8080/p", "", "srv", 8080, "/p", "", 80},
    {"http://srv:8080", "http", "srv:8080", 0, "/", "", 80},
    {"http://srv/p:1", "http", "srv", 0, "/p:1", "", 80},
    {"http://srv:8080/cgi:bin/up?t=10:15", "http", "srv", 8080, "/cgi:bin/up", "t=10:15", 8080},
    {"http://srv:81:8080/p", "http", "srv", 0, "/p", "", 80}, // the first colon ends the host
    {"http://srv:abc/p", "http", "srv", 0, "/p", "", 80},
    {"http://srv:8080/p?a=1?b", "http", "srv", 8080, "/p", "a=1?b", 8080},
    {"http://srv:65535/p", "http", "srv", 65535, "/p", "", 65535},
    {"http://srv:40000/p", "http", "srv", 40000, "/p", "", 40000},
    {"http://srv:65536/p", "http", "srv", 0, "/p", "", 80},
    {"http://srv:/p", "http", "srv", 0, "/p", "", 80},
    {"http://srv:-5/p", "http", "srv", 0, "/p", "", 80},
    {"ftp://srv/p", "ftp", "srv", 0, "/p", "", -1},
    {"HTTP://srv/p", "HTTP", "srv", 0, "/p", "", -1},
    {"/path", "", "", 0, "/path", "", 80},
    {"", "", "", 0, "/", "", 80},
};

} // namespace

TEST(UrlHelper, SplitUrlAndRemotePort)
{
    for (const SplitCase &c : kSplitCases) {
        SCOPED_TRACE(c.url);
        const UrlParts u = SplitUrl(QString::fromLatin1(c.url));
        EXPECT_EQ(u.Scheme, QLatin1String(c.scheme));
        EXPECT_EQ(u.Host, QLatin1String(c.host));
        EXPECT_EQ(u.Port, c.port);
        EXPECT_EQ(u.Path, QLatin1String(c.path));
        EXPECT_EQ(u.Query, QLatin1String(c.query));
        EXPECT_EQ(remotePortFor(u).value_or(-1), c.remotePort);
    }
}

TEST(UrlHelper, PercentEncodeKeepsOnlyLettersAndDigits)
{
    EXPECT_EQ(PercentEncode(QStringLiteral("a b-1.5")), QStringLiteral("a%20b%2D1%2E5"));
    EXPECT_EQ(PercentEncode(QString()), QString());
    EXPECT_EQ(PercentEncode(QStringLiteral("2026-12-06+09:57.12.00")),
              QStringLiteral("2026%2D12%2D06%2B09%3A57%2E12%2E00"));
    EXPECT_EQ(PercentEncode(QStringLiteral("Zz09~&=")), QStringLiteral("Zz09%7E%26%3D"));
    EXPECT_EQ(PercentEncode(QStringLiteral("\u00e9")), QStringLiteral("%C3%A9")); // UTF-8 bytes
}

TEST(HttpRequest, TargetAppendsReportAfterTheUrlsOwnQuery)
{
    EXPECT_EQ(requestTarget(SplitUrl(QStringLiteral("http://s/u.php")), QStringLiteral("ID=1")),
              QStringLiteral("/u.php?ID=1"));
    EXPECT_EQ(requestTarget(SplitUrl(QStringLiteral("http://s/u.php?a=1")), QStringLiteral("ID=1")),
              QStringLiteral("/u.php?a=1&ID=1"));
    EXPECT_EQ(requestTarget(SplitUrl(QStringLiteral("http://s/u.php?a=1")), QString()),
              QStringLiteral("/u.php?a=1"));
    EXPECT_EQ(requestTarget(SplitUrl(QStringLiteral("http://s")), QString()), QStringLiteral("/"));
}

TEST(HttpRequest, TextHasOnlyRequestLineHostAndNamedHeaders)
{
    const QVector<HeaderRow> headers{{QStringLiteral("X-A"), QStringLiteral("1")},
                                     {QString(), QStringLiteral("orphan value")},
                                     {QStringLiteral("X-B"), QString()}};
    EXPECT_EQ(requestText(QStringLiteral("srv"), QStringLiteral("/p?q"), headers),
              QStringLiteral("GET /p?q HTTP/1.0\r\nHost: srv\r\nX-A: 1\r\nX-B: \r\n\r\n"));
    EXPECT_EQ(requestText(QStringLiteral("srv"), QStringLiteral("/"), {}),
              QStringLiteral("GET / HTTP/1.0\r\nHost: srv\r\n\r\n"));
}

TEST(HttpRequest, NormalizeLineEndsPerChunk)
{
    EXPECT_EQ(NormalizeLineEnds(QStringLiteral("x\ny\r\nz\rw")), QStringLiteral("x\r\ny\r\nz\r\nw"));
    EXPECT_EQ(NormalizeLineEnds(QStringLiteral("x\r\ry")), QStringLiteral("x\r\n\ry"));
    EXPECT_EQ(NormalizeLineEnds(QStringLiteral("\nok\r\n")), QStringLiteral("\r\nok\r\n"));
    // A CR ending a chunk goes out alone; the next chunk's LF is then completed on its own.
    EXPECT_EQ(NormalizeLineEnds(QStringLiteral("a\r")), QStringLiteral("a\r"));
    EXPECT_EQ(NormalizeLineEnds(QStringLiteral("\nb")), QStringLiteral("\r\nb"));
    EXPECT_EQ(NormalizeLineEnds(QString()), QString());
}

TEST(HttpRequest, ErrorLineUsesTwelveHourClock)
{
    const QDate d(2026, 12, 6);
    EXPECT_EQ(errorLine(QDateTime(d, QTime(0, 5, 7)), QStringLiteral("Connection refused")),
              QStringLiteral("2026-12-06 12:05:07 AM Connection refused\r\n"));
    EXPECT_EQ(errorLine(QDateTime(d, QTime(12, 30, 0)), QStringLiteral("x")),
              QStringLiteral("2026-12-06 12:30:00 PM x\r\n"));
    EXPECT_EQ(errorLine(QDateTime(d, QTime(21, 9, 59)), QStringLiteral("x")),
              QStringLiteral("2026-12-06 09:09:59 PM x\r\n"));
}

TEST(PwsReport, DateRoundsToTheNearestSecondWithCarry)
{
    const auto utc = [](int y, int mo, int d, int h, int mi, int s, int ms) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    EXPECT_EQ(dateUtcText(utc(2026, 12, 6, 9, 57, 12, 499)), QStringLiteral("2026-12-06+09:57.12.00"));
    EXPECT_EQ(dateUtcText(utc(2026, 12, 6, 9, 57, 12, 500)), QStringLiteral("2026-12-06+09:57.13.00"));
    EXPECT_EQ(dateUtcText(utc(2026, 12, 31, 23, 59, 59, 500)), QStringLiteral("2027-01-01+00:00.00.00"));
    // A local time is reported by its UTC date and hour.
    const QDateTime plusTwo(QDate(2026, 12, 7), QTime(1, 0, 0), Qt::OffsetFromUTC, 7200);
    EXPECT_EQ(dateUtcText(plusTwo), QStringLiteral("2026-12-06+23:00.00.00"));
}

TEST(PwsReport, FieldWidthsAtTheEdges)
{
    EXPECT_EQ(PercentEncode(tempfText(-40)), QStringLiteral("%20%2D40%2E0"));
    EXPECT_EQ(PercentEncode(tempfText(37.8)), QStringLiteral("%20100%2E0"));
    EXPECT_EQ(PercentEncode(tempfText(21.5)), QStringLiteral("%20%2070%2E7"));
    EXPECT_EQ(tempfText(600), QStringLiteral("1112.0")); // longer than the field: never cut
    EXPECT_EQ(windText(100.0, 5), QStringLiteral("100.0"));
    EXPECT_EQ(windText(3.2, 5), QStringLiteral("  3.2"));
    EXPECT_EQ(windText(100.0, 6), QStringLiteral(" 100.0"));
    EXPECT_EQ(windText(-10, 6), QStringLiteral(" -10.0")); // gust before any wind sample
    EXPECT_EQ(windText(0.05, 5), QStringLiteral("  0.1"));  // halves away from zero
    EXPECT_EQ(humidityText(QStringLiteral("68")), QStringLiteral(" 68.0"));
    EXPECT_EQ(humidityText(QStringLiteral("100")), QStringLiteral("100.0"));
    EXPECT_EQ(humidityText(QStringLiteral("n/a")), QStringLiteral("  n/a"));
}

TEST(PwsReport, CloudClassOnTheDisplayedCaption)
{
    EXPECT_EQ(cloudsText(QStringLiteral("-5.0")), QStringLiteral("SKC"));
    EXPECT_EQ(cloudsText(QStringLiteral("-4.9")), QStringLiteral("SCT"));
    EXPECT_EQ(cloudsText(QStringLiteral("0.0")), QStringLiteral("SCT"));
    EXPECT_EQ(cloudsText(QStringLiteral("0.1")), QStringLiteral("OVC"));
    EXPECT_EQ(cloudsText(QStringLiteral("-30.2")), QStringLiteral("SKC"));
    EXPECT_EQ(cloudsText(QString()), QString());
}

TEST(PwsReport, QueryOfTheWorkedExample)
{
    PwsReading r;
    r.stationId = QStringLiteral("KXXTOWN99");
    r.password = QStringLiteral("yourpassword");
    r.utc = QDateTime(QDate(2026, 12, 6), QTime(9, 57, 12), Qt::UTC);
    r.ambientC = 21.5;
    r.windSpeed = 3.2;
    r.windGust = 12.4;
    r.humidityText = QStringLiteral("68");
    r.skyTempCaption = QStringLiteral("-2.3");
    EXPECT_EQ(UploadQuery(r),
              QStringLiteral("ID=KXXTOWN99&PASSWORD=yourpassword"
                             "&dateutc=2026%2D12%2D06%2B09%3A57%2E12%2E00&tempf=%20%2070%2E7"
                             "&windspeedmph=%20%203%2E2&windgustmph=%20%2012%2E4&humidity=%2068%2E0&clouds=SCT"
                             "&softwaretype=tarnwick%20v01&action=updateraw&realtime=1&rtfreq=5.0"));
    // Placeholders (temperature processing off, no humidity) are left out; the wind still goes.
    r.hasTemperature = false;
    r.hasHumidity = false;
    r.hasSkyTemperature = false;
    EXPECT_EQ(UploadQuery(r),
              QStringLiteral("ID=KXXTOWN99&PASSWORD=yourpassword&dateutc=2026%2D12%2D06%2B09%3A57%2E12%2E00"
                             "&windspeedmph=%20%203%2E2&windgustmph=%20%2012%2E4"
                             "&softwaretype=tarnwick%20v01&action=updateraw&realtime=1&rtfreq=5.0"));
}

TEST(PwsReport, CredentialsGoAsTypedUnlessTheyWouldBreakTheRequest)
{
    EXPECT_EQ(credentialText(QStringLiteral("KXXTOWN99")), QStringLiteral("KXXTOWN99"));
    EXPECT_EQ(credentialText(QStringLiteral("a-b_c.d~e!%21")), QStringLiteral("a-b_c.d~e!%21"));
    EXPECT_EQ(credentialText(QStringLiteral("pa ss&x=1")), QStringLiteral("pa%20ss%26x%3D1"));
    EXPECT_EQ(credentialText(QStringLiteral("a+b#c?d")), QStringLiteral("a%2Bb%23c%3Fd"));
    EXPECT_EQ(credentialText(QStringLiteral("id\r\nX-Evil: 1")), QStringLiteral("id%0D%0AX-Evil:%201"));
    EXPECT_EQ(credentialText(QStringLiteral("\u00e9")), QStringLiteral("%C3%A9"));
}

TEST(RowLayout, FirstExtraRowScrollsIntoView)
{
    const int top = nextRowTop(1080, 375);
    EXPECT_EQ(top, 1535);
    const int carrier = carrierHeightFor(top, 375);
    EXPECT_EQ(carrier, 1990);
    const RowScroll s = scrollFor(carrier, 1695, 375);
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.smallChange, 375);
    EXPECT_EQ(s.largeChange, 1695);
    EXPECT_EQ(s.maximum, 295);
    EXPECT_EQ(s.value, 295);
    EXPECT_FALSE(scrollFor(1695, 1695, 375).enabled);
}
