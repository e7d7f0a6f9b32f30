// The records' chain: each record, as it is first committed, carries a seq (1, 2, 3 ... in the
// station's file), the hash of the record before it and its own hash, the SHA-256 of its canonical
// text. So a record changed, inserted or taken away in the file shows, and a plant's server that
// computes the same digest of what it holds finds its copy changed too.
//
// The canonical text is the row as PostgreSQL writes a row's text: "(", the seq, then each column
// a record is stored with (columns.h, in their order, the chain's own aside), then the prev hash,
// ")"; fields apart by commas, a NULL empty, a text field quoted where it is empty or holds a
// blank, a parenthesis, a comma, a quote or a backslash (its quotes and backslashes doubled), a
// real number as its millionths rounded to the nearest whole number (ties to even), a wave as its
// length in bytes. A column added after the chain began follows as ",name=(value)" where it is not
// NULL, so that the records kept before it keep their text. Then the waves' bytes as they are.
// The text in UTF-8, the hash over it all.
#pragma once

#include <QString>
#include <QVariant>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "records/columns.h"

namespace records {

// The SHA-256 of a record's text, in lower-case hex: `stored` its values in the order of
// StoredColumnList (the chain's own columns are passed over).
QString RecordHash(const std::vector<QVariant>& stored, qlonglong seq, const QString& prev_hash);

// A stored value as the file or the server gives it: bytes for a text (UTF-8) or a wave.
struct RawValue {
    bool null = true;
    long long whole = 0;
    double real = 0;
    std::string_view bytes;
};
// The SHA-256 of a record's text from its stored values (StoredColumnList's order); `text` is
// the buffer its text is made in, kept from one record to the next.
std::array<unsigned char, 32> RawRecordHash(const RawValue* stored, long long seq,
                                            std::string_view prev_hash, std::string* text);

// Whether a column's value is text (a value read as its UTF-8 bytes is hashed as they are).
bool IsText(const Column& column);

// The same as a PostgreSQL expression over the columns of `row` ("NEW", an alias), in hex.
std::string RecordHashSql(const std::string& row);

}  // namespace records
