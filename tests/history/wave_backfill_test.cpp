// The records a station of version 7 or 8 of the file kept without the wave's features get them in
// the background, newest first and resumed where a stop left off, in `wave_features`: the view
// shows them in the record's columns with no alarm, while the records as stored, their chain and
// what the forwarder sends stay as they were.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QThread>
#include <atomic>
#include <string>

#include "history/wave_backfill.h"
#include "records/database.h"
#include "records/record_check.h"
#include "sim/population.h"
#include "tests/support/file_rows.h"
#include "tests/support/work_dir.h"

namespace {

constexpr const char* HISTORY_FILE = "inspection_history.db";

FileRows Query(const std::string& sql) {
    return QueryFile(sql, HISTORY_FILE);
}

// What each of the file's records shows after the backfill, by its id: whether the view has each
// feature, then its error_area, wave_alarm, wave_rule, and whether `wave_features` has its row.
constexpr const char* SHOWN =
    "SELECT ringing_frequency IS NOT NULL, damping IS NOT NULL, standard_error_area IS NOT NULL, "
    "hf_energy IS NOT NULL, error_area, wave_alarm, wave_rule, (SELECT COUNT(*) FROM wave_features "
    "WHERE record = inspection.id) FROM inspection WHERE id = ";

struct Kept {
    const char* what;
    Outcome outcome;
    bool measured;
    bool standard;
    const char* shown;
};
constexpr Kept KEPT[] = {
    {"a passed unit", Outcome::OK, true, true, "1|1|1|1|NULL|NULL|NULL|1"},
    {"no measured wave", Outcome::OK, false, true, "0|0|0|0|NULL|NULL|NULL|0"},
    {"a damaged wave blob", Outcome::OK, true, true, "0|0|0|0|NULL|NULL|NULL|0"},
    {"no verdict", Outcome::INCOMPLETE, true, true, "0|0|0|0|NULL|NULL|NULL|0"},
    {"a failed unit, no standard", Outcome::NG, true, false, "1|1|0|1|NULL|NULL|NULL|1"},
    {"judged by the cycle", Outcome::OK, true, true, "1|1|1|1|2.5|0||0"},
};
constexpr int DAMAGED = 3;
// What the records' chain covers of each record, which the backfill leaves as it was.
constexpr const char* STORED =
    "SELECT id, uuid, outcome, hex(measured_wave), seq, prev_hash, hash FROM inspection_record "
    "ORDER BY id";
constexpr int JUDGED = 6;

// The records of version 8 judged their waves: a file of version 7 holds those before.
int KeptIn(int version) {
    return version < 8 ? JUDGED - 1 : JUDGED;
}

// The records of KEPT as that station wrote them, in a file it left at `version` (7 or 8).
void WriteLegacyFile(int version, Population& population) {
    records::Database db(QStringLiteral("legacy"));
    ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
    std::vector<std::vector<QVariant>> rows;
    for (int id = 1; id <= KeptIn(version); ++id) {
        const Kept& kept = KEPT[id - 1];
        records::InspectionRow row;
        row.inspection.outcome = kept.outcome;
        row.uuid = QStringLiteral("u%1").arg(id);
        row.station = QStringLiteral("L1");
        if (kept.measured) {
            row.inspection.measured_wave = ToWave(population.Record(population.GoodUnit()));
        }
        if (kept.standard) {
            row.inspection.standard_wave = ToWave(population.Standard());
        }
        if (id == JUDGED) {
            row.wave = {3.0, 1.0, 2.5, 0.5, 0.25, false, ""};
        }
        rows.push_back(records::StoredValues(row));
        if (id == DAMAGED) {
            rows.back()[static_cast<std::size_t>(records::StoredIndex("measured_wave"))] =
                QByteArray(100, 'x');
        }
    }
    ASSERT_EQ(db.InsertValues(rows), records::DbStatus::Ok);
    db.Close();
    Query("DROP TABLE wave_features");
    Query("DROP TABLE wave_backfill");
    Query("DROP VIEW inspection_stored");
    Query("UPDATE schema_version SET version = " + std::to_string(version));
    if (version < 8) {
        Query("DROP TRIGGER inspection_insert");
        Query("DROP VIEW inspection");
        for (const char* column : {"ringing_frequency", "damping", "error_area",
                                   "standard_error_area", "hf_energy", "wave_alarm", "wave_rule"}) {
            Query(std::string("ALTER TABLE inspection_record DROP COLUMN ") + column);
        }
        Query("CREATE VIEW inspection AS SELECT * FROM inspection_record");
    }
}

std::string Shown(int id) {
    const FileRows rows = Query(SHOWN + std::to_string(id));
    std::string text;
    for (const std::string& cell : rows.at(0)) {
        text += (text.empty() ? "" : "|") + cell;
    }
    return text;
}

// Steps of two records: the newest first, a stopped step keeping nothing, the rest resumed.
void BackfillInSteps() {
    const std::atomic<bool> going{false}, stopped{true};
    history::BackfillStep step = history::BackfillWaveFeatures(HISTORY_FILE, 2, going);
    ASSERT_TRUE(step.ok);
    EXPECT_FALSE(step.finished);
    EXPECT_EQ(Query("SELECT record FROM wave_features"), (FileRows{{"5"}}));
    EXPECT_FALSE(history::BackfillWaveFeatures(HISTORY_FILE, 2, stopped).ok);
    EXPECT_EQ(Query("SELECT below FROM wave_backfill"), (FileRows{{"3"}}));
    for (int steps = 0; !step.finished && steps < 10; ++steps) {
        step = history::BackfillWaveFeatures(HISTORY_FILE, 2, going);
        ASSERT_TRUE(step.ok);
    }
    EXPECT_TRUE(step.finished);
}

// The station's thread, stopped once it has found nothing left.
void BackfillOnTheThread() {
    history::StartWaveBackfill();
    for (int waited = 0; waited < 100 && Query("SELECT below FROM wave_backfill").at(0)[0] != "0";
         ++waited) {
        QThread::msleep(50);
    }
    history::StopWaveBackfill();
}

TEST(WaveBackfillTest, TheRecordsKeptBeforeGetTheirFeaturesOutsideTheirChain) {
    for (int version : {7, 8}) {
        SCOPED_TRACE(version);
        ScopedWorkDir dir;
        Population population(11);
        WriteLegacyFile(version, population);
        const FileRows stored = Query(STORED);
        records::Database db(QStringLiteral("upgraded"));
        ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
        db.Close();
        version == 7 ? BackfillInSteps() : BackfillOnTheThread();
        for (int id = 1; id <= KeptIn(version); ++id) {
            EXPECT_EQ(Shown(id), KEPT[id - 1].shown) << KEPT[id - 1].what;
        }
        EXPECT_EQ(Query(STORED), stored);
        EXPECT_EQ(Query("SELECT COUNT(*) FROM inspection_stored WHERE ringing_frequency IS NULL"),
                  (FileRows{{"5"}}));
        records::FileChain chain;
        EXPECT_EQ(records::CheckFileRecords(HISTORY_FILE, &chain).broken.value_or(""), "");
    }
}

}  // namespace
