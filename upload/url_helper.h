// URL text functions of the upload: splitting a service address into its parts
// and percent-encoding the values of the report query.
#pragma once

#include <QString>

struct UrlParts {
    QString Scheme; // text before "://", empty when the URL has none
    QString Host;   // may be empty
    int Port = 0;   // port given in the URL; 0 when none, not numeric or out of range
    QString Path;   // "/" when nothing follows the host
    QString Query;  // text after the first "?", empty when none
};

// Splits a URL the way the service address has always been read: a colon only
// counts as a port separator before the first "/", and a URL without any "/"
// after the host keeps its whole remainder (port included) as the host.
UrlParts SplitUrl(const QString &url);

// Copies ASCII letters and digits; every other byte of the UTF-8 form becomes
// "%" and two upper-case hex digits (a space is "%20", never "+").
QString PercentEncode(const QString &text);
