#include "records/record_check.h"

#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unordered_map>

#include "records/columns.h"
#include "records/record_chain.h"

namespace records {

namespace {

using Hash = std::array<unsigned char, 32>;

const QString GENESIS = QString(64, QLatin1Char('0'));

Hash FromHex(std::string_view hex) {
    Hash hash{};
    const auto nibble = [](char c) {
        return c >= 'a' ? c - 'a' + 10 : c >= 'A' ? c - 'A' + 10 : c - '0';
    };
    for (std::size_t i = 0; i + 1 < hex.size() && i / 2 < hash.size(); i += 2) {
        hash[i / 2] = static_cast<unsigned char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    }
    return hash;
}

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

}  // namespace

bool FileChain::Holds(long long seq) const {
    return seq >= first && seq <= Last() && hashes[static_cast<std::size_t>(seq - first)] != Hash{};
}

namespace {

// A statement of SQLite's own API: reading a million records through it takes a fraction of what
// the Qt driver's values take.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) {
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Prepared() const { return statement_ != nullptr; }
    sqlite3_stmt* get() const { return statement_; }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

RawValue Raw(sqlite3_stmt* row, int i) {
    RawValue value;
    const int type = sqlite3_column_type(row, i);
    value.null = type == SQLITE_NULL;
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        value.whole = sqlite3_column_int64(row, i);
        value.real = sqlite3_column_double(row, i);
    } else if (!value.null) {
        const void* bytes = sqlite3_column_blob(row, i);
        value.bytes = std::string_view(static_cast<const char*>(bytes),
                                       static_cast<std::size_t>(sqlite3_column_bytes(row, i)));
    }
    return value;
}

std::string Text(sqlite3_stmt* row, int i) {
    const unsigned char* text = sqlite3_column_text(row, i);
    return text == nullptr ? std::string() : reinterpret_cast<const char*>(text);
}

}  // namespace

namespace {

ChainVerdict FileUnreadable(sqlite3* db) {
    return ChainVerdict{false, std::nullopt,
                        std::string("cannot read the file's records: ") + sqlite3_errmsg(db)};
}

// The one number a query counts; -1 when it cannot be read.
long long CountOf(sqlite3* db, const char* sql) {
    Statement query(db, sql);
    return query.Prepared() && sqlite3_step(query.get()) == SQLITE_ROW
               ? sqlite3_column_int64(query.get(), 0)
               : -1;
}

struct Link {
    long long seq;
    Hash prev;
    Hash stored;
    bool holds;  // its hash that of its columns
};

// Each record's link and whether its hash holds, with its standard wave from `standards`; false
// when the records cannot be read.
bool ReadLinks(sqlite3_stmt* row, const std::unordered_map<long long, std::string>& standards,
               std::vector<Link>* links) {
    const int columns = StoredColumnCount();
    const auto at_seq = static_cast<std::size_t>(StoredIndex(CHAIN_SEQ));
    const auto at_prev = static_cast<std::size_t>(StoredIndex(CHAIN_PREV));
    const auto at_hash = static_cast<std::size_t>(StoredIndex(CHAIN_HASH));
    const auto at_standard = static_cast<std::size_t>(StoredIndex(SHARED_WAVE));
    std::vector<RawValue> values(static_cast<std::size_t>(columns));
    std::string text;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(row)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            values[static_cast<std::size_t>(i)] = Raw(row, i);
        }
        RawValue& standard = values[at_standard];
        if (!standard.null) {
            const auto wave = standards.find(standard.whole);
            standard.bytes = wave == standards.end() ? std::string_view() : wave->second;
        }
        const long long seq = values[at_seq].whole;
        const std::string_view prev = values[at_prev].bytes;
        const Hash stored = FromHex(values[at_hash].bytes);
        links->push_back(
            {seq, FromHex(prev), stored, RawRecordHash(values.data(), seq, prev, &text) == stored});
    }
    return step == SQLITE_DONE;
}

// "record seq N (its start, its serial)", as a break in the chain names it.
std::string Which(sqlite3* db, long long seq) {
    Statement query(
        db, "SELECT started_at, serial FROM inspection_record WHERE seq = " + std::to_string(seq));
    const bool found = query.Prepared() && sqlite3_step(query.get()) == SQLITE_ROW;
    return "record " + Seqs(seq, seq) + " (" + (found ? Text(query.get(), 0) : "") + ", " +
           (found ? Text(query.get(), 1) : "") + ")";
}

// Follows the links in the chain's order from the genesis, keeping each hash in `chain`; the
// first missing record or link that does not hold breaks it.
ChainVerdict FollowChain(sqlite3* db, std::vector<Link>& links, FileChain* chain) {
    if (!std::is_sorted(links.begin(), links.end(),
                        [](const Link& a, const Link& b) { return a.seq < b.seq; })) {
        std::sort(links.begin(), links.end(),
                  [](const Link& a, const Link& b) { return a.seq < b.seq; });
    }
    long long last = 0;
    Hash last_hash = FromHex(GENESIS.toStdString());
    chain->first = links.empty() ? 0 : links.front().seq;
    chain->hashes.reserve(links.size());
    for (const Link& link : links) {
        if (link.seq != last + 1) {
            return Broken("records " + Seqs(last + 1, link.seq - 1) + " are missing from the file");
        }
        if (link.prev != last_hash) {
            return Broken(Which(db, link.seq) +
                          ": its prev_hash is not the hash of the record before it");
        }
        if (!link.holds) {
            return Broken(Which(db, link.seq) + ": its hash is not the SHA-256 of its columns");
        }
        chain->hashes.push_back(link.stored);
        last = link.seq;
        last_hash = link.stored;
    }
    return {true, std::nullopt,
            std::to_string(chain->hashes.size()) + " records in the chain" +
                (chain->unchained > 0
                     ? " and " + std::to_string(chain->unchained) + " kept before it began"
                     : std::string())};
}

ChainVerdict CheckOpenFile(sqlite3* db, FileChain* chain) {
    if (Statement probe(db, "SELECT seq FROM inspection_record LIMIT 0"); !probe.Prepared()) {
        chain->unchained = std::max(
            0LL, static_cast<long long>(CountOf(db, "SELECT COUNT(*) FROM inspection_record")));
        return {true, std::nullopt,
                std::to_string(chain->unchained) +
                    " records, all kept before the records' chain began"};
    }
    chain->unchained = CountOf(db, "SELECT COUNT(*) FROM inspection_record WHERE seq IS NULL");
    Statement queued(db,
                     "SELECT seq FROM inspection_record WHERE seq IS NOT NULL AND id IN (SELECT "
                     "record FROM outbox UNION SELECT record FROM refused)");
    while (queued.Prepared() && sqlite3_step(queued.get()) == SQLITE_ROW) {
        chain->unacknowledged.insert(sqlite3_column_int64(queued.get(), 0));
    }
    // Each distinct standard wave is kept once; the records are read in the order they were
    // written (the table's own), then their links followed in the chain's.
    std::unordered_map<long long, std::string> standards;
    Statement waves(db, "SELECT id, wave FROM standard");
    while (waves.Prepared() && sqlite3_step(waves.get()) == SQLITE_ROW) {
        standards[sqlite3_column_int64(waves.get(), 0)] = std::string(Raw(waves.get(), 1).bytes);
    }
    QString list = StoredColumnList();
    list.replace(QLatin1String(SHARED_WAVE), QLatin1String(SHARED_WAVE_REFERENCE));
    Statement records(
        db, "SELECT " + list.toStdString() + " FROM inspection_record WHERE seq IS NOT NULL");
    if (!queued.Prepared() || !waves.Prepared() || !records.Prepared()) {
        return FileUnreadable(db);
    }
    std::vector<Link> links;
    if (!ReadLinks(records.get(), standards, &links)) {
        return FileUnreadable(db);
    }
    return FollowChain(db, links, chain);
}

}  // namespace

ChainVerdict CheckFileRecords(const std::string& path, FileChain* chain) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return {false, std::nullopt, "cannot read the file's records: " + path};
    }
    sqlite3_busy_timeout(db, 2000);
    const ChainVerdict verdict = CheckOpenFile(db, chain);
    sqlite3_close(db);
    return verdict;
}

namespace {

// Where the station's chain on the server begins since retention detached its older months.
void ReadDetached(QSqlQuery& query, const QString& station, ServerRecords* read) {
    if (!query.exec(QStringLiteral("SELECT to_regclass('record_detached') IS NOT NULL")) ||
        !query.next() || !query.value(0).toBool()) {
        return;
    }
    query.prepare(QStringLiteral(
        "SELECT (SELECT MAX(through_seq) FROM record_detached WHERE station = ?), "
        "to_char(to_date(MAX(month) || '-01', 'YYYY-MM-DD') + interval '1 month', 'YYYY-MM'), "
        "(array_agg(partition_name ORDER BY month DESC))[1] FROM record_detached"));
    query.addBindValue(station);
    if (!query.exec() || !query.next() || query.value(0).isNull()) {
        return;
    }
    read->detached_through = query.value(0).toLongLong();
    read->detached = "records before " + query.value(1).toString().toStdString() + " detached (" +
                     query.value(2).toString().toStdString() + ")";
}

}  // namespace

ServerRecords ReadServerRecords(QSqlDatabase& server, const QString& station) {
    ServerRecords read;
    QSqlQuery query(server);
    query.setForwardOnly(true);
    // Each record's hash computed anew: a scan in no order, which the server shares among its
    // workers; the records whose hash does not hold come back, the first of them told.
    query.prepare(QStringLiteral("SELECT seq FROM inspection r WHERE station = ? AND seq IS NOT "
                                 "NULL AND %1 IS DISTINCT FROM hash")
                      .arg(QString::fromStdString(RecordHashSql("r"))));
    query.addBindValue(station);
    if (!query.exec()) {
        read.verdict = Unreadable(query, "the server's records");
        return read;
    }
    long long first_bad = 0;
    while (query.next()) {
        const long long seq = query.value(0).toLongLong();
        first_bad = first_bad == 0 ? seq : std::min(first_bad, seq);
    }
    if (first_bad > 0) {
        const long long seq = first_bad;
        read.verdict = Broken("the server's record " + Seqs(seq, seq) +
                              ": its hash is not the SHA-256 of its columns");
        return read;
    }
    // Its links and its stretches of consecutive records.
    query.prepare(
        QStringLiteral(
            "SELECT MIN(seq), MAX(seq), (array_agg(hash ORDER BY seq DESC))[1], MIN(CASE WHEN NOT "
            "linked THEN seq END) FROM (SELECT seq, hash, seq - row_number() OVER w AS island, "
            "CASE "
            "WHEN lag(seq) OVER w = seq - 1 THEN prev_hash = lag(hash) OVER w WHEN seq = 1 THEN "
            "prev_hash = '%1' ELSE true END AS linked FROM inspection WHERE station = ? AND seq IS "
            "NOT NULL WINDOW w AS (ORDER BY seq)) x GROUP BY island ORDER BY 1")
            .arg(GENESIS));
    query.addBindValue(station);
    if (!query.exec()) {
        read.verdict = Unreadable(query, "the server's records");
        return read;
    }
    while (query.next()) {
        if (!query.value(3).isNull()) {
            const long long seq = query.value(3).toLongLong();
            read.verdict = Broken("the server's record " + Seqs(seq, seq) +
                                  ": its prev_hash is not the hash of the record before it");
            return read;
        }
        read.stretches.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(),
                                  Binary(query.value(2).toString())});
    }
    query.prepare(
        QStringLiteral("SELECT seq, (SELECT COUNT(*) FROM inspection WHERE station = "
                       "h.station AND seq IS NULL AND started_at >= h.began_at) FROM "
                       "record_head h WHERE station = ?"));
    query.addBindValue(station);
    if (!query.exec()) {
        read.verdict = Unreadable(query, "the server's records");
        return read;
    }
    if (query.next()) {
        read.head = query.value(0).toLongLong();
        read.outside = query.value(1).toLongLong();
    }
    ReadDetached(query, station, &read);
    return read;
}

ChainVerdict CompareRecords(const ServerRecords& server, const FileChain& chain) {
    if (!server.verdict.readable || server.verdict.broken) {
        return server.verdict;
    }
    long long held = 0;
    const long long server_end = server.stretches.empty() ? 0 : server.stretches.back().to;
    for (const ServerRecords::Stretch& stretch : server.stretches) {
        if (!chain.Holds(stretch.to)) {
            return Broken("the server holds records " + Seqs(stretch.from, stretch.to) +
                          (stretch.to > chain.Last() ? ", past the file's newest: the file's "
                                                       "newest records were taken away"
                                                     : " that the file lacks"));
        }
        if (stretch.last != chain.hashes[static_cast<std::size_t>(stretch.to - chain.first)]) {
            return Broken("the server's records " + Seqs(stretch.from, stretch.to) +
                          " are not the file's");
        }
        held += stretch.to - stretch.from + 1;
    }
    if (server.head != std::max(server_end, server.detached_through)) {
        return Broken("the server's record head is seq " + std::to_string(server.head) +
                      " but its records end at seq " + std::to_string(server_end));
    }
    // Every record the file no longer queues is one the server acknowledged.
    std::size_t at = 0;
    for (long long seq = chain.first; !chain.hashes.empty() && seq <= chain.Last(); ++seq) {
        while (at < server.stretches.size() && server.stretches[at].to < seq) {
            ++at;
        }
        const bool on_server = at < server.stretches.size() && server.stretches[at].from <= seq;
        if (!on_server && seq > server.detached_through && chain.unacknowledged.count(seq) == 0) {
            return Broken("the file's record " + Seqs(seq, seq) +
                          " was acknowledged by the server, which does not hold it");
        }
    }
    if (server.outside > 0) {
        return Broken("the server holds " + std::to_string(server.outside) +
                      " records of the station outside its chain, after the chain began");
    }
    std::string text = "holds " + std::to_string(held) + " of its records";
    if (!server.detached.empty()) {
        text += "; " + server.detached + ": the chain is checked from seq " +
                std::to_string(server.detached_through + 1);
    }
    return {true, std::nullopt, text};
}

}  // namespace records
