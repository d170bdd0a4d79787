#include "notify/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

int abortCheck(void *data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *abort = static_cast<const std::atomic<bool> *>(data);
    return abort && abort->load() ? 1 : 0;
}

struct ReadBuffer {
    const QByteArray &data;
    qsizetype offset = 0;
};

size_t readMessage(char *out, size_t size, size_t count, void *data)
{
    auto *b = static_cast<ReadBuffer *>(data);
    const size_t n = std::min<size_t>(size * count, size_t(b->data.size() - b->offset));
    std::copy_n(b->data.constData() + b->offset, n, out);
    b->offset += qsizetype(n);
    return n;
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using List = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

Easy makeEasy(const QString &url, const char *protocols, const CurlLimits &limits, char *errorBuffer)
{
    globalInit();
    Easy c(curl_easy_init(), &curl_easy_cleanup);
    if (!c)
        return c;
    curl_easy_setopt(c.get(), CURLOPT_URL, url.toUtf8().constData());
    // A URL from the settings may name only the protocols meant for it.
    curl_easy_setopt(c.get(), CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c.get(), CURLOPT_CONNECTTIMEOUT_MS, long(std::min(limits.timeoutMs, 10000)));
    curl_easy_setopt(c.get(), CURLOPT_TIMEOUT_MS, long(limits.timeoutMs));
    curl_easy_setopt(c.get(), CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c.get(), CURLOPT_XFERINFOFUNCTION, &abortCheck);
    curl_easy_setopt(c.get(), CURLOPT_XFERINFODATA, limits.abort);
    curl_easy_setopt(c.get(), CURLOPT_USERAGENT, "Tarnwick");
    if (!limits.caFile.isEmpty()) // libcurl copies the text
        curl_easy_setopt(c.get(), CURLOPT_CAINFO, limits.caFile.toUtf8().constData());
    return c;
}

QString failure(CURLcode code, const char *errorBuffer)
{
    return QString::fromUtf8(*errorBuffer ? errorBuffer : curl_easy_strerror(code));
}

} // namespace

QString curlPost(const QString &url, const QByteArray &body, const QList<QByteArray> &headers, const CurlLimits &limits)
{
    char error[CURL_ERROR_SIZE] = {};
    Easy c = makeEasy(url, "http,https", limits, error);
    if (!c)
        return QStringLiteral("libcurl could not start a transfer");
    List list(nullptr, &curl_slist_free_all);
    for (const QByteArray &h : headers)
        list.reset(curl_slist_append(list.release(), h.constData()));
    curl_easy_setopt(c.get(), CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(c.get(), CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(c.get(), CURLOPT_POSTFIELDSIZE, long(body.size()));
    curl_easy_setopt(c.get(), CURLOPT_WRITEFUNCTION, &discard);
    const CURLcode res = curl_easy_perform(c.get());
    if (res != CURLE_OK)
        return failure(res, error);
    long status = 0;
    curl_easy_getinfo(c.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return QStringLiteral("the server answered HTTP %1").arg(status);
    return {};
}

QString curlMail(const SmtpAccount &account, const QString &from, const QStringList &to, const QByteArray &message,
                 const CurlLimits &limits)
{
    char error[CURL_ERROR_SIZE] = {};
    Easy c = makeEasy(account.url, "smtp,smtps", limits, error);
    if (!c)
        return QStringLiteral("libcurl could not start a transfer");
    const QByteArray sender = envelopeAddress(from);
    curl_easy_setopt(c.get(), CURLOPT_MAIL_FROM, sender.constData());
    List rcpt(nullptr, &curl_slist_free_all);
    for (const QString &address : to)
        rcpt.reset(curl_slist_append(rcpt.release(), envelopeAddress(address).constData()));
    curl_easy_setopt(c.get(), CURLOPT_MAIL_RCPT, rcpt.get());
    const QByteArray user = account.user.toUtf8();
    const QByteArray password = account.password.toUtf8();
    if (!account.user.isEmpty()) {
        curl_easy_setopt(c.get(), CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c.get(), CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(c.get(), CURLOPT_USE_SSL, long(account.startTls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    ReadBuffer buffer{message};
    curl_easy_setopt(c.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.get(), CURLOPT_READFUNCTION, &readMessage);
    curl_easy_setopt(c.get(), CURLOPT_READDATA, &buffer);
    curl_easy_setopt(c.get(), CURLOPT_INFILESIZE, long(message.size()));
    const CURLcode res = curl_easy_perform(c.get());
    return res == CURLE_OK ? QString() : failure(res, error);
}

QByteArray envelopeAddress(const QString &address)
{
    QString a = address.trimmed();
    const qsizetype open = a.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = a.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open)
        a = a.mid(open + 1, close - open - 1).trimmed();
    a.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return '<' + a.toUtf8() + '>';
}

QByteArray headerValue(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray utf8 = line.toUtf8();
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char ch) { return uchar(ch) < 0x80; });
    return ascii ? utf8 : "=?UTF-8?B?" + utf8.toBase64() + "?=";
}
