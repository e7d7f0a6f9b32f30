// The panel's reads of the history, each a walk along one index over the filter's range.
#include "history/history_query.h"
#include "history/filter_sql.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cstring>

#include "history/counts.h"
#include "records/columns.h"
#include "records/database_file.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "records/server_config.h"
#include "records/server_link.h"
#include "records/station_file.h"

namespace history {

namespace {

const QString DATE_FORMAT = QStringLiteral("yyyy-MM-dd");

QSqlDatabase Database(const Reader& reader) {
    return QSqlDatabase::database(QString::fromStdString(reader.connection), false);
}

// The name the reader's watch of the station's file goes by.
std::string WatchName(const Reader& reader) {
    return "history_reader " + reader.connection;
}

// The filter as a WHERE clause over [lo, hi) and its values in order. A unit's number is the
// most selective term: the "+" keeps the planner off the master's index when both are given.
struct Where {
    QString sql;
    QVariantList values;
};

Where BuildWhere(const Reader& reader, const Filter& filter, const QString& lo, const QString& hi) {
    Where where{QStringLiteral("started_at >= ? AND started_at < ?"), {lo, hi}};
    if (!filter.serial.empty()) {
        where.sql += QStringLiteral(" AND serial = ?");
        where.values << QString::fromStdString(filter.serial);
    }
    if (!filter.master.empty()) {
        where.sql += filter.serial.empty() || reader.on_server ? QStringLiteral(" AND master = ?")
                                                               : QStringLiteral(" AND +master = ?");
        where.values << QString::fromStdString(filter.master);
    }
    if (!filter.station.empty()) {
        where.sql += QStringLiteral(" AND station = ?");
        where.values << QString::fromStdString(filter.station);
    }
    if (!filter.operator_name.empty()) {
        where.sql += QStringLiteral(" AND operator = ?");
        where.values << QString::fromStdString(filter.operator_name);
    }
    if (filter.outcome) {
        where.sql += QStringLiteral(" AND outcome = ?");
        where.values << QString::fromLatin1(Outcome_text(*filter.outcome));
    }
    // What the server refused is known only to the station's own file.
    if (filter.refused) {
        where.sql += reader.on_server ? QStringLiteral(" AND 0 = 1")
                                      : QStringLiteral(" AND id IN (SELECT record FROM refused)");
    }
    // A server not set up for the wave's columns holds no record the station flagged.
    if (filter.wave_alarm) {
        where.sql += reader.wave_columns ? QStringLiteral(" AND wave_alarm = 1")
                                         : QStringLiteral(" AND 0 = 1");
    }
    return where;
}

bool DayBounds(const Filter& filter, QString* lo, QString* hi) {
    if (!filter.from_at.empty() || !filter.to_at.empty()) {
        const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
        const QDateTime from =
            QDateTime::fromString(QString::fromStdString(filter.from_at), format);
        const QDateTime to = QDateTime::fromString(QString::fromStdString(filter.to_at), format);
        if (!from.isValid() || !to.isValid() || from >= to) {
            return false;
        }
        *lo = from.toString(format);
        *hi = to.toString(format);
        return true;
    }
    const QDate from = QDate::fromString(QString::fromStdString(filter.from), DATE_FORMAT);
    const QDate to = QDate::fromString(QString::fromStdString(filter.to), DATE_FORMAT);
    if (!from.isValid() || !to.isValid() || from > to) {
        return false;
    }
    *lo = from.toString(DATE_FORMAT);
    *hi = to.addDays(1).toString(DATE_FORMAT);
    return true;
}

bool Prepare(QSqlQuery* query, const QString& sql, const QVariantList& values) {
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        return false;
    }
    for (const QVariant& value : values) {
        query->addBindValue(value);
    }
    return true;
}

// Local wall-clock time of a stored "YYYY-MM-DDTHH:MM:SS..." as days since `first` began.
double DayOf(const QString& started_at, const QDate& first) {
    const QDate date = QDate::fromString(started_at.left(10), DATE_FORMAT);
    const QTime time = QTime::fromString(started_at.mid(11, 8), QStringLiteral("HH:mm:ss"));
    return first.daysTo(date) + (time.isValid() ? time.msecsSinceStartOfDay() / 86400000.0 : 0.0);
}

TrendPoint PointOf(const QSqlQuery& query, const QDate& first) {
    return {DayOf(query.value(0).toString(), first), query.value(1).toInt(),
            query.value(2).toInt()};
}

}  // namespace

bool OpenReader(const std::string& file, Reader* reader) {
    CloseReader(*reader);
    reader->on_server = false;
    reader->wave_columns = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                    QString::fromStdString(reader->connection));
        db.setDatabaseName(QString::fromStdString(file));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            QSqlQuery query(db);
            // A file without records yet gets the station's tables, so that it reads as empty; one
            // the station has made is left to the station, which alone upgrades it.
            if (query.exec(
                    QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'inspection'")) &&
                !query.next()) {
                for (const std::string& statement : records::LocalSchema(0)) {
                    query.exec(QString::fromStdString(statement));
                }
            }
            query.exec(QStringLiteral("PRAGMA cache_size = -16384"));
            if (query.exec(QStringLiteral("SELECT id FROM inspection LIMIT 1"))) {
                // The station's own file set aside or put back: the reader follows it.
                if (file == records::DATABASE_FILE) {
                    const Reader opened = *reader;
                    records::WatchStationFile(WatchName(opened),
                                              {[opened] { CloseReader(opened); },
                                               [file, again = opened](const QString&) mutable {
                                                   OpenReader(file, &again);
                                               }});
                }
                return true;
            }
        }
    }
    CloseReader(*reader);
    return false;
}

void CloseReader(const Reader& reader) {
    records::WatchStationFile(WatchName(reader), {});
    const QString connection = QString::fromStdString(reader.connection);
    if (QSqlDatabase::contains(connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
}

namespace {

// The server's tables and indexes are the stations' to create, under the schema's lock: before
// the first station has sent, the server cannot be read and the file is read instead. The reads
// wait at most the link's stated times: 2 s to connect, 10 s a statement, a dead link noticed by
// its keepalives and user timeout.
bool OpenServerReader(const records::ServerConfig& server, Reader* reader) {
    CloseReader(*reader);
    QString reason;
    if (records::ConnectToRead(server, QString::fromStdString(reader->connection), &reason) ==
        records::Link::Ok) {
        QSqlQuery query(Database(*reader));
        if (query.exec(QStringLiteral("SET statement_timeout = 10000")) &&
            query.exec(QStringLiteral("SELECT id FROM inspection LIMIT 1"))) {
            reader->on_server = true;
            reader->wave_columns =
                query.exec(QStringLiteral("SELECT wave_alarm FROM inspection LIMIT 1"));
            return true;
        }
    }
    CloseReader(*reader);
    return false;
}

}  // namespace

bool OpenHistoryReader(const std::string& file, Reader* reader, Source* source) {
    QString error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&error);
    if (server && OpenServerReader(*server, reader)) {
        *source = Source::Server;
        return true;
    }
    *source = server ? Source::FileServerUnreachable : Source::File;
    return OpenReader(file, reader);
}

std::string ThisStation() {
    return records::StationName().toStdString();
}

bool CountRecords(const Reader& reader, const Filter& filter, Counts* counts, long long* records) {
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi)) {
        return false;
    }
    const Where where = BuildWhere(reader, filter, lo, hi);
    QSqlQuery query(Database(reader));
    if (!Prepare(&query,
                 QStringLiteral("SELECT COUNT(*), %1 FROM inspection WHERE %2")
                     .arg(CountsColumns(), where.sql),
                 where.values) ||
        !query.exec() || !query.next()) {
        return false;
    }
    *records = query.value(0).toLongLong();
    *counts = CountsAt(query, 1);
    return true;
}

bool CountUnits(const Reader& reader, const Filter& filter, UnitCounts* units) {
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi)) {
        return false;
    }
    const Where where = BuildWhere(reader, filter, lo, hi);
    QSqlQuery query(Database(reader));
    if (!Prepare(&query, UnitCountsQuery(where.sql), where.values) || !query.exec() ||
        !query.next()) {
        return false;
    }
    *units = {query.value(0).toLongLong(), query.value(1).toLongLong(),
              query.value(2).toLongLong()};
    return true;
}

bool ListPassedOnRetest(const Reader& reader, const Filter& filter,
                        std::vector<RetestedUnit>* units) {
    units->clear();
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi)) {
        return false;
    }
    const Where where = BuildWhere(reader, filter, lo, hi);
    QSqlQuery query(Database(reader));
    if (!Prepare(&query, PassedOnRetestQuery(where.sql), where.values) || !query.exec()) {
        return false;
    }
    while (query.next()) {
        units->push_back({query.value(0).toString().toStdString(), query.value(1).toInt(),
                          query.value(2).toString().toStdString()});
    }
    return true;
}

bool FetchPage(const Reader& reader, const Filter& filter, const PageKey* after, int rows,
               std::vector<ListedRecord>* page) {
    page->clear();
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi)) {
        return false;
    }
    Where where = BuildWhere(reader, filter, lo, hi);
    if (after != nullptr) {
        const QString key = QString::fromStdString(after->started_at);
        where.sql += QStringLiteral(" AND started_at <= ? AND (started_at < ? OR id < ?)");
        where.values << key << key << after->id;
    }
    where.values << rows;
    QSqlQuery query(Database(reader));
    if (!Prepare(&query,
                 QStringLiteral("SELECT id, started_at, serial, master, outcome, area, phase,"
                                " station FROM inspection WHERE ") +
                     where.sql + QStringLiteral(" ORDER BY started_at DESC, id DESC LIMIT ?"),
                 where.values) ||
        !query.exec()) {
        return false;
    }
    while (query.next()) {
        ListedRecord record;
        record.id = query.value(0).toLongLong();
        record.started_at = query.value(1).toString().toStdString();
        record.serial = query.value(2).toString().toStdString();
        record.master = query.value(3).toString().toStdString();
        record.outcome = query.value(4).toString().toStdString();
        record.has_readings = !query.value(5).isNull() && !query.value(6).isNull();
        record.area = query.value(5).toInt();
        record.phase = query.value(6).toInt();
        record.station = query.value(7).toString().toStdString();
        page->push_back(std::move(record));
    }
    return true;
}

// A filter with few records gives them all; otherwise the range is cut into `points` slices of
// time and each slice gives its first record, one short walk along the index per slice. The
// outcome, which the indexes hold, passes over incomplete cycles without reading their rows.
bool SampleTrend(const Reader& reader, const Filter& filter, long long count, int points,
                 std::vector<TrendPoint>* trend) {
    trend->clear();
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi) || points <= 0) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    const QDate first = QDate::fromString(lo, DATE_FORMAT);
    const QString columns = QStringLiteral(
        "SELECT started_at, area, phase FROM inspection WHERE %1 AND outcome <> 'incomplete'"
        " AND area IS NOT NULL AND phase IS NOT NULL ORDER BY started_at LIMIT ?");
    QSqlQuery query(Database(reader));
    if (count <= points) {
        Where where = BuildWhere(reader, filter, lo, hi);
        where.values << points;
        if (!Prepare(&query, columns.arg(where.sql), where.values) || !query.exec()) {
            return false;
        }
        while (query.next()) {
            trend->push_back(PointOf(query, first));
        }
        return true;
    }
    const Where where = BuildWhere(reader, filter, lo, hi);
    if (!Prepare(&query, columns.arg(where.sql), where.values)) {
        return false;
    }
    const QDateTime start(first, QTime(0, 0));
    const qint64 span = start.secsTo(QDateTime(QDate::fromString(hi, DATE_FORMAT), QTime(0, 0)));
    const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    for (int k = 0; k < points; ++k) {
        query.bindValue(0, start.addSecs(span * k / points).toString(format));
        query.bindValue(1, start.addSecs(span * (k + 1) / points).toString(format));
        query.bindValue(where.values.size(), 1);
        if (!query.exec()) {
            return false;
        }
        if (query.next()) {
            trend->push_back(PointOf(query, first));
        }
    }
    return true;
}

bool FetchWaves(const Reader& reader, long long id, std::optional<Wave>* standard,
                std::optional<Wave>* measured) {
    QSqlQuery query(Database(reader));
    if (!Prepare(&query,
                 QStringLiteral("SELECT standard_wave, measured_wave FROM inspection WHERE id = ?"),
                 {id}) ||
        !query.exec() || !query.next()) {
        return false;
    }
    const auto take = [&query](int column, std::optional<Wave>* wave) {
        const QByteArray bytes = query.value(column).toByteArray();
        wave->reset();
        if (bytes.size() == WAVE_SAMPLES) {
            wave->emplace();
            std::copy(bytes.cbegin(), bytes.cend(), (*wave)->begin());
        }
    };
    take(0, standard);
    take(1, measured);
    return true;
}

bool FetchRefusal(const Reader& reader, long long id, std::string* message) {
    message->clear();
    if (reader.on_server) {
        return true;
    }
    QSqlQuery query(Database(reader));
    if (!Prepare(&query, QStringLiteral("SELECT refused_at, message FROM refused WHERE record = ?"),
                 {id}) ||
        !query.exec()) {
        return false;
    }
    if (query.next()) {
        *message = (query.value(0).toString().left(19).replace(QLatin1Char('T'), QLatin1Char(' ')) +
                    QStringLiteral(" 서버 거부: ") + query.value(1).toString())
                       .toStdString();
    }
    return true;
}

bool ScanRecords(const Reader& reader, const Filter& filter,
                 const std::function<bool(const std::vector<std::string>& cells)>& row) {
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi)) {
        return false;
    }
    const Where where = BuildWhere(reader, filter, lo, hi);
    const std::vector<const records::Column*> exported = records::CsvColumns();
    QStringList columns;
    for (const records::Column* column : exported) {
        columns << QLatin1String(column->name);
    }
    QSqlQuery query(Database(reader));
    if (!Prepare(&query,
                 QStringLiteral("SELECT %1 FROM inspection WHERE %2 ORDER BY started_at, id")
                     .arg(columns.join(QLatin1Char(',')), where.sql),
                 where.values) ||
        !query.exec()) {
        return false;
    }
    std::vector<std::string> cells(exported.size());
    while (query.next()) {
        for (int i = 0; i < static_cast<int>(cells.size()); ++i) {
            const QVariant value = query.value(i);
            if (value.isNull()) {
                cells[i].clear();
            } else if (std::strcmp(exported[static_cast<std::size_t>(i)]->local_type, "REAL") ==
                       0) {
                // Readings in tenths, as the station shows them; the wave's features finer.
                cells[i] = QString::number(value.toDouble(), 'f',
                                           exported[static_cast<std::size_t>(i)]->decimals)
                               .toStdString();
            } else {
                cells[i] = value.toString().toStdString();
            }
        }
        if (!row(cells)) {
            break;
        }
    }
    return query.lastError().type() == QSqlError::NoError;
}

std::vector<std::string> ExportColumns() {
    std::vector<std::string> names;
    for (const records::Column* column : records::CsvColumns()) {
        names.emplace_back(column->name);
    }
    return names;
}

std::string AddDays(const std::string& date, int days) {
    const QDate day = QDate::fromString(QString::fromStdString(date), DATE_FORMAT);
    return day.isValid() ? day.addDays(days).toString(DATE_FORMAT).toStdString() : std::string();
}

int DaysBetween(const std::string& from, const std::string& to) {
    return static_cast<int>(
        QDate::fromString(QString::fromStdString(from), DATE_FORMAT)
            .daysTo(QDate::fromString(QString::fromStdString(to), DATE_FORMAT)));
}

bool FilterPeriod(const Filter& filter, QString* from, QString* to) {
    return DayBounds(filter, from, to);
}

bool FilterWhere(const Reader& reader, const Filter& filter, FilterSql* where) {
    QString lo, hi;
    if (!DayBounds(filter, &lo, &hi)) {
        return false;
    }
    const Where built = BuildWhere(reader, filter, lo, hi);
    where->sql = built.sql;
    where->values = built.values;
    where->from = lo;
    where->to = hi;
    return true;
}

QSqlDatabase ReaderDatabase(const Reader& reader) {
    return Database(reader);
}

bool PrepareRead(QSqlQuery* query, const QString& sql, const QVariantList& values) {
    return Prepare(query, sql, values);
}

}  // namespace history
