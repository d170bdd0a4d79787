// The login and logout pages: self-contained HTML (no script, inline style),
// every text escaped.
#pragma once

#include "core/http_route.h"

#include <QByteArray>
#include <QString>

QByteArray loginPageHtml(const QString &message, const QByteArray &next, bool passwordSet);
QByteArray logoutPageHtml(const QByteArray &csrf);
// Headers every auth answer carries: not stored, not framed.
HttpHeaders privatePageHeaders();
// A local path to go to after the login ("/" unless next is one of ours).
QByteArray safeNext(const QByteArray &next);
