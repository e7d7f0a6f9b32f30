#include "records/record_check.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

#include "records/columns.h"
#include "records/record_chain.h"

namespace records {

namespace {

using Hash = std::array<unsigned char, 32>;

const QString GENESIS = QString(64, QLatin1Char('0'));

Hash Binary(const QString& hex) {
    Hash hash{};
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), 32), hash.begin());
    return hash;
}

std::string Seqs(long long from, long long to) {
    return from == to ? "seq " + std::to_string(from)
                      : "seq " + std::to_string(from) + " to " + std::to_string(to);
}

ChainVerdict Unreadable(const QSqlQuery& query, const char* what) {
    return {false, std::nullopt,
            std::string("cannot read ") + what + ": " +
                query.lastError().databaseText().trimmed().toStdString()};
}

ChainVerdict Broken(std::string why) {
    return {true, std::move(why), {}};
}

long long Count(QSqlQuery& query, const QString& sql) {
    return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
}

}  // namespace

bool FileChain::Holds(long long seq) const {
    return seq >= first && seq <= Last() && hashes[static_cast<std::size_t>(seq - first)] != Hash{};
}

ChainVerdict CheckFileRecords(QSqlDatabase& file, FileChain* chain) {
    QSqlQuery query(file);
    query.setForwardOnly(true);
    if (!file.record(QStringLiteral("inspection_record")).contains(QLatin1String(CHAIN_SEQ))) {
        chain->unchained = Count(query, QStringLiteral("SELECT COUNT(*) FROM inspection"));
        return {true, std::nullopt,
                std::to_string(std::max(0LL, chain->unchained)) +
                    " records, all kept before the records' chain began"};
    }
    chain->unchained =
        Count(query, QStringLiteral("SELECT COUNT(*) FROM inspection_record WHERE seq IS NULL"));
    if (!query.exec(QStringLiteral("SELECT seq FROM inspection_record WHERE seq IS NOT NULL AND "
                                   "id IN (SELECT record FROM outbox UNION SELECT record FROM "
                                   "refused)"))) {
        return Unreadable(query, "the file's queue of records");
    }
    while (query.next()) {
        chain->unacknowledged.insert(query.value(0).toLongLong());
    }
    if (!query.exec(QStringLiteral("SELECT started_at, serial, %1 FROM inspection WHERE seq IS "
                                   "NOT NULL ORDER BY seq")
                        .arg(StoredColumnList()))) {
        return Unreadable(query, "the file's records");
    }
    const int columns = StoredColumnCount();
    const auto at_seq = static_cast<std::size_t>(StoredIndex(CHAIN_SEQ));
    const auto at_prev = static_cast<std::size_t>(StoredIndex(CHAIN_PREV));
    const auto at_hash = static_cast<std::size_t>(StoredIndex(CHAIN_HASH));
    std::vector<QVariant> values(static_cast<std::size_t>(columns));
    long long last = 0;
    QString last_hash = GENESIS;
    while (query.next()) {
        for (int i = 0; i < columns; ++i) {
            values[static_cast<std::size_t>(i)] = query.value(i + 2);
        }
        const long long seq = values[at_seq].toLongLong();
        const QString hash = values[at_hash].toString();
        const std::string which = "record " + Seqs(seq, seq) + " (" +
                                  query.value(0).toString().toStdString() + ", " +
                                  query.value(1).toString().toStdString() + ")";
        if (chain->hashes.empty()) {
            chain->first = seq;
        }
        if (seq != last + 1) {
            return Broken("records " + Seqs(last + 1, seq - 1) + " are missing from the file");
        }
        if (values[at_prev].toString() != last_hash) {
            return Broken(which + ": its prev_hash is not the hash of the record before it");
        }
        if (RecordHash(values, seq, last_hash) != hash) {
            return Broken(which + ": its hash is not the SHA-256 of its columns");
        }
        chain->hashes.push_back(Binary(hash));
        last = seq;
        last_hash = hash;
    }
    if (query.lastError().type() != QSqlError::NoError) {
        return Unreadable(query, "the file's records");
    }
    return {true, std::nullopt,
            std::to_string(chain->hashes.size()) + " records in the chain" +
                (chain->unchained > 0
                     ? " and " + std::to_string(chain->unchained) + " kept before it began"
                     : std::string())};
}

ChainVerdict CheckServerRecords(QSqlDatabase& server, const QString& station,
                                const FileChain& chain) {
    QSqlQuery query(server);
    query.setForwardOnly(true);
    const QString digest = QString::fromStdString(RecordHashSql("r"));
    query.prepare(
        QStringLiteral("SELECT seq, %1 IS DISTINCT FROM hash FROM (SELECT i.*, lag(seq) OVER w AS "
                       "before_seq, lag(hash) OVER w AS before_hash FROM inspection i WHERE "
                       "station = ? AND seq IS NOT NULL WINDOW w AS (ORDER BY seq)) r WHERE %1 IS "
                       "DISTINCT FROM hash OR (before_seq = seq - 1 AND prev_hash IS DISTINCT FROM "
                       "before_hash) OR (before_seq IS NULL AND seq = 1 AND prev_hash <> '%2') "
                       "ORDER BY seq LIMIT 1")
            .arg(digest, GENESIS));
    query.addBindValue(station);
    if (!query.exec()) {
        return Unreadable(query, "the server's records");
    }
    if (query.next()) {
        const long long seq = query.value(0).toLongLong();
        return Broken("the server's record " + Seqs(seq, seq) +
                      (query.value(1).toBool()
                           ? ": its hash is not the SHA-256 of its columns"
                           : ": its prev_hash is not the hash of the record before it"));
    }
    query.prepare(QStringLiteral(
        "SELECT MIN(seq), MAX(seq), (array_agg(hash ORDER BY seq DESC))[1] FROM (SELECT seq, "
        "hash, seq - row_number() OVER (ORDER BY seq) AS island FROM inspection WHERE station = ? "
        "AND seq IS NOT NULL) x GROUP BY island ORDER BY 1"));
    query.addBindValue(station);
    if (!query.exec()) {
        return Unreadable(query, "the server's records");
    }
    long long held = 0;
    long long server_end = 0;
    std::vector<std::pair<long long, long long>> stretches;
    while (query.next()) {
        const long long from = query.value(0).toLongLong();
        const long long to = query.value(1).toLongLong();
        if (!chain.Holds(to)) {
            return Broken("the server holds records " + Seqs(from, to) +
                          (to > chain.Last() ? ", past the file's newest: the file's newest "
                                               "records were taken away"
                                             : " that the file lacks"));
        }
        if (Binary(query.value(2).toString()) !=
            chain.hashes[static_cast<std::size_t>(to - chain.first)]) {
            return Broken("the server's records " + Seqs(from, to) + " are not the file's");
        }
        stretches.emplace_back(from, to);
        held += to - from + 1;
        server_end = to;
    }
    query.prepare(QStringLiteral("SELECT seq, began_at FROM record_head WHERE station = ?"));
    query.addBindValue(station);
    if (!query.exec()) {
        return Unreadable(query, "the server's records");
    }
    const long long head = query.next() ? query.value(0).toLongLong() : 0;
    const QString began = head > 0 ? query.value(1).toString() : QString();
    if (head != server_end) {
        return Broken("the server's record head is seq " + std::to_string(head) +
                      " but its records end at seq " + std::to_string(server_end));
    }
    // Every record the file no longer queues is one the server acknowledged.
    std::size_t stretch = 0;
    for (long long seq = chain.first; seq <= chain.Last() && !chain.hashes.empty(); ++seq) {
        while (stretch < stretches.size() && stretches[stretch].second < seq) {
            ++stretch;
        }
        const bool on_server = stretch < stretches.size() && stretches[stretch].first <= seq;
        if (!on_server && chain.unacknowledged.count(seq) == 0) {
            return Broken("the file's record " + Seqs(seq, seq) +
                          " was acknowledged by the server, which does not hold it");
        }
    }
    if (!began.isEmpty()) {
        query.prepare(
            QStringLiteral("SELECT COUNT(*) FROM inspection WHERE station = ? AND seq "
                           "IS NULL AND started_at >= ?"));
        query.addBindValue(station);
        query.addBindValue(began);
        if (!query.exec() || !query.next()) {
            return Unreadable(query, "the server's records");
        }
        if (const long long outside = query.value(0).toLongLong(); outside > 0) {
            return Broken("the server holds " + std::to_string(outside) +
                          " records of the station outside its chain, after the chain began");
        }
    }
    return {true, std::nullopt, "holds " + std::to_string(held) + " of its records"};
}

}  // namespace records
