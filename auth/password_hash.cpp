#include "auth/password_hash.h"

#include "auth/secrets.h"

#include <sodium.h>

PasswordCost defaultPasswordCost()
{
    return {2, 19456 * 1024};
}

PasswordCost cheapestPasswordCost()
{
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

QString passwordProblem(const QByteArray &password)
{
    if (password.isEmpty())
        return QStringLiteral("the password is empty");
    if (QString::fromUtf8(password).size() < kMinPasswordLength)
        return QStringLiteral("the password must have at least %1 characters").arg(kMinPasswordLength);
    if (password.size() > kMaxPasswordBytes)
        return QStringLiteral("the password is longer than %1 bytes").arg(kMaxPasswordBytes);
    return {};
}

std::optional<QByteArray> hashPassword(const QByteArray &password, PasswordCost cost)
{
    if (!secretsReady())
        return std::nullopt;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.constData(), static_cast<unsigned long long>(password.size()), cost.operations,
                          cost.memoryBytes) != 0)
        return std::nullopt;
    return QByteArray(out);
}

bool isPasswordHash(const QByteArray &text)
{
    return text.startsWith("$argon2id$") && text.size() < crypto_pwhash_STRBYTES;
}

bool passwordMatches(const QByteArray &hash, const QByteArray &password)
{
    if (!secretsReady() || !isPasswordHash(hash))
        return false;
    return crypto_pwhash_str_verify(hash.constData(), password.constData(),
                                    static_cast<unsigned long long>(password.size())) == 0;
}
