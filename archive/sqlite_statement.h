// One prepared statement run straight on the SQLite handle under a Qt
// connection: the writer's statements run every second, and Qt's binding and
// its re-parsed BEGIN and COMMIT cost several times SQLite's own work.
#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// The connection's SQLite handle, or null (not open, not SQLite).
sqlite3 *sqliteHandleOf(const QSqlDatabase &db);

class SqliteStatement {
public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // False (with error() saying why) when the statement cannot be prepared.
    bool prepare(const QSqlDatabase &db, const QByteArray &sql);
    void finish(); // releases the statement; before the connection closes
    bool isPrepared() const { return m_stmt != nullptr; }

    // Binding by position, from 1.
    void bindInt(int position, std::int64_t value);
    void bindNull(int position);
    void bindText(int position, const QString &value);
    // Runs it to the end and makes it ready for the next run. False, with
    // error() saying why, when SQLite refused.
    bool run();
    QString error() const { return m_error; }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_error;
};
