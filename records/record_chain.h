// The records' chain: each record, as it is first committed, carries a seq (1, 2, 3 ... in the
// station's file), the hash of the record before it and its own hash, the SHA-256 of its canonical
// text. So a record changed, inserted or taken away in the file shows, and a plant's server that
// computes the same digest of what it holds finds its copy changed too.
//
// The canonical text is the line "surge-record 1", "seq=N", then "name=value" for each column a
// record is stored with (columns.h, in their order, the chain's own aside) whose value is not
// NULL, then "prev=HASH"; each line ends in a line feed. A text's backslashes and line feeds are
// written \\ and \n, a whole number in decimal, a real number as its millionths rounded to the
// nearest whole number (ties to even), a wave as lower-case hex. UTF-8.
#pragma once

#include <QString>
#include <QVariant>
#include <string>
#include <vector>

namespace records {

// The SHA-256 of a record's text, in lower-case hex: `stored` its values in the order of
// StoredColumnList (the chain's own columns are passed over).
QString RecordHash(const std::vector<QVariant>& stored, qlonglong seq, const QString& prev_hash);

// The same as a PostgreSQL expression over the columns of `row` ("NEW", an alias).
std::string RecordHashSql(const std::string& row);

}  // namespace records
