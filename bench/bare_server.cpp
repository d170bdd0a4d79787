// The least a Qt program that serves HTTP and archives once a second is: an
// HTTP server listening, a database in WAL mode gaining one row a second (a
// commit each, as the archive does), nothing else. The floor of resident
// memory and the archive's share of the processor, for idle_cost.
//   bare_server FOLDER PORT
#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <QHttpServer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QHttpServer server;
    server.route(QStringLiteral("/"), [] { return QStringLiteral("bare"); });
    if (!server.listen(QHostAddress::LocalHost, quint16(QByteArray(argv[2]).toUInt())))
        return 1;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/bare.sqlite"));
    if (!db.open())
        return 1;
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS t (t INTEGER PRIMARY KEY, a REAL, b REAL, c REAL, d REAL, e TEXT)"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?, ?, ?, ?, ?)"));
    QTimer second;
    second.setTimerType(Qt::PreciseTimer);
    QObject::connect(&second, &QTimer::timeout, [&insert] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const QVariant &v : {QVariant(now), QVariant(1.5), QVariant(-20.25), QVariant(45.0), QVariant(3.5), QVariant("safe")})
            insert.addBindValue(v);
        insert.exec();
    });
    second.start(1000);
    return app.exec();
}
