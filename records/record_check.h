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

// Reads and checks the file's records' chain into `chain`.
ChainVerdict CheckFileRecords(QSqlDatabase& file, FileChain* chain);
// Checks `station`'s records on the server against the file's chain: the server's own hashes
// computed anew, its links, its head, each stretch of records it holds the file's, and every
// record the file no longer queues there.
ChainVerdict CheckServerRecords(QSqlDatabase& server, const QString& station,
                                const FileChain& chain);

}  // namespace records
