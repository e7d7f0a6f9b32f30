#include "records/columns.h"

#include <algorithm>
#include <cstring>

#include "records/record_fields.h"
#include "records/schema.h"

namespace records {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// A reading of the setup or the result, NULL when the cycle did not reach it.
template <typename Part, typename Read>
QVariant Reading(const std::optional<Part>& part, Read read) {
    return part ? QVariant(read(*part)) : QVariant();
}

QVariant Blob(const std::optional<Wave>& wave) {
    if (!wave) {
        return QVariant(QMetaType(QMetaType::QByteArray));
    }
    return QByteArray(reinterpret_cast<const char*>(wave->data()), WAVE_SAMPLES);
}

const Inspection& Of(const InspectionRow& row) {
    return row.inspection;
}

QVariant Unchained(const InspectionRow&) {
    return QVariant();
}

QVariant Number(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

const WaveOpinion& Opinion(const InspectionRow& row) {
    return row.wave;
}

const Column COLUMNS[] = {
    {"id", "INTEGER PRIMARY KEY", "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY", 1, 1, 1,
     nullptr},
    {"uuid", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 0,
     [](const InspectionRow& r) { return QVariant(r.uuid); }},
    {"station", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 4,
     [](const InspectionRow& r) { return QVariant(r.station); }},
    {"started_at", "TEXT NOT NULL", "TEXT COLLATE \"C\" NOT NULL", 1, 1, 2,
     [](const InspectionRow& r) { return QVariant(IsoTime(Of(r).started_at)); }},
    {"ended_at", "TEXT NOT NULL", "TEXT COLLATE \"C\" NOT NULL", 1, 1, 3,
     [](const InspectionRow& r) { return QVariant(IsoTime(Of(r).ended_at)); }},
    {"serial", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 5,
     [](const InspectionRow& r) { return QVariant(Text(Of(r).serial)); }},
    {"master", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 6,
     [](const InspectionRow& r) { return QVariant(Text(Of(r).master)); }},
    {"model_no", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 7,
     [](const InspectionRow& r) {
         const auto& setup = Of(r).setup;
         return QVariant(QString::fromLatin1(setup ? setup->model_no.text : ""));
     }},
    {"voltage", "REAL", "DOUBLE PRECISION", 1, 1, 8,
     [](const InspectionRow& r) {
         return Reading(Of(r).setup, [](const InstrumentSetup& s) { return s.kilovolts; });
     }},
    {"width", "INTEGER", "INTEGER", 1, 1, 9,
     [](const InspectionRow& r) {
         return Reading(Of(r).setup, [](const InstrumentSetup& s) { return s.width.value; });
     }},
    {"pulse_no", "INTEGER", "INTEGER", 1, 1, 10,
     [](const InspectionRow& r) {
         return Reading(Of(r).setup, [](const InstrumentSetup& s) { return s.pulse_no.value; });
     }},
    {"judge", "INTEGER", "INTEGER", 1, 1, 11,
     [](const InspectionRow& r) {
         return Reading(Of(r).setup, [](const InstrumentSetup& s) { return s.judge.value; });
     }},
    {"area", "INTEGER", "INTEGER", 1, 1, 12,
     [](const InspectionRow& r) {
         return Reading(Of(r).result, [](const TestResult& t) { return t.area; });
     }},
    {"phase", "INTEGER", "INTEGER", 1, 1, 13,
     [](const InspectionRow& r) {
         return Reading(Of(r).result, [](const TestResult& t) { return t.phase; });
     }},
    {"outcome", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 14,
     [](const InspectionRow& r) {
         return QVariant(QString::fromLatin1(Outcome_text(Of(r).outcome)));
     }},
    {"stopped_at", "TEXT NOT NULL", "TEXT NOT NULL", 1, 1, 15,
     [](const InspectionRow& r) { return QVariant(Text(Of(r).failed_command)); }},
    {SHARED_WAVE, "INTEGER REFERENCES standard (id)", "BYTEA", 1, 1, 0,
     [](const InspectionRow& r) { return Blob(Of(r).standard_wave); }},
    {"measured_wave", "BLOB", "BYTEA", 1, 1, 0,
     [](const InspectionRow& r) { return Blob(Of(r).measured_wave); }},
    {"operator", "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''", 4, 2, 16,
     [](const InspectionRow& r) { return QVariant(Text(Of(r).operator_name)); }},
    {"master_version", "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''", 4, 2, 17,
     [](const InspectionRow& r) { return QVariant(Text(Of(r).master_version)); }},
    {"software_version", "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''", 5, 3, 0,
     [](const InspectionRow& r) { return QVariant(r.software_version); }},
    {"attempt", "INTEGER NOT NULL DEFAULT 1", "INTEGER NOT NULL DEFAULT 1", 6, 4, 0,
     [](const InspectionRow& r) {
         return QVariant(Of(r).outcome == Outcome::INCOMPLETE ? 0 : Of(r).attempt);
     }},
    {"reference", "INTEGER NOT NULL DEFAULT 0", "INTEGER NOT NULL DEFAULT 0", 6, 4, 0,
     [](const InspectionRow& r) { return QVariant(Of(r).reference ? 1 : 0); }},
    // The records' chain (record_chain.h): given when the record is committed.
    {CHAIN_SEQ, "INTEGER", "BIGINT", 7, WITNESS_LAYOUT, 0, Unchained},
    {CHAIN_PREV, "TEXT", "TEXT", 7, WITNESS_LAYOUT, 0, Unchained},
    {CHAIN_HASH, "TEXT", "TEXT", 7, WITNESS_LAYOUT, 0, Unchained},
    // The station's own judgement of the wave (wave_opinion.h); the alarm and what tripped it are
    // NULL until the master's version has a learned reference.
    {"ringing_frequency", "REAL", "DOUBLE PRECISION", 8, WAVE_LAYOUT, 18,
     [](const InspectionRow& r) { return Number(Opinion(r).ringing_frequency); }, 4},
    {"damping", "REAL", "DOUBLE PRECISION", 8, WAVE_LAYOUT, 19,
     [](const InspectionRow& r) { return Number(Opinion(r).damping); }, 4},
    {"error_area", "REAL", "DOUBLE PRECISION", 8, WAVE_LAYOUT, 20,
     [](const InspectionRow& r) { return Number(Opinion(r).error_area); }, 2},
    {"standard_error_area", "REAL", "DOUBLE PRECISION", 8, WAVE_LAYOUT, 21,
     [](const InspectionRow& r) { return Number(Opinion(r).standard_error_area); }, 2},
    {"hf_energy", "REAL", "DOUBLE PRECISION", 8, WAVE_LAYOUT, 22,
     [](const InspectionRow& r) { return Number(Opinion(r).hf_energy); }, 3},
    {"wave_alarm", "INTEGER", "INTEGER", 8, WAVE_LAYOUT, 23,
     [](const InspectionRow& r) {
         const std::optional<bool>& alarm = Opinion(r).wave_alarm;
         return alarm ? QVariant(*alarm ? 1 : 0) : QVariant(QMetaType(QMetaType::Int));
     }},
    {"wave_rule", "TEXT", "TEXT", 8, WAVE_LAYOUT, 24,
     [](const InspectionRow& r) {
         return Opinion(r).wave_alarm ? QVariant(QString::fromStdString(Opinion(r).wave_rule))
                                      : QVariant(QMetaType(QMetaType::QString));
     }},
};

}  // namespace

std::span<const Column> InspectionColumns() {
    return COLUMNS;
}

QString StoredColumnList(const QString& prefix, int server_version) {
    QStringList names;
    for (const Column& column : COLUMNS) {
        if (column.value != nullptr && column.server_since <= server_version) {
            names << prefix + QLatin1String(column.name);
        }
    }
    return names.join(QLatin1String(", "));
}

int StoredColumnCount(int server_version) {
    return static_cast<int>(
        std::count_if(std::begin(COLUMNS), std::end(COLUMNS), [server_version](const Column& c) {
            return c.value != nullptr && c.server_since <= server_version;
        }));
}

int StoredIndex(const char* name) {
    int index = 0;
    for (const Column& column : COLUMNS) {
        if (column.value == nullptr) {
            continue;
        }
        if (std::strcmp(column.name, name) == 0) {
            return index;
        }
        ++index;
    }
    return -1;
}

bool IsChainColumn(const Column& column) {
    return column.value == Unchained;
}

std::vector<QVariant> StoredValues(const InspectionRow& row) {
    std::vector<QVariant> values;
    for (const Column& column : COLUMNS) {
        if (column.value != nullptr) {
            values.push_back(column.value(row));
        }
    }
    return values;
}

std::vector<const Column*> CsvColumns() {
    std::vector<const Column*> exported;
    for (const Column& column : COLUMNS) {
        if (column.csv > 0) {
            exported.push_back(&column);
        }
    }
    std::sort(exported.begin(), exported.end(),
              [](const Column* a, const Column* b) { return a->csv < b->csv; });
    return exported;
}

}  // namespace records
