#include "auth/login_page.h"

namespace {
const char *kStyle = "body{font:16px system-ui,sans-serif;margin:3em auto;max-width:24em;padding:0 1em}"
                     "input,button{font:inherit;padding:.4em;margin:.3em 0;width:100%;box-sizing:border-box}"
                     ".note{color:#a00}";

QByteArray page(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width\"><title>%1</title>"
                          "<style>%2</style></head><body><h1>%1</h1>%3</body></html>\n")
        .arg(title, QString::fromLatin1(kStyle), body)
        .toUtf8();
}
} // namespace

QByteArray safeNext(const QByteArray &next)
{
    // A path on this server only: not "//elsewhere", not "/\elsewhere", no scheme.
    if (!next.startsWith('/') || next.startsWith("//") || next.startsWith("/\\") || next.contains('\r')
        || next.contains('\n') || next.size() > 512)
        return "/";
    return next;
}

QByteArray loginPageHtml(const QString &message, const QByteArray &next, bool passwordSet)
{
    QString body;
    if (!message.isEmpty())
        body += QStringLiteral("<p class=\"note\" role=\"alert\">%1</p>").arg(message.toHtmlEscaped());
    if (!passwordSet) {
        body += QStringLiteral("<p>No password is set. Set one on the observatory computer with "
                               "<code>tarnwick config set-password</code>.</p>");
        return page(QStringLiteral("Tarnwick login"), body);
    }
    body += QStringLiteral("<form method=\"post\" action=\"/login\">"
                           "<label for=\"password\">Password</label>"
                           "<input id=\"password\" type=\"password\" name=\"password\" autocomplete=\"current-password\" "
                           "required autofocus>"
                           "<input type=\"hidden\" name=\"next\" value=\"%1\">"
                           "<button type=\"submit\">Log in</button></form>")
                .arg(QString::fromUtf8(safeNext(next)).toHtmlEscaped());
    return page(QStringLiteral("Tarnwick login"), body);
}

QByteArray logoutPageHtml(const QByteArray &csrf)
{
    if (csrf.isEmpty())
        return page(QStringLiteral("Tarnwick"), QStringLiteral("<p>You are not logged in. <a href=\"/\">Back to the page</a></p>"));
    return page(QStringLiteral("Tarnwick"),
                QStringLiteral("<form method=\"post\" action=\"/logout\"><input type=\"hidden\" name=\"csrf\" value=\"%1\">"
                               "<button type=\"submit\">Log out</button></form>")
                    .arg(QString::fromLatin1(csrf).toHtmlEscaped()));
}

HttpHeaders privatePageHeaders()
{
    return {{"Cache-Control", "no-store"},
            {"X-Frame-Options", "DENY"},
            {"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; frame-ancestors 'none'"},
            {"Referrer-Policy", "same-origin"}};
}
