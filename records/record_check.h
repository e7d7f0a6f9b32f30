// Checking the records' chain (record_chain.h): in the station's file, each record's hash is
// computed anew from its columns and each link followed; on a plant's server the server computes
// its own records' hashes the same way, and its copy is held against the file's.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QSqlDatabase;

namespace records {

// The file's chain as read: each record's hash by its seq, and the seqs no server has
// acknowledged (queued or set aside).
struct FileChain {
    long long first = 0;                                // the first seq the file holds
    std::vector<std::array<unsigned char, 32>> hashes;  // from `first` on; all zero for a gap
    std::set<long long> unacknowledged;
    long long unchained = 0;  // records kept before the chain began
    long long Last() const { return first + static_cast<long long>(hashes.size()) - 1; }
    bool Holds(long long seq) const;
};

struct ChainVerdict {
    bool readable = true;
    std::optional<std::string> broken;  // the first thing that does not hold
    std::string text;                   // what holds, or why it cannot be read
};

// Reads and checks the records' chain of the station's file at `path` into `chain`.
ChainVerdict CheckFileRecords(const std::string& path, FileChain* chain);

// What the server holds of a station's records' chain, read and checked on the server alone: its
// own hashes computed anew, its links, its stretches of consecutive records, its head.
struct ServerRecords {
    ChainVerdict verdict;  // unreadable, or broken on the server by itself
    struct Stretch {
        long long from = 0;
        long long to = 0;
        std::array<unsigned char, 32> last{};  // the hash of `to`
    };
    std::vector<Stretch> stretches;
    long long head = 0;
    long long outside = 0;  // records of the station outside its chain, after it began
    // Of the months retention detached (trail/retention.h): the station's newest seq there, and
    // "records before 2026-01 detached (inspection_2025_12)"; empty when it had none there.
    long long detached_through = 0;
    std::string detached;
};
ServerRecords ReadServerRecords(QSqlDatabase& server, const QString& station);
// The server's copy against the file's chain: each stretch of records the file's, the head one the
// file holds, and every record the file no longer queues on the server.
ChainVerdict CompareRecords(const ServerRecords& server, const FileChain& chain);

}  // namespace records
