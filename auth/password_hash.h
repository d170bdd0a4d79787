// The page's password, kept only as an argon2id hash (libsodium's
// crypto_pwhash_str: the text names the algorithm, its cost and a random salt).
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

inline const QString kWebSubKey = QStringLiteral("Web");
inline const QString kPasswordHashKey = QStringLiteral("PasswordHash");

struct PasswordCost {
    unsigned long long operations;
    size_t memoryBytes;
};
// Two passes over 19 MiB (OWASP's recommended minimum for argon2id): fits a
// Raspberry-class machine with 512 MB beside the program, and a login takes a
// fraction of a second there rather than holding the board up.
PasswordCost defaultPasswordCost();
// The cheapest cost libsodium allows (tests that try many passwords).
PasswordCost cheapestPasswordCost();

constexpr int kMinPasswordLength = 8;
constexpr int kMaxPasswordBytes = 1024;

// Why a password is not accepted for setting (empty: it is).
QString passwordProblem(const QByteArray &password);
// The hash text, or nothing when the memory could not be had.
std::optional<QByteArray> hashPassword(const QByteArray &password, PasswordCost cost = defaultPasswordCost());
// Whether password is the one hashed; false for a text that is no argon2id hash.
bool passwordMatches(const QByteArray &hash, const QByteArray &password);
bool isPasswordHash(const QByteArray &text);
