#include "records/server_link.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

#include "records/schema.h"

namespace records {

namespace {

// The layout setup-server made (WITNESS_LAYOUT or later); 0 on a server the stations made.
int WitnessLayout(QSqlDatabase& db) {
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT CASE WHEN to_regclass('server_layout') IS NULL THEN 0 "
                                     "ELSE 1 END")) &&
                   query.next() && query.value(0).toInt() == 1 &&
                   query.exec(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM "
                                             "server_layout")) &&
                   query.next()
               ? query.value(0).toInt()
               : 0;
}

// Creates the server's tables or brings them to this station's version, one station at a time.
Link CheckSchema(QSqlDatabase& db, int* version) {
    QSqlQuery query(db);
    // The usual case, a server at this version, needs no lock.
    if (query.exec(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")) &&
        query.next() && query.value(0).toInt() >= SCHEMA_VERSION) {
        *version = query.value(0).toInt();
        if (*version > SCHEMA_VERSION) {
            return Link::Newer;
        }
        *version = std::max(*version, WitnessLayout(db));
        return Link::Ok;
    }
    const auto run = [&](const QString& sql) { return query.exec(sql); };
    if (!db.transaction()) {
        return Link::Down;
    }
    bool ok = run(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SERVER_SCHEMA_LOCK)) &&
              run(QString::fromLatin1(CREATE_SCHEMA_VERSION)) &&
              run(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")) &&
              query.next();
    *version = ok ? query.value(0).toInt() : 0;
    if (ok && *version > SCHEMA_VERSION) {
        db.rollback();
        return Link::Newer;
    }
    if (ok && *version < SCHEMA_VERSION) {
        for (const std::string& statement : ServerSchema(*version)) {
            ok = ok && run(QString::fromStdString(statement));
        }
        *version = SCHEMA_VERSION;
    }
    if (!ok || !db.commit()) {
        db.rollback();
        return Link::Down;
    }
    return Link::Ok;
}

// A station's login finds the intake first in its path on a server of PARTITION_LAYOUT, for the
// stations of an earlier version; this one reads the records themselves and appends through the
// function, so it leaves the intake out there. The layout is read only where the intake is in the
// path, so a server without `server_layout` is never asked for it.
QString LeaveIntake() {
    return QStringLiteral(
               "DO $$ BEGIN IF '%1' = ANY(current_schemas(false)) THEN IF (SELECT MAX(version) "
               "FROM server_layout) >= %2 THEN PERFORM set_config('search_path', "
               "array_to_string(ARRAY(SELECT quote_ident(s) FROM unnest(current_schemas(false)) s "
               "WHERE s <> '%1'), ', '), false); END IF; END IF; END $$")
        .arg(QLatin1String(SERVER_INTAKE_SCHEMA))
        .arg(PARTITION_LAYOUT);
}

Link Failure(const QString& text) {
    if (text.contains(QLatin1String("certificate")) || text.contains(QLatin1String("SSL"))) {
        return Link::Untrusted;
    }
    if (text.contains(QLatin1String("FATAL")) || text.contains(QLatin1String("password"))) {
        return Link::Refused;
    }
    return Link::Down;
}

}  // namespace

void Drop(const QString& name) {
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

Link ConnectToRead(const ServerConfig& server, const QString& name, QString* reason) {
    Drop(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    db.setUserName(server.user);
    db.setPassword(server.password);
    db.setConnectOptions(server.LinkOptions());
    if (!db.open()) {
        *reason = db.lastError().databaseText().trimmed();
        return Failure(*reason);
    }
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SET statement_timeout = 5000")) && query.exec(LeaveIntake())
               ? Link::Ok
               : Link::Down;
}

Link Connect(const ServerConfig& server, const QString& name, int* version, QString* reason) {
    const Link link = ConnectToRead(server, name, reason);
    if (link != Link::Ok) {
        return link;
    }
    QSqlDatabase db = QSqlDatabase::database(name, false);
    return CheckSchema(db, version);
}

}  // namespace records
