// The columns of an inspection record, once: the station's file, the INSERT, the forwarder, a
// plant's server and the CSV export are all made from this table, so a new column is one line
// here and a schema version. A column added from now on is NULL in the records kept before it,
// so that their chain's text (record_chain.h), which leaves NULLs out, stays as it was.
#pragma once

#include <QString>
#include <QVariant>
#include <span>

#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace records {

// What the station stores of one inspection: the inspection and the history's own fields.
struct InspectionRow {
    Inspection inspection;
    QString uuid;                // version 7, time-ordered; unique with the station
    QString station;             // SURGE_STATION or the host name
    QString software_version{};  // the station's version and commit that wrote it
    WaveOpinion wave{};          // the station's own judgement of the measured wave
};

struct Column {
    const char* name;
    const char* local_type;   // in the station's file
    const char* server_type;  // on a plant's server
    int local_since;          // the schema version of the station's file that added it
    int server_since;         // the same on a server
    int csv;                  // its place in the CSV export from 1; 0 when it is not exported
    // The record's value; nullptr for the row id, which the database gives.
    QVariant (*value)(const InspectionRow& row);
    int decimals = 1;  // a real number's decimals in the CSV export
};

// `inspection`'s columns, in their order in the tables.
std::span<const Column> InspectionColumns();
// In the station's file the standard wave is kept once in table `standard`, and the record
// points to it by this column of `inspection_record`.
constexpr const char* SHARED_WAVE = "standard_wave";
constexpr const char* SHARED_WAVE_REFERENCE = "standard";

// The columns of the records' chain, after those the file's version 7 began it with.
constexpr const char* CHAIN_SEQ = "seq";
constexpr const char* CHAIN_PREV = "prev_hash";
constexpr const char* CHAIN_HASH = "hash";
bool IsChainColumn(const Column& column);

// The names of the columns a record is inserted and sent with (all but the row id), joined by
// ", " with `prefix` before each; to a server of `server_version`, those it has.
QString StoredColumnList(const QString& prefix = QString(), int server_version = 1 << 20);
int StoredColumnCount(int server_version = 1 << 20);
// The place of the column `name` among the stored columns; -1 for none.
int StoredIndex(const char* name);
// The record's values in the order of StoredColumnList.
std::vector<QVariant> StoredValues(const InspectionRow& row);
// The exported columns in their CSV order.
std::vector<const Column*> CsvColumns();

}  // namespace records
