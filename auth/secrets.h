// Random tokens, constant-time comparison and keyed digests (libsodium), for
// session IDs, CSRF tokens and remembered credentials.
#pragma once

#include <QByteArray>

// Initialises libsodium once; false when it cannot be used (no entropy).
bool secretsReady();
// bytes random bytes as unpadded base64url text (32 bytes: 43 characters).
QByteArray randomToken(int bytes = 32);
// Equal texts, compared in a time that does not depend on where they differ.
bool sameSecret(const QByteArray &a, const QByteArray &b);
// A digest of text under a key made once per process: what is kept of a
// session ID or a credential, so that memory holds no usable secret.
QByteArray keyedDigest(const QByteArray &text);
// Overwrites a buffer that held a secret.
void wipe(QByteArray &secret);
