#include "records/sending.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <vector>

#include "records/audit_columns.h"
#include "records/columns.h"
#include "records/record_fields.h"
#include "records/schema.h"

namespace records {

namespace {

// One row of a queue: its key there (the record's id, the audit row's seq) and its values in the
// order of the queue's columns.
struct Queued {
    qlonglong key = 0;
    std::vector<QVariant> values;
};

struct Refusal {
    qlonglong key = 0;
    QString message;
};

// What the server made of a batch: the keys of the rows it holds now, and those it refused.
struct Outcome {
    std::vector<qlonglong> taken;
    std::vector<Refusal> refused;
};

// What the records' queue and the audit trail's differ in.
struct Feed {
    const char* table;      // on the server
    const char* unique;     // with the station, what the server keeps a row once by
    const char* savepoint;  // each row's on the server
    const char* key;        // the column of the local queue
    const char* aside;      // the local table of the rows set aside
    bool stops_at_refusal;  // the first row refused stops the batch, and stays queued
    QString (*select)(const char* queue, int batch);  // the oldest rows of `queue`
    int key_column;                                   // of the select
    int values_from;                                  // the select's column of the first value
    int (*value_count)();
    QString (*columns)(int version);  // those a server of `version` has, and their places
    std::vector<std::size_t> (*places)(int version);
    const char* append = nullptr;  // the function a server of PARTITION_LAYOUT takes rows through
};

// What the record holds is at fault, not the link: a data exception (a character the server's
// encoding lacks, a value too long) or an integrity constraint (a check of the plant's own).
bool RefusesTheRecord(const QSqlError& error) {
    const QString state = error.nativeErrorCode();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"));
}

QString TextArray(const QStringList& items) {
    QStringList quoted;
    for (QString item : items) {
        item.replace(QLatin1String("\\"), QLatin1String("\\\\"));
        item.replace(QLatin1String("\""), QLatin1String("\\\""));
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    }
    return QLatin1Char('{') + quoted.join(QLatin1Char(',')) + QLatin1Char('}');
}

// The rows the server holds already, as "station\nuuid".
bool OnServer(QSqlDatabase& server, const std::vector<Queued>& rows, std::set<QString>* held) {
    const auto station = static_cast<std::size_t>(StoredIndex("station"));
    const auto uuid = static_cast<std::size_t>(StoredIndex("uuid"));
    std::map<QString, QStringList> by_station;
    for (const Queued& row : rows) {
        by_station[row.values[station].toString()] << row.values[uuid].toString();
    }
    QSqlQuery query(server);
    if (!query.prepare(QStringLiteral(
            "SELECT uuid FROM inspection WHERE station = ? AND uuid = ANY(CAST(? AS text[]))"))) {
        return false;
    }
    for (const auto& [name, uuids] : by_station) {
        query.bindValue(0, name);
        query.bindValue(1, TextArray(uuids));
        if (!query.exec()) {
            return false;
        }
        while (query.next()) {
            held->insert(name + QLatin1Char('\n') + query.value(0).toString());
        }
    }
    return true;
}

// Takes the batch's `keys` (the column `key` of `queue`) out of `queue` locally, and keeps the
// refused in the table `aside`.
void Settle(QSqlDatabase& local, const char* queue, const char* key, const char* aside_table,
            const std::vector<qlonglong>& keys, const std::vector<Refusal>& refused) {
    if (!local.transaction()) {
        return;
    }
    QSqlQuery done(local);
    done.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                     .arg(QLatin1String(queue), QLatin1String(key)));
    bool ok = true;
    for (const qlonglong sent : keys) {
        done.bindValue(0, sent);
        ok = ok && done.exec();
    }
    QSqlQuery aside(local);
    aside.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (%2, refused_at, message) VALUES "
                                 "(?, ?, ?)")
                      .arg(QLatin1String(aside_table), QLatin1String(key)));
    const QString now = IsoTime(std::chrono::system_clock::now());
    for (const Refusal& refusal : refused) {
        aside.bindValue(0, refusal.key);
        aside.bindValue(1, now);
        aside.bindValue(2, refusal.message);
        ok = ok && aside.exec();
    }
    // Not settled, the batch is sent again, and the server keeps each record once.
    if (!ok || !local.commit()) {
        local.rollback();
    }
}

constexpr const char* OTHER_ROW = "the server holds another row at seq %1 of station %2";

QString RecordsSelect(const char* queue, int batch) {
    return QStringLiteral(
               "SELECT q.record, %1 FROM %2 q JOIN %3 i ON "
               "i.id = q.record ORDER BY q.record LIMIT %4")
        .arg(StoredColumnList(QStringLiteral("i.")), QLatin1String(queue),
             QLatin1String(STORED_VIEW))
        .arg(batch);
}

// The places among the stored columns of those a server of `version` has.
std::vector<std::size_t> ServerColumns(int version) {
    std::vector<std::size_t> places;
    std::size_t place = 0;
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr) {
            continue;
        }
        if (column.server_since <= version) {
            places.push_back(place);
        }
        ++place;
    }
    return places;
}

const Feed RECORDS = {
    .table = "inspection",
    .unique = "uuid",
    .savepoint = "record",
    .key = "record",
    .aside = "refused",
    .stops_at_refusal = false,
    .select = RecordsSelect,
    .key_column = 0,
    .values_from = 1,
    .value_count = [] { return StoredColumnCount(); },
    .columns = [](int version) { return StoredColumnList(QString(), version); },
    .places = ServerColumns,
    .append = RECORD_APPEND_FUNCTION,
};

QString AuditSelect(const char* queue, int batch) {
    return QStringLiteral(
               "SELECT %1 FROM audit WHERE seq IN (SELECT seq FROM %2 ORDER BY "
               "seq LIMIT %3) ORDER BY seq")
        .arg(QString::fromStdString(AuditRowColumns()), QLatin1String(queue))
        .arg(batch);
}

const Feed AUDIT = {
    .table = "audit",
    .unique = "seq",
    .savepoint = "audit_row",
    .key = "seq",
    .aside = "audit_refused",
    .stops_at_refusal = true,
    .select = AuditSelect,
    .key_column = static_cast<int>(AuditPlace("seq")),
    .values_from = 0,
    .value_count = [] { return AUDIT_ROW_COLUMN_COUNT; },
    .columns = [](int version) { return QString::fromStdString(AuditRowColumns(version)); },
    .places = AuditServerPlaces,
};

// The features' rows: the record's station and uuid, then the features, as the server's
// `wave_features` has them.
constexpr const char* FEATURE_COLUMNS =
    "station, uuid, ringing_frequency, damping, standard_error_area, hf_energy";
constexpr int FEATURE_COLUMN_COUNT = 6;

QString FeaturesSelect(const char* queue, int batch) {
    return QStringLiteral(
               "SELECT q.record, r.station, r.uuid, f.ringing_frequency, f.damping, "
               "f.standard_error_area, f.hf_energy FROM %1 q JOIN wave_features f ON f.record = "
               "q.record JOIN inspection_record r ON r.id = q.record ORDER BY q.record LIMIT %2")
        .arg(QLatin1String(queue))
        .arg(batch);
}

const Feed FEATURES = {
    .table = "wave_features",
    .unique = "uuid",
    .savepoint = "features",
    .key = "record",
    .aside = "wave_refused",
    .stops_at_refusal = false,
    .select = FeaturesSelect,
    .key_column = 0,
    .values_from = 1,
    .value_count = [] { return FEATURE_COLUMN_COUNT; },
    .columns = [](int) { return QString::fromLatin1(FEATURE_COLUMNS); },
    .places =
        [](int) {
            std::vector<std::size_t> places(FEATURE_COLUMN_COUNT);
            std::iota(places.begin(), places.end(), std::size_t{0});
            return places;
        },
};

bool ReadQueued(QSqlDatabase& local, const Feed& feed, const char* queue, int batch,
                std::vector<Queued>* rows) {
    QSqlQuery read(local);
    read.setForwardOnly(true);
    if (!read.exec(feed.select(queue, batch))) {
        return false;
    }
    const int columns = feed.value_count();
    while (read.next()) {
        Queued row;
        row.key = read.value(feed.key_column).toLongLong();
        for (int i = 0; i < columns; ++i) {
            row.values.push_back(read.value(feed.values_from + i));
        }
        rows->push_back(std::move(row));
    }
    return read.lastError().type() == QSqlError::NoError;
}

// The records' own steps in the batch's transaction: those the server held already (OnServer)
// are not sent again.
class RecordSteps {
  public:
    RecordSteps(QSqlDatabase&, const std::set<QString>& held) : held_(held) {}
    bool Prepare() { return true; }
    bool Skips(const Queued& row) const {
        return held_.count(row.values[station_].toString() + QLatin1Char('\n') +
                           row.values[uuid_].toString()) > 0;
    }
    bool Kept(const Queued&, std::optional<QString>*) { return true; }
    void Took(const Queued&) {}
    bool Finish() { return true; }

  private:
    const std::set<QString>& held_;
    const std::size_t station_ = static_cast<std::size_t>(StoredIndex("station"));
    const std::size_t uuid_ = static_cast<std::size_t>(StoredIndex("uuid"));
};

// The features': a row the server holds already is the same, as a record's features are
// computed once.
class FeatureSteps {
  public:
    explicit FeatureSteps(QSqlDatabase&) {}
    bool Prepare() { return true; }
    bool Skips(const Queued&) const { return false; }
    bool Kept(const Queued&, std::optional<QString>*) { return true; }
    void Took(const Queued&) {}
    bool Finish() { return true; }
};

// The trail's: a row the server holds already must be the same row, and each station's head
// moves to the newest of its rows the server holds now. A witness keeps the heads itself; a
// station moves them on a server the stations made.
class AuditSteps {
  public:
    explicit AuditSteps(QSqlDatabase& server) : held_(server), head_(server) {}
    bool Prepare() {
        return held_.prepare(
                   QStringLiteral("SELECT hash FROM audit WHERE station = ? AND seq = ?")) &&
               head_.prepare(QStringLiteral(
                   "INSERT INTO audit_head (station, seq, hash) VALUES (?, ?, ?) ON CONFLICT "
                   "(station) DO UPDATE SET seq = EXCLUDED.seq, hash = EXCLUDED.hash "
                   "WHERE audit_head.seq < EXCLUDED.seq"));
    }
    bool Skips(const Queued&) const { return false; }
    // A row the insert left out: false when the server's row cannot be read, `other` set when it
    // is another row.
    bool Kept(const Queued& row, std::optional<QString>* other) {
        const QString station = row.values[STATION].toString();
        held_.bindValue(0, station);
        held_.bindValue(1, row.key);
        if (!held_.exec() || !held_.next()) {
            return false;
        }
        const bool same = held_.value(0).toString() == row.values[HASH].toString();
        held_.finish();
        if (!same) {
            *other = QString::fromLatin1(OTHER_ROW).arg(row.key).arg(station);
        }
        return true;
    }
    void Took(const Queued& row) { newest_[row.values[STATION].toString()] = &row; }
    bool Finish() {
        for (const auto& [station, row] : newest_) {
            head_.bindValue(0, station);
            head_.bindValue(1, row->values[SEQ]);
            head_.bindValue(2, row->values[HASH]);
            if (!head_.exec()) {
                return false;
            }
        }
        return true;
    }

  private:
    static constexpr std::size_t SEQ = AuditPlace("seq");
    static constexpr std::size_t STATION = AuditPlace("station");
    static constexpr std::size_t HASH = AuditPlace("hash");
    QSqlQuery held_;
    QSqlQuery head_;
    std::map<QString, const Queued*> newest_;
};

// What sends a row: the feed's function by the columns' names, on a server of PARTITION_LAYOUT,
// whose records are partitioned by month and so have no unique index of (station, uuid); else
// the insert, which keeps a row once by it.
QString InsertStatement(const Feed& feed, int version) {
    const QStringList columns = feed.columns(version).split(QStringLiteral(", "));
    QStringList values;
    for (const QString& column : columns) {
        values << (feed.append != nullptr && version >= PARTITION_LAYOUT
                       ? QStringLiteral("\"%1\" => ?").arg(column)
                       : QStringLiteral("?"));
    }
    if (feed.append != nullptr && version >= PARTITION_LAYOUT) {
        return QStringLiteral("SELECT %1(%2)")
            .arg(QLatin1String(feed.append), values.join(QStringLiteral(", ")));
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (station, %4) DO NOTHING")
        .arg(QLatin1String(feed.table), columns.join(QStringLiteral(", ")),
             values.join(QStringLiteral(", ")), QLatin1String(feed.unique));
}

// Inserts the rows in one transaction, each under a savepoint of its own, with the feed's `Steps`
// (made with `args`) along the way. A row the server refuses is rolled back to its savepoint; on
// a feed that stops at one, the rows after it wait behind it, so that a chain arrives whole.
template <typename Steps, typename... Args>
bool Insert(QSqlDatabase& server, const Feed& feed, int version, const std::vector<Queued>& rows,
            const std::atomic<bool>& stopping, Outcome* outcome, const Args&... args) {
    if (!server.transaction()) {
        return false;
    }
    QSqlQuery insert(server);
    QSqlQuery savepoint(server);
    Steps steps(server, args...);
    const std::vector<std::size_t> columns = feed.places(version);
    const auto fail = [&server] {
        server.rollback();
        return false;
    };
    if (!insert.prepare(InsertStatement(feed, version)) || !steps.Prepare()) {
        return fail();
    }
    const QString save = QStringLiteral("SAVEPOINT %1").arg(QLatin1String(feed.savepoint));
    const QString back =
        QStringLiteral("ROLLBACK TO SAVEPOINT %1").arg(QLatin1String(feed.savepoint));
    for (const Queued& row : rows) {
        if (steps.Skips(row)) {
            outcome->taken.push_back(row.key);
            continue;
        }
        if (stopping || !savepoint.exec(save)) {
            return fail();
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            insert.bindValue(static_cast<int>(i), row.values[columns[i]]);
        }
        std::optional<QString> refusal;
        if (!insert.exec()) {
            if (!RefusesTheRecord(insert.lastError()) || !savepoint.exec(back)) {
                return fail();
            }
            refusal = insert.lastError().databaseText().trimmed();
        } else if (insert.numRowsAffected() == 0 && !steps.Kept(row, &refusal)) {
            return fail();
        }
        if (refusal) {
            outcome->refused.push_back({row.key, *refusal});
            if (feed.stops_at_refusal) {
                break;
            }
            continue;
        }
        outcome->taken.push_back(row.key);
        steps.Took(row);
    }
    return (steps.Finish() && server.commit()) || fail();
}

// Takes the batch out of `queue` locally once the server has committed it. The refused are set
// aside, or on a feed that stops at one, stay queued.
Sent Settled(QSqlDatabase& local, const Feed& feed, const char* queue,
             const std::vector<Queued>& rows, const Outcome& outcome) {
    std::vector<qlonglong> keys = outcome.taken;
    if (!feed.stops_at_refusal) {
        keys.clear();
        for (const Queued& row : rows) {
            keys.push_back(row.key);
        }
    }
    Settle(local, queue, feed.key, feed.aside, keys,
           feed.stops_at_refusal ? std::vector<Refusal>() : outcome.refused);
    Sent result;
    result.sent = static_cast<int>(outcome.taken.size());
    result.refused = static_cast<int>(outcome.refused.size());
    if (!outcome.refused.empty()) {
        result.message = outcome.refused.back().message;
        if (feed.stops_at_refusal) {
            result.refused_at = outcome.refused.back().key;
        }
    }
    return result;
}

Sent Failed() {
    Sent result;
    result.failed = true;
    return result;
}

}  // namespace

Sent SendQueued(QSqlDatabase& local, QSqlDatabase& server, int version, const char* queue,
                int batch, const std::atomic<bool>& stopping) {
    std::vector<Queued> rows;
    if (!ReadQueued(local, RECORDS, queue, batch, &rows)) {
        return Failed();
    }
    if (rows.empty()) {
        return Sent();
    }
    std::set<QString> held;
    Outcome outcome;
    if (!OnServer(server, rows, &held) ||
        !Insert<RecordSteps>(server, RECORDS, version, rows, stopping, &outcome, held)) {
        return Failed();
    }
    return Settled(local, RECORDS, queue, rows, outcome);
}

Sent SendAuditQueued(QSqlDatabase& local, QSqlDatabase& server, int version, int batch,
                     const std::atomic<bool>& stopping) {
    constexpr const char* QUEUE = "audit_outbox";
    std::vector<Queued> rows;
    if (!ReadQueued(local, AUDIT, QUEUE, batch, &rows)) {
        return Failed();
    }
    if (rows.empty()) {
        return Sent();
    }
    Outcome outcome;
    if (!Insert<AuditSteps>(server, AUDIT, version, rows, stopping, &outcome)) {
        return Failed();
    }
    return Settled(local, AUDIT, QUEUE, rows, outcome);
}

Sent SendFeaturesQueued(QSqlDatabase& local, QSqlDatabase& server, int batch,
                        const std::atomic<bool>& stopping) {
    constexpr const char* QUEUE = "wave_outbox";
    std::vector<Queued> rows;
    if (!ReadQueued(local, FEATURES, QUEUE, batch, &rows)) {
        return Failed();
    }
    if (rows.empty()) {
        return Sent();
    }
    Outcome outcome;
    if (!Insert<FeatureSteps>(server, FEATURES, FEATURES_LAYOUT, rows, stopping, &outcome)) {
        return Failed();
    }
    return Settled(local, FEATURES, QUEUE, rows, outcome);
}

}  // namespace records
