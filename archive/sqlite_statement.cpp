#include "archive/sqlite_statement.h"

#include <QSqlDriver>
#include <QVariant>
#include <sqlite3.h>

sqlite3 *sqliteHandleOf(const QSqlDatabase &db)
{
    const QVariant h = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(h.constData());
}

SqliteStatement::~SqliteStatement()
{
    finish();
}

bool SqliteStatement::prepare(const QSqlDatabase &db, const QByteArray &sql)
{
    finish();
    m_db = sqliteHandleOf(db);
    if (!m_db) {
        m_error = QStringLiteral("not an open SQLite connection");
        return false;
    }
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        m_stmt = nullptr;
        return false;
    }
    return true;
}

void SqliteStatement::finish()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

void SqliteStatement::bindInt(int position, std::int64_t value)
{
    sqlite3_bind_int64(m_stmt, position, sqlite3_int64(value));
}

void SqliteStatement::bindNull(int position)
{
    sqlite3_bind_null(m_stmt, position);
}

void SqliteStatement::bindText(int position, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, position, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool SqliteStatement::run()
{
    if (!m_stmt)
        return false;
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(m_stmt);
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (rc == SQLITE_DONE)
        return true;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}
