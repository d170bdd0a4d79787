#include "auth/secrets.h"

#include <sodium.h>

bool secretsReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

QByteArray randomToken(int bytes)
{
    secretsReady();
    QByteArray raw(bytes, Qt::Uninitialized);
    randombytes_buf(raw.data(), size_t(raw.size()));
    const QByteArray text = raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    wipe(raw);
    return text;
}

bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return false;
    return sodium_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

QByteArray keyedDigest(const QByteArray &text)
{
    secretsReady();
    static const QByteArray key = [] {
        QByteArray k(crypto_generichash_KEYBYTES, Qt::Uninitialized);
        crypto_generichash_keygen(reinterpret_cast<unsigned char *>(k.data()));
        return k;
    }();
    QByteArray out(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char *>(out.data()), size_t(out.size()),
                       reinterpret_cast<const unsigned char *>(text.constData()), size_t(text.size()),
                       reinterpret_cast<const unsigned char *>(key.constData()), size_t(key.size()));
    return out;
}

void wipe(QByteArray &secret)
{
    if (!secret.isEmpty())
        sodium_memzero(secret.data(), size_t(secret.size()));
    secret.clear();
}
