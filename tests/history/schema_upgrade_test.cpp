// A file written before standard waves were kept once is upgraded in place when the station opens
// it: every record reads back as it was, under its id, and every record is queued for a server.
// A file of version 4 keeps its records, its queue and its audit trail, and gains the software
// version of each record and audit row, empty for those it held.
#include "records/database.h"
#include "records/schema.h"
#include "tests/history/history_fixture.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The first layout: one table with both waves in each row.
constexpr const char* VERSION_1[] = {
    "CREATE TABLE inspection (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL, station TEXT NOT NULL, "
    "started_at TEXT NOT NULL, ended_at TEXT NOT NULL, serial TEXT NOT NULL, master TEXT NOT "
    "NULL, model_no TEXT NOT NULL, voltage REAL, width INTEGER, pulse_no INTEGER, judge INTEGER, "
    "area INTEGER, phase INTEGER, outcome TEXT NOT NULL, stopped_at TEXT NOT NULL, standard_wave "
    "BLOB, measured_wave BLOB, UNIQUE (station, uuid))",
    "CREATE INDEX inspection_started_outcome ON inspection (started_at, outcome)",
    "CREATE TABLE schema_version (version INTEGER NOT NULL)",
    "INSERT INTO schema_version VALUES (1)",
    "CREATE TABLE outbox (record INTEGER PRIMARY KEY)",
    "INSERT INTO inspection VALUES (3, 'u3', 'L1', '2026-12-01T08:00:00.000+09:00', "
    "'2026-12-01T08:00:01.000+09:00', 'A1', '모터', '03', 4.5, 5, 10, 7, 12, 3, 'O.K', '', "
    "randomblob(300), randomblob(300))",
    "INSERT INTO inspection SELECT 7, 'u7', station, started_at, ended_at, 'A2', master, "
    "model_no, voltage, width, pulse_no, judge, 40, 9, 'N.G', '', standard_wave, "
    "randomblob(300) FROM inspection WHERE id = 3",
    "INSERT INTO inspection VALUES (8, 'u8', 'L1', '2026-12-01T09:00:00.000+09:00', "
    "'2026-12-01T09:00:01.000+09:00', 'A3', '모터', '03', 4.5, 5, 10, 7, NULL, NULL, "
    "'incomplete', 'WT', NULL, NULL)",
    "INSERT INTO inspection VALUES (9, 'u9', 'L1', '2026-12-01T10:00:00.000+09:00', "
    "'2026-12-01T10:00:01.000+09:00', 'A4', 'M-02', '04', 3.0, 5, 10, 7, 1, 1, 'O.K', '', "
    "randomblob(300), randomblob(300))",
    "INSERT INTO outbox VALUES (7), (8)",
};

constexpr const char* ALL_RECORDS =
    "SELECT id, uuid, station, started_at, ended_at, serial, master, model_no, voltage, width, "
    "pulse_no, judge, area, phase, outcome, stopped_at, hex(standard_wave), hex(measured_wave) "
    "FROM inspection ORDER BY id";

TEST(HistorySchemaTest, AFileOfTheFirstLayoutKeepsEveryRecordThroughTheUpgrade) {
    ScopedWorkDir dir;
    for (const char* statement : VERSION_1) {
        Query(statement);
    }
    const Rows before = Query(ALL_RECORDS);
    ASSERT_EQ(before.size(), 4u);
    records::Database db(QStringLiteral("upgrade_test"));
    for (int opening = 0; opening < 2; ++opening) {
        ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
        db.Close();
        EXPECT_EQ(Query(ALL_RECORDS), before);
        EXPECT_EQ(Query("SELECT record FROM outbox"), (Rows{{"3"}, {"7"}, {"8"}, {"9"}}));
        EXPECT_EQ(Query("SELECT version FROM schema_version"),
                  (Rows{{std::to_string(records::LOCAL_SCHEMA_VERSION)}}));
        // Records 3 and 7 share their standard wave; record 8 has none.
        EXPECT_EQ(Query("SELECT COUNT(*) FROM standard"), (Rows{{"2"}}));
    }
    ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
    records::InspectionRow row;
    row.inspection.outcome = Outcome::OK;
    row.uuid = QStringLiteral("u10");
    row.station = QStringLiteral("L1");
    ASSERT_EQ(db.Insert({row}), records::DbStatus::Ok);
    db.Close();
    EXPECT_EQ(Query("SELECT record FROM outbox"), (Rows{{"3"}, {"7"}, {"8"}, {"9"}, {"10"}}));
    EXPECT_EQ(Query("SELECT uuid, standard_wave FROM inspection WHERE id = 10"),
              (Rows{{"u10", "NULL"}}));
}

// Version 4 as the station wrote it, with two records (one queued) and an audit row.
constexpr const char* VERSION_4[] = {
    "CREATE TABLE standard (id INTEGER PRIMARY KEY, wave BLOB NOT NULL UNIQUE)",
    "CREATE TABLE inspection_record (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL, station TEXT NOT "
    "NULL, started_at TEXT NOT NULL, ended_at TEXT NOT NULL, serial TEXT NOT NULL, master TEXT "
    "NOT NULL, model_no TEXT NOT NULL, voltage REAL, width INTEGER, pulse_no INTEGER, judge "
    "INTEGER, area INTEGER, phase INTEGER, outcome TEXT NOT NULL, stopped_at TEXT NOT NULL, "
    "standard INTEGER REFERENCES standard (id), measured_wave BLOB, operator TEXT NOT NULL "
    "DEFAULT '', master_version TEXT NOT NULL DEFAULT '')",
    "CREATE VIEW inspection AS SELECT id, uuid, station, started_at, ended_at, serial, master, "
    "model_no, voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, (SELECT wave "
    "FROM standard WHERE standard.id = inspection_record.standard) AS standard_wave, "
    "measured_wave, operator, master_version FROM inspection_record",
    "CREATE INDEX inspection_started_outcome ON inspection_record (started_at, outcome)",
    "CREATE INDEX inspection_master_started ON inspection_record (master, started_at, outcome)",
    "CREATE TABLE outbox (record INTEGER PRIMARY KEY)",
    "CREATE TABLE schema_version (version INTEGER NOT NULL)",
    "INSERT INTO schema_version VALUES (4)",
    "CREATE TABLE audit (seq INTEGER PRIMARY KEY, at TEXT NOT NULL, station TEXT NOT NULL, "
    "user_name TEXT NOT NULL, role TEXT NOT NULL, action TEXT NOT NULL, object TEXT NOT NULL, "
    "before_value TEXT NOT NULL, after_value TEXT NOT NULL, reason TEXT NOT NULL, prev_hash TEXT "
    "NOT NULL, hash TEXT NOT NULL)",
    "INSERT INTO standard VALUES (1, randomblob(300))",
    "INSERT INTO inspection_record VALUES (3, 'u3', 'L1', '2026-12-01T08:00:00.000+09:00', "
    "'2026-12-01T08:00:01.000+09:00', 'A1', '모터', '03', 4.5, 5, 10, 7, 12, 3, 'O.K', '', 1, "
    "randomblob(300), 'kim', '3f2a')",
    "INSERT INTO inspection_record VALUES (4, 'u4', 'L1', '2026-12-01T09:00:00.000+09:00', "
    "'2026-12-01T09:00:01.000+09:00', 'A2', '모터', '03', 4.5, 5, 10, 7, NULL, NULL, "
    "'incomplete', 'WT', NULL, NULL, 'lee', '3f2a')",
    "INSERT INTO outbox VALUES (4)",
    "INSERT INTO audit VALUES (1, '2026-12-01T07:00:00.000+09:00', 'L1', 'kim', 'engineer', "
    "'master saved', '모터', '', '모터 4.5 5 10 7 7 0', '', '0', 'e3b0')",
};

TEST(HistorySchemaTest, AFileOfVersion4KeepsItsRowsAndGainsTheSoftwareVersion) {
    ScopedWorkDir dir;
    for (const char* statement : VERSION_4) {
        Query(statement);
    }
    const std::string records =
        "SELECT id, uuid, station, started_at, ended_at, serial, master, model_no, voltage, "
        "width, pulse_no, judge, area, phase, outcome, stopped_at, hex(standard_wave), "
        "hex(measured_wave), operator, master_version FROM inspection ORDER BY id";
    const std::string audit = "SELECT * FROM audit";
    const Rows records_before = Query(records);
    const Rows audit_before = Query(audit);
    records::Database db(QStringLiteral("upgrade_test"));
    for (int opening = 0; opening < 2; ++opening) {
        ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
        db.Close();
        const struct {
            std::string query;
            Rows rows;
        } cases[] = {
            {records, records_before},
            {"SELECT software_version FROM inspection ORDER BY id", {{""}, {""}}},
            // No reference judged the records kept before: the wave's columns are NULL.
            {"SELECT ringing_frequency, damping, error_area, standard_error_area, hf_energy, "
             "wave_alarm, wave_rule FROM inspection ORDER BY id",
             {Rows::value_type(7, "NULL"), Rows::value_type(7, "NULL")}},
            {"SELECT record FROM outbox", {{"4"}}},
            {"SELECT version FROM schema_version",
             {{std::to_string(records::LOCAL_SCHEMA_VERSION)}}},
            {"SELECT seq, at, station, user_name, role, action, object, before_value, "
             "after_value, reason, prev_hash, hash FROM audit",
             audit_before},
            {"SELECT software_version FROM audit", {{""}}},
            // The indexes of that station's reads replaced by those that count from the index;
            // the chain's own.
            {"SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = "
             "'inspection_record' ORDER BY name",
             {{"inspection_chain"},
              {"inspection_master_counts"},
              {"inspection_master_version"},
              {"inspection_outcome_started"},
              {"inspection_serial"},
              {"inspection_started_counts"}}},
        };
        for (const auto& c : cases) {
            EXPECT_EQ(Query(c.query), c.rows) << c.query;
        }
    }
    ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
    records::InspectionRow row;
    row.inspection.outcome = Outcome::OK;
    row.uuid = QStringLiteral("u5");
    row.station = QStringLiteral("L1");
    row.software_version = QStringLiteral("1.0.0 (abc1234)");
    row.wave = {3.125, 1.5, std::nullopt, 2.25, 0.5, true, "frequency,hf"};
    ASSERT_EQ(db.Insert({row}), records::DbStatus::Ok);
    db.Close();
    EXPECT_EQ(Query("SELECT id, software_version, ringing_frequency, damping, error_area, "
                    "standard_error_area, hf_energy, wave_alarm, wave_rule FROM inspection WHERE "
                    "uuid = 'u5'"),
              (Rows{{"5", "1.0.0 (abc1234)", "3.125", "1.5", "NULL", "2.25", "0.5", "1",
                     "frequency,hf"}}));
}

}  // namespace
